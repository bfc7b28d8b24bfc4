// The ring in the accent colour around a control that has the keyboard, drawn just outside the
// rounded rectangle it is put in, whose corner radius is `shapeRadius`.
import QtQuick
import Pemmo

Rectangle {
    required property real shapeRadius
    readonly property real gap: Math.max(2, Math.round(Theme.unit * 0.75))
    anchors.fill: parent
    anchors.margins: -gap
    radius: shapeRadius + gap
    color: "transparent"
    border.width: Math.max(2, Math.round(Theme.unit / 2))
    border.color: Theme.accent
}
