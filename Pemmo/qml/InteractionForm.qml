// Logging what happened with a person, or editing an entry of their timeline. Control-Return saves,
// Escape goes back keeping what was typed for the next time the form opens. A refused save shows
// each problem beside its field (the day under the Day field, the text under the text) and takes
// the keyboard to the first of them.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: titleLabel.text

    readonly property InteractionFormViewModel form: Shell.interactionForm(screenRoute.contactID, screenRoute.itemID)

    hints: [["Ctrl+↵", qsTr("Save")], ["Esc", qsTr("Back")]]

    function describe(): var {
        return { title: titleLabel.text, text: textArea.text, day: dayField.text, error: errorLabel.visible ? errorLabel.text : "",
                 dayError: dayErrorLabel.visible ? dayErrorLabel.text : "", dayFocused: dayField.activeFocus,
                 focused: textArea.activeFocus, visible: screen.visible }
    }

    // An entry being edited (or a draft taken up again) is continued where it ends.
    Component.onCompleted: {
        textArea.forceActiveFocus()
        textArea.cursorPosition = textArea.length
    }
    onActiveFocusChanged: if (activeFocus && !textArea.activeFocus && !kind.activeFocus && !dayField.activeFocus) textArea.forceActiveFocus()

    Connections {
        target: screen.form
        function onSaveRefused() {
            if (screen.form.dayError !== "")
                dayField.forceActiveFocus()
            else
                textArea.forceActiveFocus()
        }
    }

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
        RowLayout {
            spacing: Theme.gap
            Text {
                textFormat: Text.PlainText
                text: qsTr("Kind")
                color: Theme.secondaryText
                font.pointSize: Theme.bodySize
            }
            PanelComboBox {
                id: kind
                model: screen.form.kindTitles
                currentIndex: screen.form.kindIndex
                font.pointSize: Theme.bodySize
                Accessible.name: qsTr("Kind of entry")
                KeyNavigation.tab: dayField
                onActivated: function(index) { screen.form.kindIndex = index }
            }
            Text {
                id: dayLabel
                textFormat: Text.PlainText
                text: qsTr("Day")
                color: Theme.secondaryText
                font.pointSize: Theme.bodySize
                Layout.leftMargin: Theme.gap
            }
            TextField {
                id: dayField
                objectName: "interactionDay"
                text: screen.form.dayText
                placeholderText: qsTr("today, yesterday or a date")
                font.pointSize: Theme.bodySize
                Layout.preferredWidth: Math.max(implicitWidth, dayMetrics.advanceWidth + leftPadding + rightPadding)
                Accessible.name: qsTr("Day it happened")
                // The message is said with the field, as the contact form's fields do.
                Accessible.description: screen.form.dayError
                KeyNavigation.tab: textArea
                onTextEdited: screen.form.dayText = text
                TextMetrics { id: dayMetrics; font: dayField.font; text: "2026-12-31  " }
            }
        }
        // Under the Day field, from its label on, wrapping to the form's edge.
        Text {
            id: dayErrorLabel
            objectName: "interactionDayError"
            textFormat: Text.PlainText
            visible: text !== ""
            text: screen.form.dayError
            color: Theme.destructive
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            leftPadding: dayLabel.x
            Layout.fillWidth: true
            Layout.topMargin: -Theme.gap
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            TextArea {
                textFormat: TextEdit.PlainText
                id: textArea
                objectName: "interactionText"
                text: screen.form.text
                placeholderText: qsTr("What happened? What do you want to remember?")
                wrapMode: TextArea.Wrap
                font.pointSize: Theme.bodySize
                color: Theme.text
                placeholderTextColor: Theme.tertiaryText
                background: Rectangle {
                    color: Theme.field
                    radius: Theme.unit * 1.5
                    border.width: 1
                    border.color: textArea.activeFocus ? Theme.accent : Theme.border
                }
                Accessible.name: qsTr("What happened")
                Accessible.description: screen.form.error
                // Tab leaves the text for the kind menu rather than typing a tab.
                KeyNavigation.priority: KeyNavigation.BeforeItem
                KeyNavigation.tab: kind
                onTextChanged: if (screen.form.text !== text) screen.form.text = text
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
                text: qsTr("Save")
                highlighted: true
                enabled: !screen.form.isSaving
                Accessible.name: qsTr("Save, Control Return")
                onClicked: screen.form.submit()
            }
        }
    }
}
