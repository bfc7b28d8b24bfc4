// A scroll bar in the panel's colours. Its thumb shows whenever there is more than fits, not only
// while scrolling: the keyboard moves the view without touching the bar, and the thumb is what
// says there is more below. It stands out from the window in both looks.
import QtQuick
import QtQuick.Controls
import Pemmo

ScrollBar {
    id: bar

    policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
    padding: Math.max(1, Math.round(Theme.unit / 2))
    Accessible.ignored: true

    contentItem: Rectangle {
        implicitWidth: Theme.unit * 1.5
        implicitHeight: Theme.unit * 1.5
        radius: width / 2
        color: Theme.tertiaryText
        opacity: bar.pressed || bar.hovered ? 0.9 : 0.6
    }
    background: Item {}
}
