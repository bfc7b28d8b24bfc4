// A push button in the panel's colours, light or dark; the highlighted one is the default answer,
// in the destructive colour when it destroys something.
import QtQuick
import QtQuick.Controls
import Pemmo

Button {
    id: button
    property bool destructive: false
    // Drawn with a ring around it: the button the keyboard is on, whether it holds the focus itself
    // or a model answers the keys for it (a confirmation card's buttons).
    property bool keyboardFocus: button.visualFocus

    focusPolicy: Qt.NoFocus
    font.pointSize: Theme.smallSize
    padding: Theme.unit * 1.5
    leftPadding: Theme.unit * 3
    rightPadding: Theme.unit * 3
    Accessible.role: Accessible.Button

    contentItem: Text {
        textFormat: Text.PlainText
        text: button.text
        font: button.font
        color: button.highlighted ? Theme.textOnAccent : Theme.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitWidth: Theme.unit * 14
        implicitHeight: Theme.metrics.height + Theme.unit * 3
        radius: Theme.unit * 1.5
        color: button.highlighted ? (button.destructive ? Theme.destructive : Theme.accent)
                                  : (button.down ? Theme.selection : Theme.chip)
        border.width: button.highlighted ? 0 : 1
        border.color: Theme.border
        opacity: button.enabled ? 1 : 0.5
        FocusRing { shapeRadius: parent.radius; visible: button.keyboardFocus }
    }
}
