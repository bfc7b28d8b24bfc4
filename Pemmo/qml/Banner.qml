// The transient message strip over the bottom of the panel's screen, with its action and the
// action's key. It floats above the screen, so nothing below it moves.
import QtQuick
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: banner
    readonly property AppRouter router: Shell.router

    visible: router !== null && router.hasBanner
    implicitHeight: row.implicitHeight + Theme.unit * 4
    radius: Theme.unit * 2
    color: router ? Theme.bannerColor(router.bannerStyle) : Theme.info
    border.width: 1
    border.color: Theme.border

    Accessible.role: Accessible.AlertMessage
    Accessible.name: router ? router.bannerMessage : ""

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        spacing: Theme.gap
        Text {
            textFormat: Text.PlainText
            objectName: "bannerText"
            text: banner.router ? banner.router.bannerMessage : ""
            color: Theme.text
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        PanelButton {
            visible: banner.router !== null && banner.router.bannerActionTitle !== ""
            text: banner.router ? banner.router.bannerActionTitle : ""
            Accessible.name: text
            onClicked: banner.router.performBannerAction()
        }
        KeyHint {
            visible: banner.router !== null && banner.router.bannerActionShortcut !== ""
            keys: banner.router ? banner.router.bannerActionShortcut : ""
        }
    }
}
