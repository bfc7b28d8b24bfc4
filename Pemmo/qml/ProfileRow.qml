// One row of a person's card: a link, a way to reach them, a detail, a timeline entry, a recorded
// change or a command; selected by the keyboard, it shows the selection and says what Return does.
import QtQuick
import QtQuick.Layouts
import Pemmo

Item {
    id: row
    required property int index
    required property string rowID
    required property string kind
    required property string title
    required property string detail
    required property string trailing
    required property int itemIndex
    required property bool selected
    required property bool checked
    required property string accessibleName
    required property string section
    required property bool startsSection
    // Whether the keys move the card's selection now (the card is on top, no overlay).
    property bool keyboardHere: false

    signal activated()
    signal toggled(bool on)

    readonly property bool isCommand: kind === "command" || kind === "toggle" || kind === "photo"
    readonly property bool isBlock: kind === "about" || kind === "briefing"

    readonly property int headerHeight: startsSection ? heading.implicitHeight : 0
    implicitHeight: headerHeight + Math.max(Theme.rowHeight, content.implicitHeight + Theme.unit * 3)
    Accessible.role: kind === "optOut" ? Accessible.CheckBox : Accessible.ListItem
    Accessible.name: row.accessibleName
    Accessible.selected: row.selected
    Accessible.checked: row.checked
    Accessible.selectable: row.itemIndex >= 0
    Accessible.focused: row.selected && row.keyboardHere

    AccessibleFocus {
        when: row.selected && row.keyboardHere
        name: row.accessibleName
    }

    SectionHeader {
        id: heading
        visible: row.startsSection
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        indent: Theme.margin * 1.5
        text: row.section
    }

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: row.headerHeight
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        radius: Theme.rowRadius
        color: row.selected ? Theme.selection : (row.kind === "briefing" ? Theme.chip : "transparent")
    }

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: row.headerHeight / 2
        anchors.leftMargin: Theme.margin * 1.5
        anchors.rightMargin: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        PanelCheckBox {
            visible: row.kind === "optOut"
            checked: row.checked
            focusPolicy: Qt.NoFocus
            Accessible.name: row.title
            onToggled: row.toggled(checked)
        }

        // A detail's label sits in its own column; other rows lead with their title.
        Text {
            textFormat: Text.PlainText
            visible: row.kind === "detail" || row.kind === "change"
            text: row.title
            color: row.selected ? Theme.selectionText : Theme.secondaryText
            font.pointSize: Theme.smallSize
            elide: Text.ElideRight
            Layout.preferredWidth: Theme.metrics.averageCharacterWidth * 14
            Layout.alignment: Qt.AlignTop
        }

        ColumnLayout {
            spacing: Theme.unit * 0.5
            Layout.fillWidth: true
            Text {
                textFormat: Text.PlainText
                text: row.kind === "detail" || row.kind === "change" ? row.detail : row.title
                color: row.selected ? Theme.selectionText : (row.isCommand ? Theme.accent : Theme.text)
                font.pointSize: Theme.bodySize
                font.weight: row.kind === "briefing" ? Font.DemiBold : Font.Normal
                wrapMode: row.isBlock || row.kind === "entry" ? Text.Wrap : Text.NoWrap
                maximumLineCount: row.kind === "entry" ? 4 : (row.isBlock ? 12 : 1)
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Text {
                textFormat: Text.PlainText
                visible: row.detail !== "" && row.kind !== "detail" && row.kind !== "change"
                text: row.detail
                color: row.selected ? Theme.selectionText : Theme.secondaryText
                opacity: row.selected ? 0.85 : 1
                font.pointSize: Theme.smallSize
                wrapMode: row.kind === "briefing" ? Text.Wrap : Text.NoWrap
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }

        // The digit that opens a link is a key; a date is plain text.
        KeyHint {
            visible: row.kind === "link" && row.trailing !== ""
            keys: row.trailing
        }
        Text {
            textFormat: Text.PlainText
            visible: row.kind !== "link" && row.trailing !== ""
            text: row.trailing
            color: row.selected ? Theme.selectionText : Theme.tertiaryText
            font.pointSize: Theme.smallSize
            Layout.alignment: Qt.AlignTop
        }
    }

    MouseArea {
        anchors.fill: parent
        anchors.topMargin: row.headerHeight
        enabled: row.itemIndex >= 0
        cursorShape: Qt.PointingHandCursor
        onClicked: row.activated()
    }
}
