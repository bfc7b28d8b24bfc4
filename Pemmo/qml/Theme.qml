// The panel's look in one place: the light and dark palettes, the type scale taken from the
// desktop's font, and the spacing that follows it, so the panel reads the same at any scale.
pragma Singleton
import QtQuick
import Pemmo

QtObject {
    id: theme

    readonly property bool dark: Shell.dark

    // Quiet neutrals and one accent; body text keeps a contrast of 4.5:1 or better in both.
    readonly property color window: dark ? "#1f2023" : "#fbfbfc"
    readonly property color border: dark ? "#3a3b40" : "#d9dade"
    readonly property color text: dark ? "#ececef" : "#1c1d21"
    readonly property color secondaryText: dark ? "#a9abb2" : "#55585f"
    readonly property color tertiaryText: dark ? "#8a8d95" : "#6b6e76"
    readonly property color selection: dark ? "#2f4a7a" : "#dde7fb"
    readonly property color selectionText: dark ? "#ffffff" : "#10244d"
    readonly property color hover: dark ? "#2a2b30" : "#f0f1f4"
    readonly property color accent: dark ? "#7aa7ff" : "#2458c9"
    readonly property color highlight: dark ? "#ffd27a" : "#a34f00"
    readonly property color destructive: dark ? "#ff8a80" : "#b3261e"
    // Text on the accent and destructive fills: both are light in the dark look.
    readonly property color textOnAccent: dark ? "#14161b" : "#ffffff"
    readonly property color chip: dark ? "#2c2e34" : "#eceef2"
    readonly property color field: dark ? "#26272b" : "#ffffff"
    readonly property color overlayScrim: dark ? "#99000000" : "#66000000"
    readonly property color info: dark ? "#2b3a55" : "#e4ecfb"
    readonly property color success: dark ? "#24442f" : "#e2f3e6"
    readonly property color warning: dark ? "#4d3d1d" : "#fdf0d5"
    readonly property color error: dark ? "#532728" : "#fbe3e2"

    // The ten circle colours, by slot.
    readonly property var circleColors: dark
        ? ["#5b8def", "#4fb38a", "#e3a13b", "#d46a8c", "#9b7be0", "#3fb0c9", "#c9804f", "#8fa35a", "#d0675f", "#8a8f99"]
        : ["#2f62d6", "#1f8a5f", "#b8740f", "#b3406a", "#7150c4", "#16819b", "#a5592a", "#61792c", "#b2413a", "#5f646e"]
    function circleColor(slot: int): color {
        return circleColors[Math.max(0, Math.min(9, slot))]
    }
    function bannerColor(style: string): color {
        switch (style) {
        case "success": return success
        case "warning": return warning
        case "error": return error
        default: return info
        }
    }

    // Type: sizes in points from the desktop's font, so they follow its size and the screen's scale.
    // A FontMetrics left alone measures the application's font, which is the desktop's.
    readonly property FontMetrics systemMetrics: FontMetrics {}
    readonly property real basePoints: systemMetrics.font.pointSize > 0 ? systemMetrics.font.pointSize : 10
    readonly property real bodySize: basePoints * 1.05
    readonly property real smallSize: basePoints * 0.9
    readonly property real fieldSize: basePoints * 1.35
    readonly property real titleSize: basePoints * 1.5

    readonly property FontMetrics metrics: FontMetrics {
        font.pointSize: theme.bodySize
    }
    // Spacing follows the text: a quarter of a line, and the common multiples of it.
    readonly property int unit: Math.max(2, Math.round(metrics.height / 4))
    readonly property int gap: unit * 2
    readonly property int margin: unit * 4
    readonly property int rowHeight: Math.round(metrics.height * 2.3)
    readonly property int avatarSize: Math.round(metrics.height * 1.6)
    readonly property int largeAvatarSize: Math.round(metrics.height * 3.2)

    // Rounded only where the corners outside them can be see-through.
    readonly property int radius: Shell.translucent ? unit * 3 : 0
    readonly property int rowRadius: unit * 2
}
