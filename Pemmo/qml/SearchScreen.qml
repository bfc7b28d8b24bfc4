// The root screen: the query field over the sections of people and circles it finds.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: qsTr("Search")

    readonly property SearchResultsModel results: Shell.results
    readonly property SearchCommands commands: Shell.searchCommands

    // On a circle, Return shows its people and Control-Return manages it.
    // The arrows and Return are offered only when there are rows to select and open.
    readonly property bool hasRows: list.count > 0
    hints: screen.results.isAsking ? [["", qsTr("Asking the AI…")], ["Ctrl+K", qsTr("Actions")]]
         : !screen.hasRows
           ? (screen.results.canAsk ? [["Ctrl+I", qsTr("Ask AI")], ["Ctrl+K", qsTr("Actions")]]
                                    : [["Ctrl+K", qsTr("Actions")]])
         : screen.results.canAsk
           ? [["↑↓", qsTr("Select")], ["↵", qsTr("Open")], ["Ctrl+I", qsTr("Ask AI")], ["Ctrl+K", qsTr("Actions")]]
         : results.selectedID.startsWith("tag:")
           ? [["↑↓", qsTr("Select")], ["↵", qsTr("Its people")], ["Ctrl+↵", qsTr("Manage")], ["Ctrl+K", qsTr("Actions")]]
           : [["↑↓", qsTr("Select")], ["↵", qsTr("Open")], ["Ctrl+K", qsTr("Actions")]]

    function describe(): var {
        const row = list.currentItem as SearchRow
        return {
            query: field.text,
            selectedID: results.selectedID,
            selectedTitle: row && row.isRow ? row.plainTitle : "",
            accessible: results.selectedAccessibleName,
            rowCount: list.count,
            emptyText: emptyLabel.visible ? emptyLabel.text : "",
            focused: field.activeFocus,
            searchAvailable: true
        }
    }

    Connections {
        target: Shell.router
        // Only while the search is the screen on top: the panel shown again over a form keeps
        // the keyboard in the form's field, rather than sending the typing into the query hidden
        // behind it.
        function onSearchFocusRequestChanged() {
            if (screen.isOnTop)
                field.forceActiveFocus()
        }
    }
    Component.onCompleted: field.forceActiveFocus()

    KeyHandler {
        router: Shell.keys
        priority: 10
        active: screen.takesKeys
        target: screen.commands
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TextField {
            id: field
            objectName: "searchField"
            Layout.fillWidth: true
            Layout.preferredHeight: implicitHeight + Theme.unit * 4
            leftPadding: Theme.margin + Theme.unit
            rightPadding: Theme.margin + Theme.unit
            focus: true
            placeholderText: qsTr("Search people, circles, notes…")
            placeholderTextColor: Theme.tertiaryText
            color: Theme.text
            selectionColor: Theme.selection
            selectedTextColor: Theme.selectionText
            font.pointSize: Theme.fieldSize
            background: Item {
                Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.border }
            }
            // Typing does not break this binding, so a query set elsewhere (Escape, a circle row)
            // shows in the field.
            text: screen.results.query
            Accessible.name: qsTr("Search")
            onTextEdited: screen.results.query = text
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                objectName: "resultList"
                anchors.fill: parent
                anchors.topMargin: Theme.unit * 1.5
                anchors.bottomMargin: Theme.unit * 1.5
                clip: true
                model: screen.results
                currentIndex: screen.results.selectedRow
                boundsBehavior: Flickable.StopAtBounds
                highlightFollowsCurrentItem: false
                reuseItems: true
                cacheBuffer: 400
                ScrollBar.vertical: PanelScrollBar {}
                Accessible.role: Accessible.List
                Accessible.name: qsTr("People")
                // Keep the selected row in view as the arrows move it, with its section's heading
                // when it is the first row of the section (at the top: the very beginning), so a
                // heading scrolled away comes back with its first row.
                function keepSelectionInView() {
                    if (currentIndex < 0)
                        return
                    const first = screen.results.firstToShowWith(currentIndex)
                    if (first === 0)
                        positionViewAtBeginning()
                    else if (first >= 0 && first !== currentIndex)
                        positionViewAtIndex(first, ListView.Contain)
                    positionViewAtIndex(currentIndex, ListView.Contain)
                }
                onCurrentIndexChanged: keepSelectionInView()
                // New rows under an unchanged selection (the list filled on opening) start in view too.
                onCountChanged: keepSelectionInView()

                delegate: SearchRow {
                    width: ListView.view.width
                    keyboardHere: screen.takesKeys
                    // The model ignores a pointer that did not move, so rows scrolling under a
                    // resting pointer do not take the selection from the keyboard.
                    onHovered: function(point) { if (isRow) screen.results.hoverRow(index, point) }
                    onClicked: {
                        if (isRow) {
                            screen.results.selectRow(index)
                            screen.commands.openSelected()
                        }
                    }
                }
            }

            Text {
                textFormat: Text.PlainText
                id: emptyLabel
                objectName: "emptyText"
                anchors.centerIn: parent
                width: parent.width - Theme.margin * 3
                horizontalAlignment: Text.AlignHCenter
                visible: list.count === 0
                text: screen.results.emptyText
                color: Theme.secondaryText
                font.pointSize: Theme.bodySize
                wrapMode: Text.Wrap
            }
        }
    }
}
