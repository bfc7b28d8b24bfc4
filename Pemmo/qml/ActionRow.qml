// One command of the action panel: its symbol, title, subtitle and key; a destructive one in the
// destructive colour.
import QtQuick
import QtQuick.Layouts
import Pemmo

Item {
    id: row
    required property int index
    required property string title
    required property string subtitle
    required property string symbol
    required property string shortcut
    required property bool destructive
    required property bool selected
    // Whether the keys move this list's selection now.
    property bool keyboardHere: false
    signal clicked()
    signal hovered()

    implicitHeight: Theme.rowHeight
    Accessible.role: Accessible.ListItem
    Accessible.name: row.title + (row.subtitle !== "" ? ", " + row.subtitle : "")
                     + (row.shortcut !== "" ? ", " + row.shortcut : "")
    Accessible.selected: row.selected
    Accessible.selectable: true
    Accessible.focused: row.selected && row.keyboardHere

    // The keys stay in the filter field; the action they select is what a screen reader follows.
    AccessibleFocus {
        when: row.selected && row.keyboardHere
        name: row.Accessible.name
    }

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: Theme.unit * 2
        anchors.rightMargin: Theme.unit * 2
        radius: Theme.rowRadius
        visible: row.selected
        color: Theme.selection
    }
    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        spacing: Theme.gap * 1.5
        Symbol {
            name: row.symbol
            color: row.destructive ? Theme.destructive : (row.selected ? Theme.selectionText : Theme.secondaryText)
            Layout.preferredWidth: Theme.avatarSize
        }
        Text {
            textFormat: Text.PlainText
            text: row.title
            color: row.destructive ? Theme.destructive : (row.selected ? Theme.selectionText : Theme.text)
            font.pointSize: Theme.bodySize
            elide: Text.ElideRight
            Layout.fillWidth: row.subtitle === ""
        }
        Text {
            textFormat: Text.PlainText
            visible: row.subtitle !== ""
            text: row.subtitle
            color: row.selected ? Theme.selectionText : Theme.secondaryText
            font.pointSize: Theme.smallSize
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        KeyHint {
            visible: row.shortcut !== ""
            keys: row.shortcut
        }
    }
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onPositionChanged: row.hovered()
        onClicked: row.clicked()
    }
}
