// A check box in the panel's colours: its box stands out from the window in both looks, a checked
// one is filled with the accent, and a ring in the accent shows when it has the keyboard.
import QtQuick
import QtQuick.Controls
import Pemmo

CheckBox {
    id: box

    indicator: Rectangle {
        implicitWidth: Theme.unit * 4.5
        implicitHeight: Theme.unit * 4.5
        x: box.leftPadding
        y: box.topPadding + (box.availableHeight - height) / 2
        radius: Theme.unit
        color: box.checked ? Theme.accent : Theme.field
        border.width: box.checked ? 0 : Math.max(1, Math.round(Theme.unit / 3))
        border.color: Theme.secondaryText
        opacity: box.enabled ? 1 : 0.5
        FocusRing { shapeRadius: parent.radius; visible: box.activeFocus }
        Text {
            anchors.centerIn: parent
            visible: box.checked
            textFormat: Text.PlainText
            text: "\u2713"
            color: Theme.textOnAccent
            font.pointSize: Theme.smallSize
            font.bold: true
        }
    }
}
