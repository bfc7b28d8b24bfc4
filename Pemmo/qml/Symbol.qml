// A command's symbol, drawn as a character of the text font: the panel carries no icon theme.
import QtQuick
import Pemmo

Text {
    textFormat: Text.PlainText
    id: symbol
    required property string name

    readonly property var glyphs: ({
        "message": "\u2709", "phone": "\u260E", "envelope": "\u2709", "envelope.badge": "\u2709",
        "location": "\u25CE", "sparkles": "\u2726", "square.and.pencil": "\u270E", "link": "\u2197",
        "pencil": "\u270E", "pencil.line": "\u270E", "tag": "#", "star": "\u2605", "star.slash": "\u2606",
        "trash": "\u2715", "bolt": "\u26A1", "text.quote": "\u201C", "arrow.uturn.backward": "\u21B6",
        "lock.shield": "\u229B", "doc.text": "\u2263", "eraser": "\u232B", "person.badge.plus": "+",
        "person.2": "\u2687", "gearshape": "\u2699", "stethoscope": "\u2695",
        "clock.arrow.circlepath": "\u27F2",
        "play.circle": "\u25B6", "checkmark.circle.fill": "\u2714"
    })

    text: glyphs[name] !== undefined ? glyphs[name] : "\u2022"
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    font.pointSize: Theme.bodySize
    Accessible.ignored: true
}
