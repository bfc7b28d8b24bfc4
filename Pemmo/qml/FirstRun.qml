// The first-run window: a one-minute tutorial against a practice contact (welcome, the three
// tasks with their keys), then the address book folders Pemmo should read. An ordinary window,
// operable from the keyboard alone: Tab moves between the controls, Return or Space presses one.
// On a small screen the window is no taller than the screen: the steps scroll (with the focused
// control kept in view, and Page Up, Page Down and the arrows to read on), and the buttons stay.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: root
    required property FirstRunViewModel model
    readonly property OnboardingPractice practice: model.practice
    readonly property bool showsContacts: practice.step === 2

    implicitWidth: Theme.unit * 150
    implicitHeight: Theme.unit * 130
    color: Theme.window
    palette.window: Theme.window
    palette.windowText: Theme.text
    palette.base: Theme.field
    palette.text: Theme.text
    palette.button: Theme.chip
    palette.buttonText: Theme.text
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.window

    // What the end-to-end test and a screen reader read of the window.
    function describe(): var {
        return {
            "step": practice.step,
            "ready": practice.isReady,
            "currentTask": practice.currentTask,
            "messaged": practice.messaged,
            "contactsText": showsContacts ? model.contactsText : "",
            "notice": model.notice
        }
    }

    // A button that takes the keyboard's focus and shows it. Text on the accent fill takes the
    // window's colour: light on the light look's dark accent, dark on the dark look's light one.
    component WindowButton: Button {
        id: button
        focusPolicy: Qt.StrongFocus
        font.pointSize: Theme.bodySize
        padding: Theme.unit * 2
        leftPadding: Theme.unit * 4
        rightPadding: Theme.unit * 4
        Accessible.role: Accessible.Button
        Accessible.name: text
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        contentItem: Text {
            textFormat: Text.PlainText
            text: button.text
            font: button.font
            color: button.highlighted ? Theme.window : Theme.text
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            implicitWidth: Theme.unit * 20
            implicitHeight: Theme.metrics.height + Theme.unit * 4
            radius: Theme.unit * 1.5
            color: button.highlighted ? Theme.accent : (button.down ? Theme.selection : Theme.chip)
            border.width: button.activeFocus ? 2 : 1
            border.color: button.activeFocus ? (button.highlighted ? Theme.text : Theme.accent) : Theme.border
            opacity: button.enabled ? 1 : 0.5
        }
    }

    // A key cap, lit while its task is the one to do and ticked off once done.
    component KeyCap: Rectangle {
        id: cap
        required property string label
        required property string state_
        implicitHeight: capText.implicitHeight + Theme.unit * 2
        implicitWidth: Math.max(implicitHeight, capText.implicitWidth + Theme.unit * 3)
        radius: Theme.unit
        color: state_ === "current" ? Theme.accent : Theme.chip
        border.width: 1
        border.color: state_ === "current" ? Theme.accent : Theme.border
        opacity: state_ === "pending" ? 0.7 : 1
        Text {
            textFormat: Text.PlainText
            id: capText
            anchors.centerIn: parent
            text: cap.label
            font.pointSize: Theme.bodySize
            font.bold: cap.state_ === "current"
            color: cap.state_ === "current" ? Theme.window
                 : cap.state_ === "done" ? Theme.secondaryText : Theme.text
        }
    }

    // Keeps `item` (when it is in the scrolled steps) inside the visible part.
    function reveal(item: Item) {
        for (let up = item; up !== null; up = up.parent) {
            if (up !== steps)
                continue
            const top = item.mapToItem(steps, 0, 0).y - Theme.gap
            const bottom = top + item.height + Theme.gap * 2
            if (top < scroller.contentY)
                scroller.contentY = Math.max(0, top)
            else if (bottom > scroller.contentY + scroller.height)
                scroller.contentY = Math.min(bottom - scroller.height, scroller.contentHeight - scroller.height)
            return
        }
    }
    function scrollBy(dy: real) {
        const most = Math.max(0, scroller.contentHeight - scroller.height)
        scroller.contentY = Math.max(0, Math.min(most, scroller.contentY + dy))
    }

    // No control takes these keys: they reach the window and move the steps.
    Keys.onPressed: event => {
        switch (event.key) {
        case Qt.Key_PageDown: scrollBy(scroller.height * 0.9); break
        case Qt.Key_PageUp: scrollBy(-scroller.height * 0.9); break
        case Qt.Key_Down: scrollBy(Theme.metrics.height * 2); break
        case Qt.Key_Up: scrollBy(-Theme.metrics.height * 2); break
        default: return
        }
        event.accepted = true
    }
    // The practice has the keyboard when the window opens, but the window starts at its top, with
    // the welcome: only a later move of the keyboard scrolls.
    property bool opening: true
    Connections {
        target: root.Window.window
        function onActiveFocusItemChanged() {
            const item = root.Window.activeFocusItem
            if (root.opening && item === practiceStrip)
                return
            root.opening = false
            root.reveal(item)
        }
    }
    // A new step starts at its top (with the focused control still in view).
    onShowsContactsChanged: {
        scroller.contentY = 0
        reveal(Window.activeFocusItem)
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 2
        spacing: Theme.margin

        Flickable {
            id: scroller
            objectName: "steps"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: width
            contentHeight: steps.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: PanelScrollBar {
                id: scrollBar
            }

            ColumnLayout {
                id: steps
                width: scroller.width - (scrollBar.visible ? scrollBar.width + Theme.gap : 0)
                spacing: Theme.margin

                // MARK: Welcome and practice
                ColumnLayout {
                    visible: !root.showsContacts
                    Layout.fillWidth: true
                    spacing: Theme.gap

                    Text {
                        textFormat: Text.PlainText
                        text: qsTr("A one-minute tutorial.")
                        font.pointSize: Theme.titleSize
                        font.bold: true
                        color: Theme.text
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Text {
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Alex is a practice contact. Reach them with three keys and you know Pemmo.")
                        font.pointSize: Theme.bodySize
                        color: Theme.text
                    }
                    Text {
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Alex lives only in this tutorial and is never added to your contacts.")
                        font.pointSize: Theme.smallSize
                        color: Theme.secondaryText
                    }
                    Text {
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Do it for real. Pemmo opens over this window; Alex's number is made up.")
                        font.pointSize: Theme.smallSize
                        color: Theme.secondaryText
                    }
                }

                // The practice strip: the three tasks, their hints and keys. The keyboard starts
                // here, where the practice begins, so Return cannot skip it by pressing Continue;
                // the current task is ringed while the strip has the keyboard.
                ColumnLayout {
                    id: practiceStrip
                    objectName: "practice"
                    visible: !root.showsContacts
                    Layout.fillWidth: true
                    spacing: Theme.gap
                    activeFocusOnTab: true
                    Accessible.role: Accessible.List
                    Accessible.name: qsTr("Practice")
                    Accessible.description: {
                        const tasks = root.practice.tasks
                        for (let i = 0; i < tasks.length; ++i) {
                            if (tasks[i].current)
                                return tasks[i].title + ". " + tasks[i].hint
                        }
                        return ""
                    }
                    Accessible.focusable: true
                    Accessible.focused: activeFocus

                    Repeater {
                        model: root.practice.tasks
                        delegate: Rectangle {
                            id: taskRow
                            required property var modelData
                            required property int index
                            Layout.fillWidth: true
                            implicitHeight: taskLayout.implicitHeight + Theme.unit * 4
                            radius: Theme.rowRadius
                            color: modelData.current ? Theme.selection : Theme.hover
                            border.width: !modelData.current ? 0
                                          : practiceStrip.activeFocus ? Math.max(2, Math.round(Theme.unit / 2)) : 1
                            border.color: Theme.accent
                            Accessible.role: Accessible.ListItem
                            Accessible.name: modelData.title + (modelData.done ? qsTr(", done") : "") + ". " + modelData.hint
                            Accessible.selected: modelData.current

                            RowLayout {
                                id: taskLayout
                                anchors.fill: parent
                                anchors.margins: Theme.unit * 2
                                spacing: Theme.gap

                                Text {
                                    textFormat: Text.PlainText
                                    Layout.preferredWidth: Theme.unit * 6
                                    horizontalAlignment: Text.AlignHCenter
                                    text: taskRow.modelData.done ? "\u2714" : String(taskRow.index + 1)
                                    font.pointSize: Theme.fieldSize
                                    color: taskRow.modelData.done ? Theme.accent : Theme.tertiaryText
                                    Accessible.ignored: true
                                }
                                ColumnLayout {
                                    Layout.fillWidth: true
                                    spacing: 0
                                    Text {
                                        textFormat: Text.PlainText
                                        text: taskRow.modelData.title
                                        font.pointSize: Theme.bodySize
                                        font.bold: true
                                        color: taskRow.modelData.current ? Theme.selectionText : Theme.text
                                    }
                                    Text {
                                        textFormat: Text.PlainText
                                        Layout.fillWidth: true
                                        wrapMode: Text.WordWrap
                                        text: taskRow.modelData.hint
                                        font.pointSize: Theme.smallSize
                                        color: taskRow.modelData.current ? Theme.selectionText : Theme.secondaryText
                                    }
                                }
                                Row {
                                    spacing: Theme.unit
                                    Repeater {
                                        model: taskRow.modelData.keys
                                        delegate: KeyCap {
                                            required property var modelData
                                            label: modelData.label
                                            state_: modelData.state
                                        }
                                    }
                                }
                            }
                        }
                    }

                    Text {
                        textFormat: Text.PlainText
                        visible: !root.practice.isReady
                        text: qsTr("Getting Alex ready…")
                        font.pointSize: Theme.smallSize
                        color: Theme.tertiaryText
                    }
                    Text {
                        textFormat: Text.PlainText
                        visible: root.practice.messaged
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Messages opened Alex's conversation. The number is made up, so nothing can reach anyone.")
                        font.pointSize: Theme.bodySize
                        color: Theme.text
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }

                // MARK: Contacts
                ColumnLayout {
                    visible: root.showsContacts
                    Layout.fillWidth: true
                    spacing: Theme.gap

                    Text {
                        textFormat: Text.PlainText
                        text: qsTr("Now someone you know.")
                        font.pointSize: Theme.titleSize
                        font.bold: true
                        color: Theme.text
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Text {
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Connect your address book folders and the same keys reach anyone in your address book.")
                        font.pointSize: Theme.bodySize
                        color: Theme.text
                    }
                    Text {
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: root.model.contactsText
                        font.pointSize: Theme.smallSize
                        color: Theme.secondaryText
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                    Repeater {
                        model: root.model.folders
                        // The model hears of a box the user ticks here, where the window's model is in reach.
                        onItemAdded: (index, item) => {
                            const box = item as CheckBox
                            box.toggled.connect(() => root.model.setChecked(index, box.checked))
                        }
                        delegate: PanelCheckBox {
                            id: folderBox
                            required property var modelData
                            required property int index
                            Layout.fillWidth: true
                            checked: modelData.checked
                            focusPolicy: Qt.StrongFocus
                            font.pointSize: Theme.bodySize
                            text: modelData.path + "  \u2014  " + modelData.note
                                  + (modelData.connected ? qsTr(" (connected)") : "")
                            Accessible.role: Accessible.CheckBox
                            Accessible.name: text
                            Accessible.checked: checked
                            Keys.onReturnPressed: toggle()
                            contentItem: Text {
                                textFormat: Text.PlainText
                                leftPadding: folderBox.indicator.width + Theme.unit * 2
                                text: folderBox.text
                                font: folderBox.font
                                color: Theme.text
                                // Wrapped, never cut: in a narrow window the whole path and
                                // what it holds still show.
                                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                                verticalAlignment: Text.AlignVCenter
                            }
                        }
                    }
                    // Side by side where they fit, one under the other in a narrow window.
                    Flow {
                        Layout.fillWidth: true
                        spacing: Theme.gap
                        WindowButton {
                            id: connectButton
                            objectName: "connectFolders"
                            text: qsTr("Connect Address Book Folders")
                            highlighted: true
                            enabled: root.model.hasCheckedFolder
                            onClicked: root.model.connectFolders()
                        }
                        WindowButton {
                            objectName: "chooseFolder"
                            text: qsTr("Choose folder…")
                            onClicked: root.model.chooseFolder()
                        }
                    }
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: root.model.notice !== ""
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: root.model.notice
            font.pointSize: Theme.smallSize
            color: Theme.destructive
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }

        // MARK: The ways on and out
        RowLayout {
            id: buttons
            Layout.fillWidth: true
            spacing: Theme.gap
            WindowButton {
                visible: !root.showsContacts
                objectName: "skip"
                text: qsTr("Skip tutorial")
                onClicked: root.model.skip()
            }
            Item { Layout.fillWidth: true }
            WindowButton {
                id: continueButton
                visible: !root.showsContacts
                objectName: "continue"
                text: qsTr("Continue")
                highlighted: root.practice.messaged
                onClicked: root.model.continueToContacts()
            }
            WindowButton {
                visible: root.showsContacts
                objectName: "later"
                text: qsTr("Later")
                onClicked: root.model.finish(false)
            }
            WindowButton {
                id: searchButton
                visible: root.showsContacts
                objectName: "searchContacts"
                text: qsTr("Search my contacts")
                highlighted: !connectButton.enabled || root.model.folders.length === 0
                onClicked: root.model.finish(true)
            }
        }
    }

    // The keyboard starts where the next step is: the practice at first, Continue once Alex is
    // messaged, Connect on the contacts step.
    Connections {
        target: root.practice
        function onMessagedAlex() { continueButton.forceActiveFocus() }
        function onChanged() {
            if (root.showsContacts && !connectButton.activeFocus && !searchButton.activeFocus)
                connectButton.enabled ? connectButton.forceActiveFocus() : searchButton.forceActiveFocus()
        }
    }
    Component.onCompleted: practiceStrip.forceActiveFocus()
}
