// One line of the results: a section header, or a person or circle with its subtitle and badge.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Item {
    id: row
    required property QtObject theme
    required property int index
    required property string kind
    required property string rowID
    required property string title
    required property string plainTitle
    required property string subtitle
    required property string badge
    required property string initials
    required property bool selected
    required property string reason

    readonly property bool isRow: kind !== "header"

    signal hovered(point point)
    signal clicked()

    implicitHeight: !isRow ? 28 : reason !== "" ? 60 : 44

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        radius: 8
        visible: row.isRow && row.selected
        color: theme.selection
    }

    Label {
        visible: !row.isRow
        anchors.left: parent.left
        anchors.leftMargin: 20
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 4
        text: row.plainTitle
        color: theme.tertiaryText
        font.pixelSize: theme.smallFontSize
        font.weight: Font.DemiBold
    }

    RowLayout {
        visible: row.isRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 44
        anchors.leftMargin: 18
        anchors.rightMargin: 20
        spacing: 12

        Rectangle {
            Layout.preferredWidth: 28
            Layout.preferredHeight: 28
            radius: row.kind === "tag" ? 7 : 14
            color: row.selected ? Qt.darker(theme.selection, theme.dark ? 0.8 : 1.08) : theme.chip
            Avatar {
                anchors.fill: parent
                visible: row.kind === "person"
                contactId: row.kind === "person" ? row.rowID : ""
                dark: row.theme.dark
            }
            Label {
                visible: row.kind !== "person"
                anchors.centerIn: parent
                text: row.kind === "tag" ? "#" : row.initials
                color: row.selected ? theme.selectionText : theme.secondaryText
                font.pixelSize: 11
                font.weight: Font.DemiBold
            }
        }
        Label {
            text: row.title
            textFormat: Text.StyledText
            color: row.selected ? theme.selectionText : theme.text
            font.pixelSize: theme.fontSize
            elide: Text.ElideRight
            Layout.maximumWidth: row.width * 0.5
        }
        Label {
            text: row.subtitle
            color: row.selected ? theme.selectionText : theme.secondaryText
            opacity: row.selected ? 0.8 : 1
            font.pixelSize: theme.smallFontSize
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        Rectangle {
            visible: row.badge !== ""
            radius: 9
            color: theme.chip
            Layout.preferredHeight: 18
            Layout.preferredWidth: badgeLabel.implicitWidth + 14
            Label {
                id: badgeLabel
                anchors.centerIn: parent
                text: row.badge
                color: theme.secondaryText
                font.pixelSize: 11
            }
        }
    }

    // Why a person found by meaning matched, under the name.
    Label {
        visible: row.isRow && row.reason !== ""
        anchors.left: parent.left
        anchors.leftMargin: 58
        anchors.right: parent.right
        anchors.rightMargin: 20
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        text: row.reason
        color: row.selected ? row.theme.selectionText : row.theme.secondaryText
        opacity: row.selected ? 0.8 : 1
        font.pixelSize: row.theme.smallFontSize
        font.italic: true
        elide: Text.ElideRight
        Accessible.name: row.reason
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: row.isRow
        onPositionChanged: function(mouseEvent) {
            row.hovered(mapToItem(row.ListView.view, mouseEvent.x, mouseEvent.y))
        }
        onClicked: row.clicked()
    }
}
