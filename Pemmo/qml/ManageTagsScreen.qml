// Manage circles: every circle with how many people carry it. The "New circle" field has the
// typing; Up and Down pick a circle; Return adds the typed circle or renames the picked one; F2
// renames; Delete asks before deleting; Control-1 … Control-0 recolour; Escape goes back.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: titleLabel.text

    readonly property ManageTagsViewModel circles: Shell.manageTags(screenRoute.text)
    // The ten circle colours by slot, as a screen reader names them (light and dark are the same hue).
    readonly property var colorNames: [qsTr("Blue"), qsTr("Green"), qsTr("Amber"), qsTr("Raspberry"), qsTr("Purple"),
                                       qsTr("Teal"), qsTr("Rust"), qsTr("Olive"), qsTr("Red"), qsTr("Grey")]

    hints: screen.circles.editingID !== ""
           ? [["↵", qsTr("Rename")], ["Esc", qsTr("Keep the name")]]
           : [["↑↓", qsTr("Select")], ["↵", qsTr("Add or rename")], ["Del", qsTr("Delete")],
              ["Ctrl+1…0", qsTr("Colour")], ["Esc", qsTr("Back")]]

    function describe(): var {
        const names = []
        for (let i = 0; i < list.count; ++i)
            names.push(screen.circles.rows[i].name + " · " + screen.circles.rows[i].subtitle)
        return { title: titleLabel.text, rows: names, selected: screen.circles.selectedIndex,
                 editing: screen.circles.editingID, error: screen.circles.errorMessage,
                 visible: screen.visible }
    }

    Component.onCompleted: newField.forceActiveFocus()
    onActiveFocusChanged: if (activeFocus && screen.circles.editingID === "") newField.forceActiveFocus()

    // A rename that ended gives the typing back to the "New circle" field.
    Connections {
        target: screen.circles
        function onEditingChanged() {
            if (screen.circles.editingID === "" && screen.isOnTop)
                newField.forceActiveFocus()
        }
    }

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys
        target: screen.circles
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        Text {
            textFormat: Text.PlainText
            id: titleLabel
            text: qsTr("Manage circles")
            color: Theme.text
            font.pointSize: Theme.titleSize
            font.weight: Font.DemiBold
            Layout.fillWidth: true
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        TextField {
            id: newField
            objectName: "newCircle"
            Layout.fillWidth: true
            text: screen.circles.newTagName
            placeholderText: qsTr("New circle")
            font.pointSize: Theme.bodySize
            Accessible.name: qsTr("New circle")
            onTextEdited: screen.circles.newTagName = text
        }
        Text {
            textFormat: Text.PlainText
            visible: screen.circles.errorMessage !== ""
            text: screen.circles.errorMessage
            color: Theme.destructive
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        Text {
            textFormat: Text.PlainText
            visible: list.count === 0
            text: qsTr("No circles yet. Type a name and press Return to add one.")
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }

        ListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: screen.circles.rows
            currentIndex: screen.circles.selectedIndex
            highlightFollowsCurrentItem: false
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Circles")
            onCurrentIndexChanged: if (currentIndex >= 0) positionViewAtIndex(currentIndex, ListView.Contain)

            delegate: Item {
                id: row
                required property var modelData
                required property int index
                readonly property bool selected: row.modelData.id === screen.circles.selectedID
                readonly property bool editing: row.modelData.id === screen.circles.editingID
                width: ListView.view.width
                // Taller while the rename field is open, so the field and the count both fit.
                implicitHeight: Math.max(Theme.rowHeight, rowContent.implicitHeight + Theme.unit * 2)
                Accessible.role: Accessible.ListItem
                Accessible.name: row.modelData.name + ", " + row.modelData.subtitle
                Accessible.selected: row.selected
                Accessible.selectable: true
                Accessible.focused: row.selected && screen.takesKeys && !row.editing
                // The keys stay in the new-circle field; the circle they select is what a screen
                // reader follows.
                AccessibleFocus {
                    when: row.selected && screen.takesKeys && !row.editing
                    name: row.Accessible.name
                }

                Rectangle {
                    anchors.fill: parent
                    radius: Theme.rowRadius
                    visible: row.selected
                    color: Theme.selection
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: screen.circles.selectedID = row.modelData.id
                    onDoubleClicked: screen.circles.startRename(row.modelData.id)
                }
                RowLayout {
                    id: rowContent
                    anchors.fill: parent
                    anchors.leftMargin: Theme.gap
                    anchors.rightMargin: Theme.gap
                    spacing: Theme.gap * 1.5
                    Rectangle {
                        Layout.preferredWidth: Theme.unit * 3
                        Layout.preferredHeight: Theme.unit * 3
                        radius: Theme.unit * 1.5
                        color: Theme.circleColor(row.modelData.colorIndex)
                    }
                    ColumnLayout {
                        spacing: 0
                        Layout.fillWidth: true
                        Text {
                            textFormat: Text.PlainText
                            visible: !row.editing
                            text: row.modelData.name
                            color: row.selected ? Theme.selectionText : Theme.text
                            font.pointSize: Theme.bodySize
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        TextField {
                            id: renameField
                            visible: row.editing
                            font.pointSize: Theme.bodySize
                            Layout.fillWidth: true
                            Accessible.name: qsTr("New name of circle %1").arg(row.modelData.name)
                            onTextEdited: screen.circles.editingName = text
                            // Opens with the current name, selected, so typing replaces it.
                            onVisibleChanged: if (visible) { text = screen.circles.editingName; forceActiveFocus(); selectAll() }
                        }
                        Text {
                            textFormat: Text.PlainText
                            text: row.modelData.subtitle
                            color: row.selected ? Theme.selectionText : Theme.secondaryText
                            font.pointSize: Theme.smallSize
                            Layout.fillWidth: true
                        }
                    }
                    // The ten colours; the row's own is ringed. Shown on the selected row. A
                    // screen reader hears the group ("Change the colour of circle Work") and
                    // then each colour by its name, the circle's own checked.
                    Row {
                        visible: row.selected && !row.editing
                        spacing: Theme.unit
                        Accessible.role: Accessible.Grouping
                        Accessible.name: row.modelData.colorButtonLabel
                        Repeater {
                            model: 10
                            delegate: Rectangle {
                                id: swatch
                                required property int index
                                width: Theme.unit * 3.5
                                height: width
                                radius: width / 2
                                color: Theme.circleColor(swatch.index)
                                border.width: swatch.index === row.modelData.colorIndex ? 2 : 0
                                border.color: Theme.text
                                Accessible.role: Accessible.RadioButton
                                Accessible.name: screen.colorNames[swatch.index]
                                Accessible.checkable: true
                                Accessible.checked: swatch.index === row.modelData.colorIndex
                                MouseArea {
                                    anchors.fill: parent
                                    onClicked: screen.circles.setColor(row.modelData.id, swatch.index)
                                }
                            }
                        }
                    }
                    PanelButton {
                        visible: row.selected && !row.editing
                        text: qsTr("Delete")
                        Accessible.name: qsTr("Delete circle %1, Delete key").arg(row.modelData.name)
                        onClicked: screen.circles.requestDelete(row.modelData.id)
                    }
                }
            }
        }
    }
}
