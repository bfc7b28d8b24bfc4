// The top of a person's card: photo or initials, name and headline, the circles (with the field
// that adds them), and buttons for the commonest actions.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

ColumnLayout {
    id: header
    required property ProfileViewModel model
    // Whether the keys move the card's selection now.
    property bool keyboardHere: false
    spacing: Theme.gap

    RowLayout {
        Layout.leftMargin: Theme.margin * 1.5
        Layout.rightMargin: Theme.margin * 1.5
        Layout.fillWidth: true
        spacing: Theme.margin
        Avatar {
            size: Theme.largeAvatarSize
            initials: header.model.initials
            photoSource: header.model.photoSource
            contactId: header.model.contactID
            emphasized: true
        }
        ColumnLayout {
            spacing: Theme.unit
            Layout.fillWidth: true
            Text {
                textFormat: Text.PlainText
                id: nameLabel
                objectName: "profileName"
                visible: header.model.exists
                text: header.model.name
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
                visible: header.model.headline !== ""
                text: header.model.headline
                color: Theme.secondaryText
                font.pointSize: Theme.bodySize
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
    }

    Flow {
        Layout.leftMargin: Theme.margin * 1.5
        Layout.rightMargin: Theme.margin * 1.5
        Layout.fillWidth: true
        spacing: Theme.unit * 1.5
        Repeater {
            model: header.model.circles
            Chip {
                required property string kind
                required property string title
                required property int itemIndex
                required property int colorIndex
                required selected
                text: kind === "addCircle" ? "+ " + title : title
                colorSlot: colorIndex
                dashed: kind === "addCircle"
                // While circles are being added the keys are in the circle field, on its suggestions.
                keyboardHere: header.keyboardHere && !header.model.isEditingCircles
                Accessible.name: kind === "addCircle" ? title : qsTr("Circle %1").arg(title)
                onClicked: header.model.activateItem(itemIndex)
            }
        }
    }

    // Adding circles: type to find one (or name a new one), Return adds, Escape ends.
    ColumnLayout {
        visible: header.model.isEditingCircles
        Layout.leftMargin: Theme.margin * 1.5
        Layout.rightMargin: Theme.margin * 1.5
        Layout.fillWidth: true
        spacing: Theme.unit
        TextField {
            id: circleField
            objectName: "circleField"
            Layout.fillWidth: true
            placeholderText: qsTr("Circle name — Return adds, Escape ends")
            font.pointSize: Theme.bodySize
            text: header.model.circleQuery
            Accessible.name: qsTr("Add or remove circles")
            onTextEdited: header.model.circleQuery = text
            onVisibleChanged: if (visible) forceActiveFocus()
        }
        Flow {
            Layout.fillWidth: true
            spacing: Theme.unit * 1.5
            Repeater {
                model: header.model.circleSuggestions
                Chip {
                    required property string modelData
                    required property int index
                    text: modelData
                    selected: index === header.model.selectedSuggestion
                    keyboardHere: header.keyboardHere && header.model.isEditingCircles
                    onClicked: header.model.addCircle(modelData)
                }
            }
        }
    }

    // The pointer's shortcuts to the actions the keys reach with Control.
    Flow {
        Layout.leftMargin: Theme.margin * 1.5
        Layout.rightMargin: Theme.margin * 1.5
        Layout.bottomMargin: Theme.unit
        Layout.fillWidth: true
        spacing: Theme.unit * 2
        Repeater {
            model: [["message", qsTr("Message"), "Ctrl+M"], ["call", qsTr("Call"), "Ctrl+P"],
                    ["mail", qsTr("Mail"), "Ctrl+E"], ["logInteraction", qsTr("Log"), "Ctrl+J"]]
            PanelButton {
                required property var modelData
                text: modelData[1]
                Accessible.name: modelData[1] + ", " + modelData[2]
                onClicked: header.model.run(modelData[0])
            }
        }
        PanelButton {
            text: qsTr("More…")
            Accessible.name: qsTr("More actions, Control K")
            onClicked: header.model.showActions()
        }
    }
}
