// The root screen: the query field over the sections of people and circles it finds.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo 1.0

FocusScope {
    id: screen
    required property QtObject theme

    // The rows of the search model, flattened with their section headers (null until search
    // is wired in).
    readonly property var results: shell.results

    function describe() {
        const row = list.currentItem
        return {
            query: field.text,
            selectedID: results ? results.selectedID : "",
            selectedTitle: row && row.isRow ? row.plainTitle : "",
            rowCount: list.count,
            emptyText: emptyLabel.visible ? emptyLabel.text : "",
            focused: field.activeFocus,
            searchAvailable: results !== null && results !== undefined
        }
    }

    function openSelected() {
        if (!results || results.selectedProfileID === "")
            return false
        shell.openProfile(results.selectedProfileID)
        return true
    }

    Connections {
        target: shell.router
        function onSearchFocusRequestChanged() { field.forceActiveFocus() }
    }
    Component.onCompleted: field.forceActiveFocus()

    KeyHandler {
        router: shell.keys
        priority: 10
        active: screen.visible
        onKey: function(event) {
            if (!event.control) {
                switch (event.key) {
                case Qt.Key_Up:
                    if (results) results.moveSelection(-1)
                    return true
                case Qt.Key_Down:
                    if (results) results.moveSelection(1)
                    return true
                case Qt.Key_Return:
                case Qt.Key_Enter:
                    openSelected()
                    return true
                case Qt.Key_Escape:
                    if (shell.router.hasOverlay) {
                        shell.router.dismissOverlay()
                        return true
                    }
                    if (field.text !== "") {
                        field.clear()
                        if (results) results.query = ""
                        return true
                    }
                    return false
                }
                return false
            }
            // Control-1 to Control-5: the starred people, in their order.
            if (event.text >= "1" && event.text <= "5" && event.text.length === 1)
                return shell.openStarred(Number(event.text))
            return false
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TextField {
            id: field
            objectName: "searchField"
            Layout.fillWidth: true
            Layout.preferredHeight: 56
            leftPadding: 20
            rightPadding: 20
            focus: true
            placeholderText: "Search people, circles, notes…"
            placeholderTextColor: theme.tertiaryText
            color: theme.text
            selectionColor: theme.selection
            selectedTextColor: theme.selectionText
            font.pixelSize: 18
            background: Item {
                Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: theme.border }
            }
            text: results ? results.query : ""
            onTextEdited: if (results) results.query = text
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                objectName: "resultList"
                anchors.fill: parent
                anchors.topMargin: 6
                anchors.bottomMargin: 6
                clip: true
                model: results
                currentIndex: results ? results.selectedRow : -1
                boundsBehavior: Flickable.StopAtBounds
                highlightFollowsCurrentItem: false
                reuseItems: true
                cacheBuffer: 400
                ScrollBar.vertical: ScrollBar {}
                // Keep the selected row in view as the arrows move it.
                onCurrentIndexChanged: if (currentIndex >= 0) positionViewAtIndex(currentIndex, ListView.Contain)

                delegate: SearchRow {
                    theme: screen.theme
                    width: ListView.view.width
                    // The model ignores a pointer that did not move, so rows scrolling under a
                    // resting pointer do not take the selection from the keyboard.
                    onHovered: function(point) { if (isRow && results) results.hoverRow(index, point) }
                    onClicked: {
                        if (isRow && results) {
                            results.selectRow(index)
                            screen.openSelected()
                        }
                    }
                }
            }

            Label {
                id: emptyLabel
                objectName: "emptyText"
                anchors.centerIn: parent
                width: parent.width - 48
                horizontalAlignment: Text.AlignHCenter
                visible: list.count === 0
                text: results ? results.emptyText
                              : "Type a name to find someone."
                color: theme.secondaryText
                font.pixelSize: theme.fontSize
                wrapMode: Text.Wrap
            }
        }
    }
}
