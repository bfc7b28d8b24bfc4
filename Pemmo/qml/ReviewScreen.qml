// The review of what the AI proposes: every change checked at first; Space or a click unchecks it,
// Control-Return applies the checked ones, Escape leaves without changing anything. When the note
// named nobody the user picks the person first.
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen

    readonly property ReviewViewModel review: Shell.review(screenRoute.key)
    Accessible.name: screen.review ? screen.review.summary : qsTr("Review")

    hints: screen.review && screen.review.needsPerson
        ? [["↵", qsTr("Choose")], ["Esc", qsTr("Cancel")]]
        : [["Space", qsTr("Check")], ["Ctrl+↵", qsTr("Apply")], ["Esc", qsTr("Cancel")]]

    function describe(): var {
        const items = screen.review ? screen.review.items : []
        return { summary: screen.review ? screen.review.summary : "",
                 needsPerson: screen.review ? screen.review.needsPerson : false,
                 items: items.map(i => ({ id: i.id, title: i.title, checked: i.checked })),
                 error: screen.review ? screen.review.error : "", visible: screen.visible }
    }

    Component.onCompleted: if (screen.review && screen.review.needsPerson) personField.forceActiveFocus()

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys && screen.review !== null
        target: screen.review
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        Text {
            textFormat: Text.PlainText
            text: screen.review ? (screen.review.personName !== ""
                  ? qsTr("%1 · %2").arg(screen.review.summary).arg(screen.review.personName)
                  : screen.review.summary) : ""
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
            text: screen.review ? qsTr("Proposed by %1. Nothing is saved until you apply.").arg(screen.review.origin) : ""
            color: Theme.secondaryText
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }

        // Who was this about? The people scroll in the room the screen has (at large text a long
        // list would otherwise run over the buttons), keeping the chosen one in view.
        ColumnLayout {
            visible: screen.review !== null && screen.review.needsPerson
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: Theme.gap
            Text {
                textFormat: Text.PlainText
                text: qsTr("Who was this about?")
                color: Theme.text
                font.pointSize: Theme.bodySize
                font.weight: Font.DemiBold
            }
            TextField {
                id: personField
                Layout.fillWidth: true
                text: screen.review ? screen.review.personQuery : ""
                placeholderText: qsTr("Type a name")
                font.pointSize: Theme.bodySize
                color: Theme.text
                placeholderTextColor: Theme.tertiaryText
                background: Rectangle {
                    color: Theme.field
                    radius: Theme.unit * 1.5
                    border.width: 1
                    border.color: personField.activeFocus ? Theme.accent : Theme.border
                }
                Accessible.name: qsTr("Who was this about?")
                onTextChanged: if (screen.review && screen.review.personQuery !== text) screen.review.personQuery = text
            }
            ListView {
                id: people
                objectName: "reviewPeople"
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: PanelScrollBar {}
                Accessible.role: Accessible.List
                Accessible.name: qsTr("People")
                model: screen.review ? screen.review.people : []
                readonly property int selectedIndex: {
                    const list = screen.review ? screen.review.people : []
                    for (let i = 0; i < list.length; ++i) {
                        if (list[i].selected)
                            return i
                    }
                    return -1
                }
                onSelectedIndexChanged: if (selectedIndex >= 0) positionViewAtIndex(selectedIndex, ListView.Contain)
                onCountChanged: if (selectedIndex >= 0) positionViewAtIndex(selectedIndex, ListView.Contain)
                delegate: Rectangle {
                    id: personRow
                    required property var modelData
                    width: ListView.view.width
                    implicitHeight: Theme.rowHeight
                    radius: Theme.rowRadius
                    color: personRow.modelData.selected ? Theme.selection : "transparent"
                    Accessible.role: Accessible.ListItem
                    Accessible.name: personRow.modelData.detail !== ""
                                     ? personRow.modelData.name + ", " + personRow.modelData.detail
                                     : personRow.modelData.name
                    Accessible.selected: personRow.modelData.selected
                    Accessible.selectable: true
                    Accessible.focused: personRow.modelData.selected && screen.takesKeys
                    AccessibleFocus {
                        when: personRow.modelData.selected && screen.takesKeys
                        name: personRow.Accessible.name
                    }
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: Theme.margin
                        anchors.rightMargin: Theme.margin
                        Text {
                            textFormat: Text.PlainText
                            text: personRow.modelData.name
                            color: personRow.modelData.selected ? Theme.selectionText : Theme.text
                            font.pointSize: Theme.bodySize
                        }
                        Text {
                            textFormat: Text.PlainText
                            text: personRow.modelData.detail
                            color: personRow.modelData.selected ? Theme.selectionText : Theme.secondaryText
                            font.pointSize: Theme.smallSize
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: screen.review.pickPerson(personRow.modelData.id)
                    }
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: screen.review !== null && !screen.review.needsPerson && screen.review.isEmpty
            text: qsTr("Nothing new to add.")
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        ListView {
            id: list
            visible: screen.review !== null && !screen.review.needsPerson
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: screen.review ? screen.review.items : []
            currentIndex: screen.review ? screen.review.selectedIndex : -1
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Proposed changes")
            delegate: Rectangle {
                id: itemRow
                required property var modelData
                required property int index
                width: ListView.view.width
                implicitHeight: Math.max(Theme.rowHeight, itemColumn.implicitHeight + Theme.unit * 3)
                radius: Theme.rowRadius
                color: modelData.selected ? Theme.selection : "transparent"
                Accessible.role: Accessible.CheckBox
                Accessible.name: modelData.accessibleName
                Accessible.checked: modelData.checked
                Accessible.selected: modelData.selected
                Accessible.selectable: true
                Accessible.focused: modelData.selected && screen.takesKeys
                AccessibleFocus {
                    when: itemRow.modelData.selected && screen.takesKeys
                    name: itemRow.modelData.accessibleName
                }
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: Theme.margin
                    anchors.rightMargin: Theme.margin
                    spacing: Theme.gap
                    PanelCheckBox {
                        checked: itemRow.modelData.checked
                        focusPolicy: Qt.NoFocus
                        Accessible.name: itemRow.modelData.title
                        onClicked: screen.review.toggle(itemRow.index)
                    }
                    ColumnLayout {
                        id: itemColumn
                        Layout.fillWidth: true
                        spacing: 0
                        Text {
                            textFormat: Text.PlainText
                            text: itemRow.modelData.title
                            color: itemRow.modelData.selected ? Theme.selectionText : Theme.text
                            font.pointSize: Theme.bodySize
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Text {
                            textFormat: Text.PlainText
                            visible: text !== ""
                            text: itemRow.modelData.detail
                            color: itemRow.modelData.selected ? Theme.selectionText : Theme.secondaryText
                            font.pointSize: Theme.smallSize
                            wrapMode: Text.Wrap
                            maximumLineCount: 4
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    z: -1
                    onClicked: screen.review.toggle(itemRow.index)
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: screen.review !== null && screen.review.error !== ""
            text: screen.review ? screen.review.error : ""
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
            Text {
                textFormat: Text.PlainText
                text: screen.review && !screen.review.needsPerson
                      ? qsTr("%1 of %2 checked").arg(screen.review.checkedCount).arg(screen.review.items.length) : ""
                color: Theme.tertiaryText
                font.pointSize: Theme.smallSize
            }
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Cancel")
                Accessible.name: qsTr("Cancel, Escape")
                onClicked: screen.review.cancel()
            }
            PanelButton {
                text: qsTr("Apply")
                highlighted: true
                enabled: screen.review !== null && !screen.review.isApplying && !screen.review.needsPerson
                Accessible.name: qsTr("Apply, Control Return")
                onClicked: screen.review.submit()
            }
        }
    }
}
