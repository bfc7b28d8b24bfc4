// The transient message strip at the top of the panel, with its action and the action's key.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: banner
    readonly property AppRouter router: Shell.router

    visible: router !== null && router.hasBanner
    implicitHeight: visible ? row.implicitHeight + Theme.unit * 4 : 0
    color: router ? Theme.bannerColor(router.bannerStyle) : Theme.info

    Accessible.role: Accessible.AlertMessage
    Accessible.name: router ? router.bannerMessage : ""

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        spacing: Theme.gap
        Text {
            objectName: "bannerText"
            text: banner.router ? banner.router.bannerMessage : ""
            color: Theme.text
            font.pointSize: Theme.smallSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        Button {
            visible: banner.router !== null && banner.router.bannerActionTitle !== ""
            text: banner.router ? banner.router.bannerActionTitle : ""
            flat: true
            focusPolicy: Qt.NoFocus
            font.pointSize: Theme.smallSize
            Accessible.name: text
            onClicked: banner.router.performBannerAction()
        }
        KeyHint {
            visible: banner.router !== null && banner.router.bannerActionShortcut !== ""
            keys: banner.router ? banner.router.bannerActionShortcut : ""
        }
    }
}
