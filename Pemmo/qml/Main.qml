// The panel: a rounded card with the current screen, a banner strip on top of it, and a footer
// with the shortcut hints.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo 1.0

Item {
    id: root
    focus: true

    readonly property var router: shell.router
    readonly property string route: router.top.kind
    readonly property string contactID: router.top.contactID

    // The palette, light and dark. Quiet neutrals, one accent; contrast kept at 4.5:1 or better
    // for body text in both.
    readonly property QtObject theme: QtObject {
        readonly property bool dark: shell.dark
        readonly property color window: dark ? "#1f2023" : "#fbfbfc"
        readonly property color border: dark ? "#3a3b40" : "#d9dade"
        readonly property color text: dark ? "#ececef" : "#1c1d21"
        readonly property color secondaryText: dark ? "#a2a4ab" : "#5d6068"
        readonly property color tertiaryText: dark ? "#7c7f87" : "#868992"
        readonly property color selection: dark ? "#2f4a7a" : "#dde7fb"
        readonly property color selectionText: dark ? "#ffffff" : "#10244d"
        readonly property color hover: dark ? "#2a2b30" : "#f0f1f4"
        readonly property color accent: dark ? "#7aa7ff" : "#2f62d6"
        readonly property color highlight: dark ? "#ffd27a" : "#a34f00"
        readonly property color chip: dark ? "#2c2e34" : "#eceef2"
        readonly property color field: dark ? "#26272b" : "#ffffff"
        readonly property color info: dark ? "#2b3a55" : "#e4ecfb"
        readonly property color success: dark ? "#24442f" : "#e2f3e6"
        readonly property color warning: dark ? "#4d3d1d" : "#fdf0d5"
        readonly property color error: dark ? "#532728" : "#fbe3e2"
        // Rounded only where the corners outside them can be see-through.
        readonly property int radius: shell.translucent ? 12 : 0
        readonly property int fontSize: 14
        readonly property int smallFontSize: 12
        readonly property int titleFontSize: 20
    }

    // What the end-to-end test reads back: taken from the items on screen, not from the models.
    function describe() {
        const screen = stack.item
        return {
            route: root.route,
            contactID: root.contactID,
            screen: screen ? screen.describe() : {},
            banner: router.hasBanner ? router.banner.message : "",
            hotkeyProblem: shell.hotkeyProblem,
            storeProblem: storeProblem.visible ? storeProblemText.text : "",
            dark: shell.dark
        }
    }

    Rectangle {
        id: card
        anchors.fill: parent
        radius: theme.radius
        color: theme.window
        border.color: theme.border
        border.width: 1
        clip: true

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 1
            spacing: 0

            Banner {
                Layout.fillWidth: true
                theme: root.theme
                router: root.router
            }

            // Why changes cannot be saved, for as long as that lasts (the banner above comes and goes).
            Rectangle {
                id: storeProblem
                Layout.fillWidth: true
                visible: shell.storeProblem !== ""
                implicitHeight: visible ? storeProblemText.implicitHeight + 16 : 0
                color: theme.error
                Label {
                    id: storeProblemText
                    objectName: "storeProblemText"
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    verticalAlignment: Text.AlignVCenter
                    text: shell.storeProblem
                    color: theme.text
                    font.pixelSize: theme.smallFontSize
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.AlertMessage
                }
            }

            Loader {
                id: stack
                Layout.fillWidth: true
                Layout.fillHeight: true
                sourceComponent: root.route === "profile" ? profileScreen : searchScreen
                onLoaded: item.forceActiveFocus()
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 30
                color: "transparent"
                Rectangle { anchors.top: parent.top; width: parent.width; height: 1; color: theme.border }
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    spacing: 16
                    Label {
                        text: shell.hotkeyProblem !== "" ? shell.hotkeyProblem
                              : (shell.hotkeyGlyphs !== "" ? shell.hotkeyGlyphs + " to open or close Pemmo" : "")
                        color: shell.hotkeyProblem !== "" ? theme.highlight : theme.tertiaryText
                        font.pixelSize: theme.smallFontSize
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Label {
                        text: root.route === "profile" ? "Esc  Back" : "↑↓  Select    ↵  Open"
                        color: theme.tertiaryText
                        font.pixelSize: theme.smallFontSize
                    }
                }
            }
        }
    }

    Component {
        id: searchScreen
        SearchScreen { theme: root.theme }
    }
    Component {
        id: profileScreen
        ProfileScreen { theme: root.theme; contactID: root.contactID }
    }

    // The last word on a key no screen took: Escape closes the panel.
    KeyHandler {
        router: shell.keys
        priority: -1000
        onKey: function(event) {
            if (event.key === Qt.Key_Escape && !event.control) {
                shell.hidePanel()
                return true
            }
            return false
        }
    }
}
