// A new contact, or a change to one: the address book's fields first, then what Pemmo keeps.
// Tab moves from field to field (the form scrolls to keep the one with the keyboard in view);
// a problem shows under its field. Control-Return saves, Escape cancels (asking first when
// something was changed), Control-O chooses a photo; the links are added, changed, moved and
// removed in place and saved with the rest.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: titleLabel.text

    readonly property ContactFormViewModel form: Shell.contactForm(screenRoute.createsContact ? "" : screenRoute.contactID)
    // Field name → message; a plain JavaScript object, read by key.
    readonly property var errors: form.errors

    hints: [["Tab", qsTr("Next field")], ["Ctrl+O", qsTr("Choose photo")], ["Ctrl+↵", qsTr("Save")],
            ["Esc", screen.form.editingLinkID !== "" ? qsTr("Stop changing the link") : qsTr("Cancel")]]

    function describe(): var {
        return { title: titleLabel.text, givenName: givenField.text, familyName: familyField.text,
                 email: emailField.text, phone: phoneField.text, errors: screen.form.errors,
                 error: screen.form.error, focused: givenField.activeFocus, visible: screen.visible,
                 photoSource: screen.form.photoSource, hasReplacementPhoto: screen.form.hasReplacementPhoto,
                 photoError: screen.form.photoError, links: screen.form.links, linkError: screen.form.linkError }
    }

    // Scrolls the form so that `item` (a field that took the keyboard) is in view.
    function reveal(item: Item) {
        screen.revealRange(item, item.height)
    }
    // Scrolls so that `height` from the top of `item` is in view.
    function revealRange(item: Item, height: real) {
        const top = item.mapToItem(content, 0, 0).y - Theme.gap
        const bottom = top + height + Theme.gap * 2
        if (top < flick.contentY)
            flick.contentY = Math.max(0, top)
        else if (bottom > flick.contentY + flick.height)
            flick.contentY = Math.min(flick.contentHeight - flick.height, bottom - flick.height)
    }

    Component.onCompleted: givenField.forceActiveFocus()

    // A link's button that moved or removed the link gave up the keyboard with its row (the rows
    // are made again): the keyboard goes to the button `which` of the row now at `index` (the
    // moved link, or the link after the removed one, else the one before), to `otherwise` when
    // that one is off (the link reached the end), and to the new link's address when no link is
    // left.
    property int linkFocusIndex: -1
    property string linkFocusButton: ""
    property string linkFocusOtherwise: ""
    function focusLinkButton(index: int, which: string, otherwise: string) {
        screen.linkFocusIndex = index
        screen.linkFocusButton = which
        screen.linkFocusOtherwise = otherwise
        // Once the rows have been made again.
        focusLinkLater.restart()
    }
    Timer {
        id: focusLinkLater
        interval: 0
        onTriggered: {
            const count = linkRows.count
            if (count === 0) {
                linkURLField.forceActiveFocus()
                return
            }
            const row = linkRows.itemAt(Math.max(0, Math.min(screen.linkFocusIndex, count - 1)))
            if (!row)
                return
            const wanted = row.buttons[screen.linkFocusButton]
            const button = wanted.enabled ? wanted : row.buttons[screen.linkFocusOtherwise]
            button.forceActiveFocus(Qt.TabFocusReason)
        }
    }
    // A save stopped at a problem takes the keyboard to the first field with one and scrolls the
    // field and its message into view: pressed from the bottom of the form, nothing else would
    // show, and a field that had the keyboard already would not scroll by itself.
    property Item refusedField: null
    property Item refusedNote: null
    Connections {
        target: screen.form
        function onSaveRefused() {
            const fields = [["givenName", givenField, givenError], ["email", emailField, emailError],
                            ["phone", phoneField, phoneError], ["birthday", dayField, birthdayError]]
            for (const [key, field, note] of fields) {
                if ((screen.form.errors[key] ?? "") !== "") {
                    field.forceActiveFocus()
                    screen.refusedField = field
                    screen.refusedNote = note
                    // The message has only just appeared: measure it once laid out.
                    revealRefused.restart()
                    return
                }
            }
            for (let i = 0; i < detailRepeater.count; ++i) {
                const row = detailRepeater.itemAt(i)
                if (row && (screen.form.errors["detail-" + row.modelData.key] ?? "") !== "") {
                    row.field.forceActiveFocus()
                    screen.refusedField = row.field
                    screen.refusedNote = row.note
                    revealRefused.restart()
                    return
                }
            }
        }
    }
    Timer {
        id: revealRefused
        // After the layouts have placed the message (they do so on the next frame).
        interval: 50
        onTriggered: {
            const field = screen.refusedField
            const note = screen.refusedNote
            if (!field || !note)
                return
            const noteBottom = note.mapToItem(field, 0, note.height).y
            screen.revealRange(field, Math.max(field.height, noteBottom))
        }
    }
    // Whatever field takes the keyboard (Tab) is scrolled into view.
    Connections {
        target: screen.Window.window
        function onActiveFocusItemChanged() {
            const item = screen.Window.activeFocusItem
            if (item && screen.isOnTop && content.contains(item.mapToItem(content, 0, 0)))
                screen.reveal(item)
        }
    }

    // A link added above the editor pushes it down: keep the address being typed in view.
    // Done once the form has been laid out again (its height changes with the list).
    readonly property var links: form.links
    property bool revealsAddress: false
    onLinksChanged: revealsAddress = linkURLField.activeFocus
    // A refused link (also when saving stops for it) brings the address and its message into view.
    readonly property string linkError: form.linkError
    onLinkErrorChanged: {
        if (linkError === "")
            return
        linkURLField.forceActiveFocus()
        // The message under the address has only just appeared: measure it once laid out.
        revealLinkError.restart()
    }
    Timer {
        id: revealLinkError
        interval: 0
        onTriggered: screen.revealRange(linkURLField, linkURLField.height + linkErrorNote.implicitHeight + Theme.gap)
    }

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys
        target: screen.form
    }

    // Inline components do not see this file's ids: each measures the widest label itself.
    component FieldLabel: Text {
        textFormat: Text.PlainText
        id: fieldLabel
        color: Theme.secondaryText
        font.pointSize: Theme.bodySize
        horizontalAlignment: Text.AlignRight
        Layout.preferredWidth: widest.width
        Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
        TextMetrics {
            id: widest
            font: fieldLabel.font
            text: qsTr("Graduation year")
        }
    }
    component FormField: TextField {
        Layout.fillWidth: true
        font.pointSize: Theme.bodySize
    }
    component FieldNote: Text {
        textFormat: Text.PlainText
        id: note
        property bool isError: false
        visible: text !== ""
        color: isError ? Theme.destructive : Theme.tertiaryText
        font.pointSize: Theme.smallSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
        Layout.columnSpan: 2
        leftPadding: indent.width + Theme.gap * 1.5
        Accessible.role: isError ? Accessible.AlertMessage : Accessible.StaticText
        Accessible.name: text
        TextMetrics {
            id: indent
            font.pointSize: Theme.bodySize
            text: qsTr("Graduation year")
        }
    }
    // A button of the form itself: Tab reaches it, Space or Return presses it, and a ring shows
    // when it has the keyboard.
    component FormButton: PanelButton {
        id: formButton
        focusPolicy: Qt.StrongFocus
        opacity: enabled ? 1 : 0.45
        Accessible.name: text
        Keys.onReturnPressed: formButton.clicked()
        Keys.onEnterPressed: formButton.clicked()
        Rectangle {
            anchors.fill: parent
            anchors.margins: -2
            radius: Theme.unit * 2
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
            visible: formButton.activeFocus
        }
    }
    component SectionTitle: Text {
        textFormat: Text.PlainText
        color: Theme.tertiaryText
        font.pointSize: Theme.smallSize
        font.weight: Font.DemiBold
        font.capitalization: Font.AllUppercase
        Layout.columnSpan: 2
        Layout.topMargin: Theme.gap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: Theme.margin * 1.5
        anchors.bottomMargin: Theme.margin
        spacing: Theme.gap

        Text {
            textFormat: Text.PlainText
            id: titleLabel
            text: screen.form.title
            color: Theme.text
            font.pointSize: Theme.titleSize
            font.weight: Font.DemiBold
            elide: Text.ElideRight
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin * 1.5
            Layout.rightMargin: Theme.margin * 1.5
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        Flickable {
            id: flick
            objectName: "formScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: width
            contentHeight: content.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: PanelScrollBar {}
            onContentHeightChanged: {
                if (!screen.revealsAddress)
                    return
                screen.revealsAddress = false
                screen.reveal(linkURLField)
            }

            GridLayout {
                id: content
                x: Theme.margin * 1.5
                width: flick.width - Theme.margin * 3
                columns: 2
                columnSpacing: Theme.gap * 1.5
                rowSpacing: Theme.gap

                SectionTitle { text: qsTr("Address book") }

                FieldLabel { text: qsTr("First name") }
                FormField {
                    id: givenField
                    objectName: "givenName"
                    text: screen.form.givenName
                    Accessible.name: qsTr("First name")
                    Accessible.description: screen.errors.givenName ?? ""
                    onTextEdited: screen.form.givenName = text
                }
                FieldNote { id: givenError; isError: true; text: screen.errors.givenName ?? "" }
                FieldLabel { text: qsTr("Last name") }
                FormField {
                    id: familyField
                    objectName: "familyName"
                    text: screen.form.familyName
                    Accessible.name: qsTr("Last name")
                    onTextEdited: screen.form.familyName = text
                }
                FieldLabel { text: qsTr("Nickname") }
                FormField {
                    text: screen.form.nickname
                    Accessible.name: qsTr("Nickname")
                    onTextEdited: screen.form.nickname = text
                }
                FieldLabel { text: qsTr("Organisation") }
                FormField {
                    text: screen.form.organization
                    Accessible.name: qsTr("Organisation")
                    onTextEdited: screen.form.organization = text
                }
                FieldLabel { text: qsTr("Job title") }
                FormField {
                    text: screen.form.jobTitle
                    Accessible.name: qsTr("Job title")
                    onTextEdited: screen.form.jobTitle = text
                }
                FieldLabel { text: qsTr("E-mail") }
                FormField {
                    id: emailField
                    objectName: "email"
                    text: screen.form.email
                    inputMethodHints: Qt.ImhEmailCharactersOnly
                    Accessible.name: qsTr("E-mail")
                    Accessible.description: screen.errors.email ?? ""
                    onTextEdited: screen.form.email = text
                }
                FieldNote { id: emailError; objectName: "emailError"; isError: true; text: screen.errors.email ?? "" }
                FieldNote { text: (screen.errors.email ?? "") === "" ? screen.form.emailNote : "" }
                FieldLabel { text: qsTr("Phone") }
                FormField {
                    id: phoneField
                    objectName: "phone"
                    text: screen.form.phone
                    inputMethodHints: Qt.ImhDialableCharactersOnly
                    Accessible.name: qsTr("Phone")
                    Accessible.description: screen.errors.phone ?? ""
                    onTextEdited: screen.form.phone = text
                }
                FieldNote { id: phoneError; isError: true; text: screen.errors.phone ?? "" }
                FieldNote { text: (screen.errors.phone ?? "") === "" ? screen.form.phoneNote : "" }
                FieldLabel { text: qsTr("Birthday") }
                RowLayout {
                    spacing: Theme.gap
                    Layout.fillWidth: true
                    FormField {
                        id: dayField
                        objectName: "birthdayDay"
                        Layout.fillWidth: false
                        Layout.preferredWidth: Theme.bodySize * 5
                        text: screen.form.birthdayDay
                        placeholderText: qsTr("Day")
                        inputMethodHints: Qt.ImhDigitsOnly
                        validator: IntValidator { bottom: 1; top: 31 }
                        Accessible.name: qsTr("Birthday, day")
                        Accessible.description: screen.errors.birthday ?? ""
                        onTextEdited: screen.form.birthdayDay = text
                    }
                    PanelComboBox {
                        id: month
                        objectName: "birthdayMonth"
                        model: screen.form.monthTitles
                        currentIndex: screen.form.birthdayMonth
                        font.pointSize: Theme.bodySize
                        Layout.preferredWidth: Theme.bodySize * 12
                        Accessible.name: qsTr("Birthday, month")
                        Accessible.description: screen.errors.birthday ?? ""
                        onActivated: function(index) { screen.form.birthdayMonth = index }
                    }
                    FormField {
                        objectName: "birthdayYear"
                        Layout.fillWidth: false
                        Layout.preferredWidth: Theme.bodySize * 6
                        text: screen.form.birthdayYear
                        placeholderText: qsTr("Year")
                        inputMethodHints: Qt.ImhDigitsOnly
                        Accessible.name: qsTr("Birthday, year (may be left empty)")
                        Accessible.description: screen.errors.birthday ?? ""
                        onTextEdited: screen.form.birthdayYear = text
                    }
                    Item { Layout.fillWidth: true }
                }
                FieldNote { id: birthdayError; isError: true; text: screen.errors.birthday ?? "" }
                FieldNote { text: screen.form.folderNote }

                SectionTitle { text: qsTr("In Pemmo") }

                FieldLabel { text: qsTr("Photo"); Layout.alignment: Qt.AlignRight | Qt.AlignTop }
                RowLayout {
                    spacing: Theme.gap * 1.5
                    Layout.fillWidth: true
                    Avatar {
                        objectName: "photoPreview"
                        size: Theme.largeAvatarSize
                        initials: screen.form.initials
                        photoSource: screen.form.photoSource
                        contactId: screen.form.isEditing ? screen.screenRoute.contactID : ""
                    }
                    ColumnLayout {
                        spacing: Theme.gap
                        Layout.fillWidth: true
                        RowLayout {
                            spacing: Theme.gap
                            FormButton {
                                id: choosePhotoButton
                                objectName: "choosePhoto"
                                text: qsTr("Choose photo…")
                                Accessible.name: qsTr("Choose photo, Control O")
                                Accessible.description: qsTr("Pick an image file to show instead of the address book's photo")
                                onClicked: screen.form.choosePhoto()
                            }
                            FormButton {
                                objectName: "useContactsPhoto"
                                text: qsTr("Use address book photo")
                                enabled: screen.form.hasReplacementPhoto
                                // Pressed, it has nothing left to do and turns itself off: the
                                // keyboard goes to its neighbour rather than nowhere.
                                onClicked: {
                                    const hadKeyboard = activeFocus
                                    screen.form.useContactsPhoto()
                                    if (hadKeyboard)
                                        choosePhotoButton.forceActiveFocus()
                                }
                            }
                        }
                        Text {
                            textFormat: Text.PlainText
                            visible: text !== ""
                            text: screen.form.photoError !== "" ? screen.form.photoError : screen.form.photoNote
                            color: screen.form.photoError !== "" ? Theme.destructive : Theme.tertiaryText
                            font.pointSize: Theme.smallSize
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                            Accessible.role: screen.form.photoError !== "" ? Accessible.AlertMessage : Accessible.StaticText
                            Accessible.name: text
                        }
                    }
                }

                FieldLabel { text: qsTr("Circles") }
                FormField {
                    text: screen.form.circles
                    placeholderText: qsTr("Family, Climbing, …")
                    Accessible.name: qsTr("Circles, separated by commas")
                    onTextEdited: screen.form.circles = text
                }
                FieldLabel { text: qsTr("Message handle") }
                FormField {
                    text: screen.form.messageHandle
                    placeholderText: qsTr("Where messages go, if not the phone")
                    Accessible.name: qsTr("Message handle")
                    onTextEdited: screen.form.messageHandle = text
                }
                FieldLabel { text: qsTr("Links"); Layout.alignment: Qt.AlignRight | Qt.AlignTop }
                ColumnLayout {
                    spacing: Theme.unit
                    Layout.fillWidth: true
                    Text {
                        textFormat: Text.PlainText
                        visible: screen.form.links.length === 0
                        text: qsTr("No links yet.")
                        color: Theme.tertiaryText
                        font.pointSize: Theme.bodySize
                        Layout.topMargin: Theme.unit
                    }
                    Repeater {
                        id: linkRows
                        model: screen.form.links
                        delegate: Rectangle {
                            id: linkRow
                            required property var modelData
                            required property int index
                            readonly property var buttons: ({ up: upButton, down: downButton, remove: removeButton })
                            readonly property bool isEdited: screen.form.editingLinkID === modelData.id
                            Layout.fillWidth: true
                            implicitHeight: linkLine.implicitHeight + Theme.unit * 2
                            radius: Theme.rowRadius
                            color: isEdited ? Theme.selection : "transparent"
                            Accessible.role: Accessible.ListItem
                            Accessible.name: modelData.title + ", " + modelData.url
                            Accessible.selected: isEdited
                            RowLayout {
                                id: linkLine
                                anchors.fill: parent
                                anchors.leftMargin: Theme.unit * 2
                                spacing: Theme.gap
                                // Title over address, so the address keeps the row's width.
                                ColumnLayout {
                                    spacing: 0
                                    Layout.fillWidth: true
                                    Text {
                                        textFormat: Text.PlainText
                                        text: linkRow.modelData.title
                                        color: linkRow.isEdited ? Theme.selectionText : Theme.text
                                        font.pointSize: Theme.bodySize
                                        font.weight: Font.DemiBold
                                        elide: Text.ElideRight
                                        Layout.fillWidth: true
                                    }
                                    Text {
                                        textFormat: Text.PlainText
                                        text: linkRow.modelData.url
                                        color: linkRow.isEdited ? Theme.selectionText : Theme.secondaryText
                                        font.pointSize: Theme.smallSize
                                        elide: Text.ElideMiddle
                                        Layout.fillWidth: true
                                    }
                                }
                                FormButton {
                                    text: qsTr("Edit")
                                    Accessible.name: qsTr("Edit %1").arg(linkRow.modelData.title)
                                    onClicked: { screen.form.editLink(linkRow.modelData.id); linkURLField.forceActiveFocus() }
                                }
                                FormButton {
                                    id: upButton
                                    objectName: "linkUp"
                                    text: "↑"
                                    enabled: linkRow.index > 0
                                    Accessible.name: qsTr("Move %1 up").arg(linkRow.modelData.title)
                                    onClicked: {
                                        const keyboard = activeFocus
                                        const at = linkRow.index
                                        screen.form.moveLink(linkRow.modelData.id, -1)
                                        if (keyboard)
                                            screen.focusLinkButton(at - 1, "up", "down")
                                    }
                                }
                                FormButton {
                                    id: downButton
                                    objectName: "linkDown"
                                    text: "↓"
                                    enabled: linkRow.index < screen.form.links.length - 1
                                    Accessible.name: qsTr("Move %1 down").arg(linkRow.modelData.title)
                                    onClicked: {
                                        const keyboard = activeFocus
                                        const at = linkRow.index
                                        screen.form.moveLink(linkRow.modelData.id, 1)
                                        if (keyboard)
                                            screen.focusLinkButton(at + 1, "down", "up")
                                    }
                                }
                                FormButton {
                                    id: removeButton
                                    objectName: "linkRemove"
                                    text: qsTr("Remove")
                                    Accessible.name: qsTr("Remove %1").arg(linkRow.modelData.title)
                                    onClicked: {
                                        const keyboard = activeFocus
                                        const at = linkRow.index
                                        screen.form.removeLink(linkRow.modelData.id)
                                        if (keyboard)
                                            screen.focusLinkButton(at, "remove", "remove")
                                    }
                                }
                            }
                        }
                    }
                }
                FieldLabel { text: screen.form.editingLinkID !== "" ? qsTr("Change link") : qsTr("New link") }
                FormField {
                    id: linkURLField
                    objectName: "linkURL"
                    text: screen.form.linkURL
                    placeholderText: qsTr("instagram.com/name, or any web address")
                    inputMethodHints: Qt.ImhUrlCharactersOnly
                    Accessible.name: screen.form.editingLinkID !== "" ? qsTr("Link address, changing") : qsTr("New link address")
                    Accessible.description: screen.form.linkError
                    onTextEdited: screen.form.linkURL = text
                    // Return adds the link (the form saves with Control-Return).
                    Keys.onReturnPressed: screen.form.commitLink()
                    Keys.onEnterPressed: screen.form.commitLink()
                }
                FieldNote { id: linkErrorNote; isError: true; text: screen.form.linkError }
                FieldLabel { text: qsTr("Link title") }
                RowLayout {
                    spacing: Theme.gap
                    Layout.fillWidth: true
                    FormField {
                        objectName: "linkTitle"
                        text: screen.form.linkTitle
                        placeholderText: qsTr("The site's name")
                        Accessible.name: qsTr("Link title (may be left empty)")
                        onTextEdited: screen.form.linkTitle = text
                        // Added, the next link starts at its address.
                        Keys.onReturnPressed: if (screen.form.commitLink()) linkURLField.forceActiveFocus()
                        Keys.onEnterPressed: if (screen.form.commitLink()) linkURLField.forceActiveFocus()
                    }
                    PanelComboBox {
                        model: screen.form.linkKindTitles
                        currentIndex: screen.form.linkKindIndex
                        font.pointSize: Theme.bodySize
                        Accessible.name: qsTr("Link kind")
                        onActivated: function(index) { screen.form.linkKindIndex = index }
                    }
                    FormButton {
                        objectName: "commitLink"
                        text: screen.form.editingLinkID !== "" ? qsTr("Update link") : qsTr("Add link")
                        onClicked: if (screen.form.commitLink()) linkURLField.forceActiveFocus()
                    }
                    FormButton {
                        visible: screen.form.editingLinkID !== ""
                        text: qsTr("Cancel")
                        Accessible.name: qsTr("Stop changing the link")
                        onClicked: screen.form.cancelLinkEdit()
                    }
                }
                Repeater {
                    id: detailRepeater
                    model: screen.form.details
                    delegate: RowLayout {
                        id: detailRow
                        required property var modelData
                        property alias field: detailField
                        property alias note: detailNote
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        spacing: Theme.gap * 1.5
                        FieldLabel { text: detailRow.modelData.label }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 0
                            FormField {
                                id: detailField
                                objectName: "detail-" + detailRow.modelData.key
                                Layout.fillWidth: true
                                text: detailRow.modelData.value
                                placeholderText: detailRow.modelData.placeholder
                                Accessible.name: detailRow.modelData.label
                                Accessible.description: screen.errors["detail-" + detailRow.modelData.key] ?? ""
                                onTextEdited: screen.form.setDetail(detailRow.modelData.key, text)
                            }
                            FieldNote {
                                id: detailNote
                                isError: true
                                leftPadding: 0
                                text: screen.errors["detail-" + detailRow.modelData.key] ?? ""
                            }
                        }
                    }
                }
                FieldLabel { text: qsTr("About"); Layout.alignment: Qt.AlignRight | Qt.AlignTop }
                TextArea {
                    textFormat: TextEdit.PlainText
                    id: aboutArea
                    Layout.fillWidth: true
                    Layout.minimumHeight: Theme.rowHeight * 2
                    text: screen.form.about
                    wrapMode: TextArea.Wrap
                    font.pointSize: Theme.bodySize
                    color: Theme.text
                    placeholderText: qsTr("What you want to remember about them")
                    placeholderTextColor: Theme.tertiaryText
                    background: Rectangle {
                        color: Theme.field
                        radius: Theme.unit * 1.5
                        border.width: 1
                        border.color: aboutArea.activeFocus ? Theme.accent : Theme.border
                    }
                    Accessible.name: qsTr("About")
                    // Tab leaves the text rather than typing a tab.
                    KeyNavigation.priority: KeyNavigation.BeforeItem
                    KeyNavigation.tab: givenField
                    onTextChanged: if (screen.form.about !== text) screen.form.about = text
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: screen.form.error !== ""
            text: screen.form.error
            color: Theme.destructive
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin * 1.5
            Layout.rightMargin: Theme.margin * 1.5
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin * 1.5
            Layout.rightMargin: Theme.margin * 1.5
            spacing: Theme.gap
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Cancel")
                Accessible.name: qsTr("Cancel, Escape")
                onClicked: screen.form.cancel()
            }
            PanelButton {
                text: screen.form.isEditing ? qsTr("Save") : qsTr("Add contact")
                highlighted: true
                enabled: !screen.form.isSaving
                Accessible.name: text + qsTr(", Control Return")
                onClicked: screen.form.submit()
            }
        }
    }
}
