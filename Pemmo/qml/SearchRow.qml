// One line of the results: a section header, or a person or circle with its subtitle and badge.
import QtQuick
import QtQuick.Layouts
import Pemmo

Item {
    id: row
    required property int index
    required property string kind
    required property string rowID
    required property string contactID // the person the row stands for; empty for a circle
    required property string title
    required property string plainTitle
    required property string subtitle
    required property string badge
    required property string initials
    required property string accessibleName
    required property bool selected
    required property string reason
    // Whether the keys move this list's selection now (the search field has them, no overlay).
    property bool keyboardHere: false

    readonly property bool isRow: kind !== "header"
    // A quoted memory may hold tabs and line breaks; under the name it reads as one line.
    readonly property string reasonLine: reason.replace(/\s+/g, " ")

    signal hovered(point point)
    signal clicked()

    // A heading's height comes from its font, not from its own layout: reading the text's implicit
    // height lays it out, which changed the height being worked out here (a binding loop).
    implicitHeight: !isRow ? headerMetrics.height + header.topPadding + header.bottomPadding
                           : reason !== "" ? Theme.rowHeight + reasonText.implicitHeight : Theme.rowHeight
    Accessible.role: isRow ? Accessible.ListItem : Accessible.Heading
    // The model's name already holds the subtitle and why the row matched.
    Accessible.name: row.accessibleName
    Accessible.selected: row.selected
    Accessible.selectable: row.isRow
    Accessible.focused: row.isRow && row.selected && row.keyboardHere

    // The keys stay in the search field; the row they select is what a screen reader follows.
    AccessibleFocus {
        when: row.isRow && row.selected && row.keyboardHere
        name: row.Accessible.name
    }

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: Theme.unit * 2
        anchors.rightMargin: Theme.unit * 2
        radius: Theme.rowRadius
        visible: row.isRow && row.selected
        color: Theme.selection
    }

    FontMetrics {
        id: headerMetrics
        font: header.font
    }

    SectionHeader {
        id: header
        visible: !row.isRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        indent: Theme.margin + Theme.unit
        text: row.plainTitle
    }

    RowLayout {
        visible: row.isRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: Theme.rowHeight
        anchors.leftMargin: Theme.margin + Theme.unit
        anchors.rightMargin: Theme.margin + Theme.unit
        spacing: Theme.gap * 1.5

        Avatar {
            visible: row.kind !== "tag"
            initials: row.initials
            contactId: row.contactID
            emphasized: row.selected
        }
        Rectangle {
            visible: row.kind === "tag"
            Layout.preferredWidth: Theme.avatarSize
            Layout.preferredHeight: Theme.avatarSize
            radius: Theme.unit * 2
            color: row.selected ? Qt.darker(Theme.selection, Theme.dark ? 0.8 : 1.08) : Theme.chip
            Text {
                textFormat: Text.PlainText
                anchors.centerIn: parent
                text: "#"
                color: row.selected ? Theme.selectionText : Theme.secondaryText
                font.pointSize: Theme.smallSize
                font.weight: Font.DemiBold
            }
        }
        Text {
            text: row.title
            textFormat: Text.StyledText
            color: row.selected ? Theme.selectionText : Theme.text
            font.pointSize: Theme.bodySize
            elide: Text.ElideRight
            Layout.maximumWidth: row.width * 0.5
        }
        Text {
            textFormat: Text.PlainText
            text: row.subtitle
            color: row.selected ? Theme.selectionText : Theme.secondaryText
            opacity: row.selected ? 0.85 : 1
            font.pointSize: Theme.smallSize
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        Chip {
            visible: row.badge !== ""
            text: row.badge
        }
    }

    // Why a person found by meaning matched, under the name.
    Text {
        id: reasonText
        visible: row.isRow && row.reason !== ""
        anchors.left: parent.left
        anchors.leftMargin: Theme.margin + Theme.unit + Theme.avatarSize + Theme.gap * 1.5
        anchors.right: parent.right
        anchors.rightMargin: Theme.margin + Theme.unit
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.unit
        objectName: "reasonText"
        text: row.reasonLine
        textFormat: Text.PlainText
        color: row.selected ? Theme.selectionText : Theme.secondaryText
        opacity: row.selected ? 0.8 : 1
        font.pointSize: Theme.smallSize
        font.italic: true
        elide: Text.ElideRight
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        enabled: row.isRow
        onPositionChanged: function(mouseEvent) {
            row.hovered(mapToItem(row.ListView.view, mouseEvent.x, mouseEvent.y))
        }
        onClicked: row.clicked()
    }
}
