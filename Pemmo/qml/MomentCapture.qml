// Writing down a memory of a one-on-one that just ended. Control-Return saves the text, Control-J
// logs only that the two met, Control-D dismisses the Moment (Control-Shift-D its whole series),
// Escape goes back with the text kept as a draft.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen

    readonly property MomentCaptureViewModel moment: Shell.momentCapture(screenRoute)
    Accessible.name: titleLabel.text

    hints: screen.moment && screen.moment.isRecurring
           ? [["Ctrl+↵", qsTr("Save")], ["Ctrl+J", qsTr("Just log")], ["Ctrl+D", qsTr("Dismiss")],
              ["Ctrl+⇧+D", qsTr("Stop series")], ["Esc", qsTr("Back")]]
           : [["Ctrl+↵", qsTr("Save")], ["Ctrl+J", qsTr("Just log")], ["Ctrl+D", qsTr("Dismiss")],
              ["Esc", qsTr("Back")]]

    function describe(): var {
        return { title: titleLabel.text, person: personLabel.visible ? personLabel.text : "",
                 when: whenLabel.text, text: textArea.text,
                 placeholder: textArea.placeholderText,
                 error: errorLabel.visible ? errorLabel.text : "", focused: textArea.activeFocus,
                 recurring: screen.moment ? screen.moment.isRecurring : false, visible: screen.visible }
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
        active: screen.takesKeys && screen.moment !== null
        target: screen.moment
    }
    // A Moment that is gone (or a route without one) leaves nothing to write: Escape goes back.
    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys && screen.moment === null
        handleKey: function(event) {
            if (event.key === Qt.Key_Escape) {
                Shell.router.pop()
                return true
            }
            return false
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        ColumnLayout {
            Layout.fillWidth: true
            spacing: Theme.unit
            Text {
                textFormat: Text.PlainText
                id: whenLabel
                text: screen.moment ? qsTr("Just happened · %1").arg(screen.moment.when) : ""
                color: Theme.secondaryText
                font.pointSize: Theme.smallSize
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Text {
                textFormat: Text.PlainText
                id: titleLabel
                // The event's own title: it often names the person already ("1:1 with Zdeněk"),
                // so the person has a line of their own below rather than a second "with".
                text: screen.moment ? screen.moment.eventTitle : qsTr("This Moment is gone")
                color: Theme.text
                font.pointSize: Theme.titleSize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                textFormat: Text.PlainText
                id: personLabel
                visible: screen.moment !== null && screen.moment.personName !== ""
                text: screen.moment ? screen.moment.personName : ""
                color: Theme.secondaryText
                font.pointSize: Theme.bodySize
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            TextArea {
                textFormat: TextEdit.PlainText
                id: textArea
                objectName: "momentText"
                text: screen.moment ? screen.moment.text : ""
                placeholderText: screen.moment ? screen.moment.placeholder : ""
                wrapMode: TextArea.Wrap
                font.pointSize: Theme.bodySize
                color: Theme.text
                placeholderTextColor: Theme.tertiaryText
                readOnly: screen.moment === null || screen.moment.isSaving
                background: Rectangle {
                    color: Theme.field
                    radius: Theme.unit * 1.5
                    border.width: 1
                    border.color: textArea.activeFocus ? Theme.accent : Theme.border
                }
                Accessible.name: screen.moment ? qsTr("Memory of %1, %2").arg(screen.moment.eventTitle).arg(screen.moment.personName)
                                               : titleLabel.text
                Accessible.description: placeholderText
                onTextChanged: if (screen.moment && screen.moment.text !== text) screen.moment.text = text
            }
        }
        Text {
            textFormat: Text.PlainText
            id: errorLabel
            visible: screen.moment !== null && screen.moment.error !== ""
            text: screen.moment ? screen.moment.error : ""
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
            PanelButton {
                text: qsTr("Dismiss")
                enabled: screen.moment !== null && !screen.moment.isSaving
                Accessible.name: qsTr("Dismiss this Moment, Control D")
                onClicked: screen.moment.submitDismiss()
            }
            PanelButton {
                visible: screen.moment !== null && screen.moment.isRecurring
                text: qsTr("Stop suggesting this series")
                enabled: screen.moment !== null && !screen.moment.isSaving
                Accessible.name: qsTr("Stop suggesting this series, Control Shift D")
                onClicked: screen.moment.submitStopSuggesting()
            }
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Just log that we met")
                enabled: screen.moment !== null && !screen.moment.isSaving
                Accessible.name: qsTr("Just log that we met, Control J")
                onClicked: screen.moment.submitJustLog()
            }
            PanelButton {
                text: qsTr("Save")
                highlighted: true
                enabled: screen.moment !== null && !screen.moment.isSaving
                Accessible.name: qsTr("Save the memory, Control Return")
                onClicked: screen.moment.submit()
            }
        }
    }
}
