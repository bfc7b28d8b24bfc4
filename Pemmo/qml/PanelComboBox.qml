// A drop-down menu of the panel. What it shows is plain text that a screen reader reads as the
// menu's value: the stock menu shows it in a read-only edit field, which assistive technology
// presents as a second, nameless text field inside the menu.
import QtQuick
import QtQuick.Controls
import Pemmo

ComboBox {
    id: box
    font.pointSize: Theme.bodySize

    contentItem: Text {
        leftPadding: Theme.unit * 2
        rightPadding: Theme.unit
        text: box.displayText
        textFormat: Text.PlainText
        font: box.font
        color: box.palette.buttonText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
