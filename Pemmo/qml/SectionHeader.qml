// The small capital heading above a group of rows.
import QtQuick
import Pemmo

Text {
    textFormat: Text.PlainText
    property int indent: Theme.margin
    leftPadding: indent
    topPadding: Theme.unit * 3
    bottomPadding: Theme.unit
    color: Theme.tertiaryText
    font.pointSize: Theme.smallSize
    font.weight: Font.DemiBold
    font.capitalization: Font.AllUppercase
    font.letterSpacing: 0.6
    elide: Text.ElideRight
    Accessible.role: Accessible.Heading
    Accessible.name: text
}
