// What sits above the screens: the action panel or a confirmation card, over a scrim that leaves
// the screen below exactly where it was.
import QtQuick
import Pemmo

Item {
    id: host
    readonly property AppRouter router: Shell.router
    visible: router.hasOverlay

    function describeActions(): var {
        return actions.describe()
    }

    Rectangle {
        anchors.fill: parent
        radius: Theme.radius
        color: Theme.overlayScrim
        MouseArea {
            anchors.fill: parent
            onClicked: host.router.dismissOverlay()
        }
    }

    ActionPanel {
        id: actions
        visible: host.router.showsActions
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: Theme.margin * 2
        width: Math.min(parent.width - Theme.margin * 2, Theme.metrics.averageCharacterWidth * 70)
        height: Math.min(parent.height - Theme.margin * 4, implicitHeight)
    }

    ConfirmCard {
        visible: host.router.showsConfirm
        anchors.centerIn: parent
        width: Math.min(parent.width - Theme.margin * 2, Theme.metrics.averageCharacterWidth * 60)
    }
}
