// The action panel: every command of the current context, narrowed by typing, with its symbol and
// its key. Destructive commands are drawn in the destructive colour.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: panel
    readonly property ActionPanelViewModel model: Shell.actionPanel

    function describe(): var {
        if (!model || !visible)
            return { items: [], selected: "", filter: "" }
        const titles = []
        for (let i = 0; i < list.count; ++i) {
            const row = list.itemAtIndex(i) as ActionRow
            if (row)
                titles.push(row.title)
        }
        const current = list.itemAtIndex(model.selectedIndex) as ActionRow
        return { items: titles, selected: current ? current.title : "", filter: field.text,
                 accessible: model.selectedAccessibleName, focused: field.activeFocus }
    }

    implicitHeight: column.implicitHeight + 2
    radius: Theme.unit * 3
    color: Theme.window
    border.color: Theme.border
    border.width: 1

    // The model is kept between openings and starts each one with an empty filter.
    onVisibleChanged: if (visible) {
        field.text = model ? model.filter : ""
        field.forceActiveFocus()
    }
    onModelChanged: {
        field.text = model ? model.filter : ""
        if (visible)
            field.forceActiveFocus()
    }
    // Escape clears the filter in the model; the field follows.
    Connections {
        target: panel.model
        function onFilterChanged() {
            if (field.text !== panel.model.filter)
                field.text = panel.model.filter
        }
    }

    KeyHandler {
        router: Shell.keys
        priority: 100
        active: panel.visible && panel.model !== null
        target: panel.model
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 1
        spacing: 0

        Text {
            textFormat: Text.PlainText
            text: panel.model ? panel.model.title : ""
            color: Theme.tertiaryText
            font.pointSize: Theme.smallSize
            font.weight: Font.DemiBold
            leftPadding: Theme.margin
            topPadding: Theme.gap
            Layout.fillWidth: true
            elide: Text.ElideRight
        }
        TextField {
            id: field
            objectName: "actionFilter"
            Layout.fillWidth: true
            leftPadding: Theme.margin
            rightPadding: Theme.margin
            placeholderText: qsTr("Search actions…")
            placeholderTextColor: Theme.tertiaryText
            color: Theme.text
            font.pointSize: Theme.bodySize
            background: Item {
                Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.border }
            }
            Accessible.name: qsTr("Search actions")
            onTextEdited: if (panel.model) panel.model.filter = text
        }
        ListView {
            id: list
            objectName: "actionList"
            Layout.fillWidth: true
            // Up to nine rows, fewer when the panel is short (large text): an item a layout does
            // not let fill keeps its preferred height and would run out of the card.
            Layout.preferredHeight: Math.min(contentHeight, Theme.rowHeight * 9)
            Layout.maximumHeight: Layout.preferredHeight
            Layout.fillHeight: true
            Layout.topMargin: Theme.unit
            Layout.bottomMargin: Theme.unit
            clip: true
            model: panel.model ? panel.model.items : null
            currentIndex: panel.model ? panel.model.selectedIndex : -1
            boundsBehavior: Flickable.StopAtBounds
            highlightFollowsCurrentItem: false
            ScrollBar.vertical: PanelScrollBar {}
            onCurrentIndexChanged: if (currentIndex >= 0) positionViewAtIndex(currentIndex, ListView.Contain)
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Actions")

            delegate: ActionRow {
                width: ListView.view.width
                keyboardHere: panel.visible
                onClicked: panel.model.perform(index)
                onHovered: panel.model.select(index)
            }
        }
        Text {
            textFormat: Text.PlainText
            visible: list.count === 0
            text: qsTr("No action matches “%1”").arg(field.text)
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            padding: Theme.margin
        }
    }
}
