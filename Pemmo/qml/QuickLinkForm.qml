// Adding or changing a saved link of a person. The address is checked as it will be opened; the
// site is recognised from it unless named. Control-Return saves, Escape cancels.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: titleLabel.text

    readonly property QuickLinkFormViewModel form: Shell.quickLinkForm(screenRoute.contactID, screenRoute.itemID)

    hints: [["Ctrl+↵", qsTr("Save")], ["Esc", qsTr("Cancel")]]

    function describe(): var {
        return { title: titleLabel.text, url: urlField.text, preview: screen.form.preview,
                 error: errorLabel.visible ? errorLabel.text : "", focused: urlField.activeFocus,
                 visible: screen.visible }
    }

    Component.onCompleted: urlField.forceActiveFocus()

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys
        target: screen.form
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        Text {
            textFormat: Text.PlainText
            id: titleLabel
            text: screen.form.personName !== "" ? qsTr("%1 · %2").arg(screen.form.title).arg(screen.form.personName)
                                                 : screen.form.title
            color: Theme.text
            font.pointSize: Theme.titleSize
            font.weight: Font.DemiBold
            elide: Text.ElideRight
            Layout.fillWidth: true
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        GridLayout {
            columns: 2
            columnSpacing: Theme.gap * 1.5
            rowSpacing: Theme.gap
            Layout.fillWidth: true
            Text { text: qsTr("Address"); textFormat: Text.PlainText; color: Theme.secondaryText; font.pointSize: Theme.bodySize }
            TextField {
                id: urlField
                objectName: "linkURL"
                Layout.fillWidth: true
                text: screen.form.url
                placeholderText: qsTr("instagram.com/name or any web address")
                font.pointSize: Theme.bodySize
                Accessible.name: qsTr("Address")
                onTextEdited: screen.form.url = text
            }
            Text { text: qsTr("Title"); textFormat: Text.PlainText; color: Theme.secondaryText; font.pointSize: Theme.bodySize }
            TextField {
                Layout.fillWidth: true
                text: screen.form.linkTitle
                placeholderText: screen.form.preview !== "" ? screen.form.preview : qsTr("From the address")
                font.pointSize: Theme.bodySize
                Accessible.name: qsTr("Title")
                onTextEdited: screen.form.linkTitle = text
            }
            Text { text: qsTr("Kind"); textFormat: Text.PlainText; color: Theme.secondaryText; font.pointSize: Theme.bodySize }
            PanelComboBox {
                model: screen.form.kindTitles
                currentIndex: screen.form.kindIndex
                font.pointSize: Theme.bodySize
                Accessible.name: qsTr("Kind of link")
                onActivated: function(index) { screen.form.kindIndex = index }
            }
        }
        Text {
            textFormat: Text.PlainText
            visible: screen.form.preview !== "" && screen.form.error === ""
            text: qsTr("Saved as “%1”").arg(screen.form.preview)
            color: Theme.tertiaryText
            font.pointSize: Theme.smallSize
        }
        Text {
            textFormat: Text.PlainText
            id: errorLabel
            visible: screen.form.error !== ""
            text: screen.form.error
            color: Theme.destructive
            font.pointSize: Theme.smallSize
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        Item { Layout.fillHeight: true }
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.gap
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Cancel")
                Accessible.name: qsTr("Cancel, Escape")
                onClicked: screen.form.cancel()
            }
            PanelButton {
                text: qsTr("Save")
                highlighted: true
                enabled: !screen.form.isSaving
                Accessible.name: qsTr("Save, Control Return")
                onClicked: screen.form.submit()
            }
        }
    }
}
