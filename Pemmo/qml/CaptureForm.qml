// Quick capture and Enrich from text: a note or pasted text goes to the AI, whose answer opens the
// review. Control-Return sends, Escape cancels.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: titleLabel.text

    readonly property CaptureFormViewModel form: screenRoute.kind === "enrich"
        ? Shell.enrichForm(screenRoute.contactID)
        : Shell.captureForm(screenRoute.contactID, screenRoute.text)

    hints: [["Ctrl+↵", screenRoute.kind === "enrich" ? qsTr("Find updates") : qsTr("Capture")], ["Esc", qsTr("Back")]]

    function describe(): var {
        return { title: titleLabel.text, text: textArea.text, error: errorLabel.visible ? errorLabel.text : "",
                 working: screen.form.isWorking, origin: screen.form.origin,
                 focused: textArea.activeFocus, visible: screen.visible }
    }

    // Text kept from before (back from the review, a failed save) is continued where it ends.
    Component.onCompleted: {
        textArea.forceActiveFocus()
        textArea.cursorPosition = textArea.length
    }
    onActiveFocusChanged: if (activeFocus && !textArea.activeFocus) textArea.forceActiveFocus()

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
        Text {
            textFormat: Text.PlainText
            text: screen.form.origin
            visible: text !== ""
            color: Theme.secondaryText
            font.pointSize: Theme.smallSize
            Layout.fillWidth: true
            wrapMode: Text.Wrap
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            TextArea {
                textFormat: TextEdit.PlainText
                id: textArea
                objectName: "captureText"
                text: screen.form.text
                placeholderText: screen.form.placeholder
                wrapMode: TextArea.Wrap
                readOnly: screen.form.isWorking
                font.pointSize: Theme.bodySize
                color: Theme.text
                placeholderTextColor: Theme.tertiaryText
                background: Rectangle {
                    color: Theme.field
                    radius: Theme.unit * 1.5
                    border.width: 1
                    border.color: textArea.activeFocus ? Theme.accent : Theme.border
                }
                Accessible.name: screen.form.title
                KeyNavigation.priority: KeyNavigation.BeforeItem
                onTextChanged: if (screen.form.text !== text) screen.form.text = text
            }
        }
        RowLayout {
            visible: screen.form.isWorking
            spacing: Theme.gap
            BusyIndicator {
                running: screen.form.isWorking
                Layout.preferredHeight: Theme.metrics.height * 1.5
                Layout.preferredWidth: Theme.metrics.height * 1.5
            }
            Text {
                textFormat: Text.PlainText
                text: qsTr("Asking the AI…")
                color: Theme.secondaryText
                font.pointSize: Theme.smallSize
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
        Text {
            textFormat: Text.PlainText
            id: errorLabel
            visible: screen.form.error !== ""
            text: screen.form.error
            color: Theme.destructive
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.gap
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Back")
                Accessible.name: qsTr("Back, Escape")
                onClicked: screen.form.cancel()
            }
            PanelButton {
                text: screen.screenRoute.kind === "enrich" ? qsTr("Find updates") : qsTr("Capture")
                highlighted: true
                enabled: !screen.form.isWorking
                Accessible.name: qsTr("%1, Control Return").arg(text)
                onClicked: screen.form.submit()
            }
        }
    }
}
