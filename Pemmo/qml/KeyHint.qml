// A key and what it does, for the footer and the overlays: "Ctrl+K  Actions".
import QtQuick
import QtQuick.Layouts
import Pemmo

RowLayout {
    id: hint
    property string keys
    property string label
    spacing: Theme.unit * 1.5

    Rectangle {
        visible: hint.keys !== ""
        Layout.preferredHeight: keyText.implicitHeight + Theme.unit
        Layout.preferredWidth: Math.max(Layout.preferredHeight, keyText.implicitWidth + Theme.unit * 2)
        radius: Theme.unit
        color: Theme.chip
        border.width: 1
        border.color: Theme.border
        Text {
            textFormat: Text.PlainText
            id: keyText
            anchors.centerIn: parent
            text: hint.keys
            color: Theme.secondaryText
            font.pointSize: Theme.smallSize * 0.95
        }
    }
    // A long label (a selected row's hint can name a person and a circle) is cut at this width,
    // so the other keys stay in sight.
    property real maximumLabelWidth: Infinity
    Text {
        textFormat: Text.PlainText
        visible: hint.label !== ""
        text: hint.label
        color: Theme.tertiaryText
        font.pointSize: Theme.smallSize
        elide: Text.ElideRight
        Layout.preferredWidth: Math.min(implicitWidth, hint.maximumLabelWidth)
    }
    Accessible.role: Accessible.StaticText
    Accessible.name: hint.keys + " " + hint.label
}
