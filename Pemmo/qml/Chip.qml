// A small rounded label: a circle on a card, a badge on a row. Selected by the keyboard it shows
// the selection colour; a coloured dot tells the circle's colour.
import QtQuick
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: chip
    property string text
    property int colorSlot: -1
    property bool selected: false
    property bool dashed: false
    // Whether the keys move a selection through these chips now.
    property bool keyboardHere: false
    signal clicked()

    implicitWidth: row.implicitWidth + Theme.unit * 4
    implicitHeight: row.implicitHeight + Theme.unit * 1.5
    radius: height / 2
    color: selected ? Theme.selection : (dashed ? "transparent" : Theme.chip)
    border.width: dashed || selected ? 1 : 0
    border.color: selected ? Theme.accent : Theme.border

    Accessible.role: Accessible.Button
    Accessible.name: chip.text
    Accessible.selected: chip.selected
    Accessible.focused: chip.selected && chip.keyboardHere

    AccessibleFocus {
        when: chip.selected && chip.keyboardHere
        name: chip.Accessible.name
    }

    RowLayout {
        id: row
        anchors.centerIn: parent
        spacing: Theme.unit * 1.5
        Rectangle {
            visible: chip.colorSlot >= 0
            Layout.preferredWidth: Theme.unit * 2
            Layout.preferredHeight: Theme.unit * 2
            radius: Theme.unit
            color: Theme.circleColor(chip.colorSlot)
        }
        Text {
            textFormat: Text.PlainText
            text: chip.text
            color: chip.selected ? Theme.selectionText : Theme.secondaryText
            font.pointSize: Theme.smallSize
        }
    }
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: chip.clicked()
    }
}
