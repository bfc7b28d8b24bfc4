// What every screen of the panel is: the route it shows, the key hints of the footer, and a
// description of what is on it for the end-to-end test.
import QtQuick
import QtQuick.Controls
import Pemmo

FocusScope {
    id: screen
    required property route screenRoute
    readonly property int routeKey: screenRoute.key
    // Whether this screen is the one on top (screens below keep their state but not the keys).
    readonly property bool isOnTop: StackView.status === StackView.Active
    // Whether the screen answers keys now: on top, and with no overlay above it (typing into the
    // action panel's field must not reach the screen below).
    readonly property bool takesKeys: isOnTop && Shell.router !== null && !Shell.router.hasOverlay
    // [keys, label] pairs for the footer.
    property var hints: []

    // A screen that holds the keys itself (a card, a report) is what a screen reader announces
    // when it opens; each screen names itself.
    Accessible.role: Accessible.Pane

    function describe(): var {
        return { visible: screen.visible }
    }
}
