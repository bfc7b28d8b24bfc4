// A person's card: who they are, their circles, how to reach them, their links and details, what
// the user wrote, and what changed. Every row the pointer can use, the keyboard can select.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: screen.model.exists ? screen.model.name : qsTr("Card")

    readonly property ProfileViewModel model: Shell.profileModel(screenRoute.contactID)

    // What the selected row's keys do, so that Return never does something the footer did not say.
    hints: (model.selectedIndex >= 0 ? [] : [["↑↓", qsTr("Select")]])
           .concat(model.hintKeys, [["Ctrl+K", qsTr("Actions")], ["Esc", qsTr("Back")]])

    function describe(): var {
        return {
            name: screen.model.exists ? screen.model.name : "",
            headline: screen.model.headline,
            visible: screen.visible && screen.model.exists,
            starred: screen.model.isStarred,
            selected: screen.model.selectedAccessibleName,
            hint: screen.model.hint,
            timeline: screen.model.rows.titlesOf("entry"),
            links: screen.model.rows.titlesOf("link"),
            circles: screen.model.circles.titlesOf("circle"),
            editingCircles: screen.model.isEditingCircles
        }
    }

    Binding {
        target: screen.model
        property: "active"
        value: screen.isOnTop
    }

    KeyHandler {
        router: Shell.keys
        priority: 20
        active: screen.takesKeys
        target: screen.model
    }

    // Keep the selected row in view as the arrows move it.
    Connections {
        target: screen.model
        function onSelectionChanged() {
            const row = screen.model.selectedRow
            if (row >= 0)
                list.positionViewAtIndex(row, ListView.Contain)
            else
                list.contentY = list.originY // the very top: the header with the circles

        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.unit * 2
            ToolButton {
                text: qsTr("‹  Back")
                focusPolicy: Qt.NoFocus
                font.pointSize: Theme.bodySize
                palette.buttonText: Theme.accent
                Accessible.name: qsTr("Back, Escape")
                onClicked: screen.model.run("back")
            }
            Item { Layout.fillWidth: true }
            ToolButton {
                visible: screen.model.exists
                text: screen.model.isStarred ? "\u2605" : "\u2606"
                focusPolicy: Qt.NoFocus
                font.pointSize: Theme.titleSize
                palette.buttonText: screen.model.isStarred ? Theme.highlight : Theme.secondaryText
                Accessible.name: screen.model.isStarred ? qsTr("Unstar, Control S") : qsTr("Star, Control S")
                onClicked: screen.model.run("toggleStar")
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: !screen.model.exists
            text: qsTr("This person is no longer in the address book.")
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: Theme.margin * 3
        }

        ListView {
            id: list
            objectName: "profileRows"
            visible: screen.model.exists
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: screen.model.rows
            boundsBehavior: Flickable.StopAtBounds
            cacheBuffer: 800
            bottomMargin: Theme.margin
            ScrollBar.vertical: PanelScrollBar {}
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Card of %1").arg(screen.model.name)

            // The header grows when circles are added (the chips wrap), which moves the list's
            // origin up; a card seen from the top stays at the top, so the name stays in sight.
            property real lastOriginY: 0
            onOriginYChanged: {
                if (contentY <= lastOriginY + 0.5)
                    contentY = originY
                lastOriginY = originY
            }

            // The header scrolls with the rows. It cannot be a bound component (a list view makes
            // its header outside the file's context), so it reaches the screen by name.
            // qmllint disable unqualified
            header: ProfileHeader {
                width: list.width
                model: screen.model
                keyboardHere: screen.takesKeys
            }

            delegate: ProfileRow {
                width: ListView.view.width
                keyboardHere: screen.takesKeys && !screen.model.isEditingCircles
                onActivated: screen.model.activateItem(itemIndex)
                onToggled: function(on) { screen.model.setAICloudOptOut(on) }
            }
            // qmllint enable unqualified
        }
    }
}
