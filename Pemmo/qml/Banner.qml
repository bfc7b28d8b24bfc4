// The transient message strip at the top of the panel.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: banner
    required property QtObject theme
    required property var router

    visible: router.hasBanner
    implicitHeight: visible ? row.implicitHeight + 16 : 0
    color: {
        switch (router.banner.style) {
        case "success": return theme.success
        case "warning": return theme.warning
        case "error": return theme.error
        default: return theme.info
        }
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        Label {
            objectName: "bannerText"
            text: router.banner.message || ""
            color: theme.text
            font.pixelSize: theme.smallFontSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        Button {
            visible: (router.banner.actionTitle || "") !== ""
            text: (router.banner.actionTitle || "") + ((router.banner.actionShortcut || "") !== "" ? "  " + router.banner.actionShortcut : "")
            flat: true
            onClicked: router.performBannerAction()
        }
    }
}
