// A drop-down menu of the panel. What it shows is plain text that a screen reader reads as the
// menu's value: the stock menu shows it in a read-only edit field, which assistive technology
// presents as a second, nameless text field inside the menu. The menu is as wide as its longest
// entry, so it keeps its size as its value changes.
import QtQuick
import QtQuick.Controls
import Pemmo

ComboBox {
    id: box
    font.pointSize: Theme.bodySize

    FontMetrics {
        id: metrics
        font: box.font
    }
    readonly property real widestEntry: {
        let widest = 0
        const entries = box.model
        if (entries && entries.length !== undefined) {
            for (let i = 0; i < entries.length; ++i)
                widest = Math.max(widest, metrics.advanceWidth(String(entries[i])))
        }
        return Math.ceil(widest)
    }

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            Math.max(implicitContentWidth, widestEntry + Theme.unit * 3) + leftPadding + rightPadding)

    contentItem: Text {
        leftPadding: Theme.unit * 2
        rightPadding: Theme.unit
        text: box.displayText
        textFormat: Text.PlainText
        font: box.font
        color: box.palette.buttonText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
