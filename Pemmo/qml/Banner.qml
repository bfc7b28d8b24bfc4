// The transient message strip under the panel's screen, with its action and the action's key. The
// screen gives it room, so it never covers a row or a button.
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
