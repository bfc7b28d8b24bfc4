// The panel: a card with the persistent notice line, the banner, the router's stack of screens and
// a footer of key hints, and the overlay (action panel or confirmation) above them.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

Item {
    id: root
    focus: true

    readonly property AppRouter router: Shell.router

    // The stock controls (text fields, menus, their pop-ups) draw with the panel's colours rather
    // than the desktop's, so a dark panel has no light fields. Every item below inherits these.
    palette.window: Theme.window
    palette.windowText: Theme.text
    palette.base: Theme.field
    palette.alternateBase: Theme.chip
    palette.text: Theme.text
    palette.button: Theme.chip
    palette.buttonText: Theme.text
    // The stock text fields draw their keyboard frame in the highlight: the accent shows where the
    // typing goes, which the pale row selection would not.
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.textOnAccent
    palette.placeholderText: Theme.tertiaryText
    palette.mid: Theme.border
    palette.midlight: Theme.chip
    palette.light: Theme.field
    palette.dark: Theme.border
    palette.shadow: Theme.overlayScrim
    palette.toolTipBase: Theme.chip
    palette.toolTipText: Theme.text
    readonly property PanelScreen screen: stack.currentItem as PanelScreen
    readonly property int footerHeight: footerBar.height

    // What the end-to-end test reads back: taken from the items on screen, not from the models.
    function describe(): var {
        const panel = Shell.actionPanel
        const route = router.top
        return {
            route: route.kind,
            contactID: route.contactID,
            depth: stack.depth,
            screen: root.screen ? root.screen.describe() : {},
            banner: banner.visible ? router.bannerMessage : "",
            bannerStyle: banner.visible ? router.bannerStyle : "",
            bannerAction: banner.visible ? router.bannerActionTitle : "",
            notice: notice.visible ? router.notice : "",
            overlay: router.showsActions ? "actions" : (router.showsConfirm ? "confirm" : ""),
            actions: overlay.describeActions(),
            confirm: router.showsConfirm ? router.confirmRequest.title : "",
            hotkeyProblem: Shell.hotkeyProblem,
            dark: Shell.dark,
            fontPoints: Theme.bodySize
        }
    }

    // The stack view follows the router: screens the router still has stay as they are (query,
    // selection, a half-filled form), the rest go, and new ones are made for the new routes.
    function syncStack() {
        let keep = 0
        while (keep < stack.depth && keep < router.depth) {
            const item = stack.get(keep, StackView.DontLoad) as PanelScreen
            if (!item || item.routeKey !== router.routeAt(keep).key)
                break
            ++keep
        }
        if (keep === 0)
            stack.clear(StackView.Immediate)
        else if (keep < stack.depth)
            stack.pop(stack.get(keep - 1, StackView.DontLoad), StackView.Immediate)
        for (let i = keep; i < router.depth; ++i) {
            const route = router.routeAt(i)
            stack.push(screenFor(route.kind), { screenRoute: route }, StackView.Immediate)
        }
        if (!router.hasOverlay && stack.currentItem)
            stack.currentItem.forceActiveFocus()
    }

    // Every kind of route has its screen; the search screen stands in for a kind this build
    // does not know.
    function screenFor(kind: string): Component {
        switch (kind) {
        case "profile": return profileScreen
        case "logInteraction":
        case "editInteraction": return interactionForm
        case "quickLinkForm": return quickLinkForm
        case "capture":
        case "enrich": return captureForm
        case "review": return reviewScreen
        case "contactForm": return contactForm
        case "manageTags": return manageTagsScreen
        case "momentCapture": return momentCapture
        case "diagnostics": return diagnosticsScreen
        default: return searchScreen
        }
    }

    Component.onCompleted: syncStack()
    Connections {
        target: root.router
        function onStackChanged() { root.syncStack() }
        function onOverlayChanged() {
            if (!root.router.hasOverlay && stack.currentItem)
                stack.currentItem.forceActiveFocus()
        }
    }

    Rectangle {
        id: card
        anchors.fill: parent
        radius: Theme.radius
        color: Theme.window
        border.color: Theme.border
        border.width: 1
        clip: true

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 1
            spacing: 0

            // Conditions that last (the records can only be read, …) stay until they end.
            Rectangle {
                id: notice
                visible: root.router.notice !== ""
                Layout.fillWidth: true
                implicitHeight: visible ? noticeText.implicitHeight + Theme.unit * 3 : 0
                color: Theme.warning
                Accessible.role: Accessible.AlertMessage
                Accessible.name: root.router.notice
                Text {
                    textFormat: Text.PlainText
                    id: noticeText
                    anchors.fill: parent
                    anchors.leftMargin: Theme.margin
                    anchors.rightMargin: Theme.margin
                    verticalAlignment: Text.AlignVCenter
                    text: root.router.notice
                    color: Theme.text
                    font.pointSize: Theme.smallSize
                    wrapMode: Text.Wrap
                }
            }

            StackView {
                id: stack
                Layout.fillWidth: true
                Layout.fillHeight: true
                // No animations: the panel answers within a frame.
                pushEnter: null
                pushExit: null
                popEnter: null
                popExit: null
                replaceEnter: null
                replaceExit: null
            }

            // Between the screen and the footer: the screen gives it room rather than lying under it,
            // so no row, field or button is ever hidden by a message.
            Banner {
                id: banner
                Layout.fillWidth: true
                Layout.margins: Theme.gap
            }

            Rectangle {
                id: footerBar
                Layout.fillWidth: true
                Layout.preferredHeight: footer.implicitHeight + Theme.unit * 3
                color: "transparent"
                Rectangle { anchors.top: parent.top; width: parent.width; height: 1; color: Theme.border }
                RowLayout {
                    id: footer
                    anchors.fill: parent
                    anchors.leftMargin: Theme.margin
                    anchors.rightMargin: Theme.margin
                    spacing: Theme.margin
                    Text {
                        textFormat: Text.PlainText
                        text: Shell.hotkeyProblem !== "" ? Shell.hotkeyProblem
                              : (Shell.hotkeyGlyphs !== "" ? qsTr("%1 opens Pemmo").arg(Shell.hotkeyGlyphs) : "")
                        color: Shell.hotkeyProblem !== "" ? Theme.highlight : Theme.tertiaryText
                        font.pointSize: Theme.smallSize
                        elide: Text.ElideRight
                        // Takes what the keys leave, so it gives way before any of them; cut, it
                        // would read as nonsense ("Ctrl+K opens Pe…"), so it is left out then (its
                        // place kept, which keeps the layout from changing with it). A problem
                        // with the shortcut is still shown, cut if need be.
                        Layout.fillWidth: true
                        Layout.preferredWidth: 0
                        readonly property bool fits: width + 0.5 >= implicitWidth
                        opacity: fits || Shell.hotkeyProblem !== "" ? 1 : 0
                        Accessible.ignored: opacity === 0
                    }
                    Repeater {
                        // An overlay takes the keys, so the footer says what they do there.
                        model: Shell.router.showsActions && Shell.actionPanel ? Shell.actionPanel.hints
                             : Shell.router.showsConfirm
                               ? [["↵", Shell.router.confirmFocusOnCancel ? qsTr("Cancel")
                                                                          : Shell.router.confirmRequest.confirmTitle],
                                  ["Esc", qsTr("Cancel")]]
                             : root.screen ? root.screen.hints : []
                        KeyHint {
                            required property var modelData
                            keys: modelData[0]
                            label: modelData[1]
                            maximumLabelWidth: parent ? parent.width * 0.4 : Infinity
                        }
                    }
                }
            }
        }

        OverlayHost {
            id: overlay
            anchors.fill: parent
        }
    }

    Component {
        id: searchScreen
        SearchScreen {}
    }
    Component {
        id: profileScreen
        ProfileScreen {}
    }
    Component {
        id: interactionForm
        InteractionForm {}
    }
    Component {
        id: quickLinkForm
        QuickLinkForm {}
    }
    Component {
        id: captureForm
        CaptureForm {}
    }
    Component {
        id: reviewScreen
        ReviewScreen {}
    }
    Component {
        id: contactForm
        ContactForm {}
    }
    Component {
        id: manageTagsScreen
        ManageTagsScreen {}
    }
    Component {
        id: momentCapture
        MomentCapture {}
    }
    Component {
        id: diagnosticsScreen
        DiagnosticsScreen {}
    }

    // A banner's action key from any screen, and the keys of a confirmation card.
    KeyHandler {
        router: Shell.keys
        priority: 90
        target: root.router
    }
    // The last word on a key no screen took: Escape closes the panel.
    KeyHandler {
        router: Shell.keys
        priority: -1000
        target: Shell
    }
}
