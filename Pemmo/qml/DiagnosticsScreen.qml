// What Pemmo runs with, as `pemmo doctor` prints it: the data folder, the settings file, the
// address book folders, the store, the semantic index, the keyring and the global shortcut.
// Control-C copies it, Control-R rebuilds the semantic index, Escape goes back.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen

    readonly property DiagnosticsViewModel report: Shell.diagnostics()
    Accessible.name: titleLabel.text

    hints: [["Ctrl+C", qsTr("Copy diagnostics")], ["Ctrl+R", qsTr("Rebuild semantic index")], ["Esc", qsTr("Back")]]

    function describe(): var {
        return { title: titleLabel.text, text: screen.report.text, status: screen.report.status,
                 loading: screen.report.isLoading, visible: screen.visible }
    }

    Component.onCompleted: screen.report.startRefresh()
    // Back on top (after a screen above it closed): the facts may have changed.
    onIsOnTopChanged: if (isOnTop) screen.report.startRefresh()

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys
        target: screen.report
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.margin * 1.5
        spacing: Theme.gap * 1.5

        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.gap
            Text {
                textFormat: Text.PlainText
                id: titleLabel
                text: qsTr("Diagnostics")
                color: Theme.text
                font.pointSize: Theme.titleSize
                font.weight: Font.DemiBold
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            BusyIndicator {
                running: screen.report.isLoading || screen.report.isRebuilding
                visible: running
                implicitWidth: Theme.metrics.height * 1.5
                implicitHeight: implicitWidth
            }
        }
        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            TextArea {
                textFormat: TextEdit.PlainText
                id: lines
                objectName: "diagnosticsText"
                readOnly: true
                selectByMouse: true
                text: screen.report.text
                wrapMode: TextArea.Wrap
                font.family: "monospace"
                font.pointSize: Theme.smallSize
                color: Theme.text
                selectionColor: Theme.selection
                selectedTextColor: Theme.selectionText
                background: Rectangle {
                    color: Theme.field
                    radius: Theme.unit * 1.5
                    border.width: 1
                    border.color: Theme.border
                }
                Accessible.role: Accessible.StaticText
                Accessible.name: qsTr("Diagnostics report")
                Accessible.description: text
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.gap
            Text {
                textFormat: Text.PlainText
                text: screen.report.status
                visible: text !== ""
                color: Theme.secondaryText
                font.pointSize: Theme.smallSize
                elide: Text.ElideRight
                Layout.fillWidth: true
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
            }
            Item {
                visible: screen.report.status === ""
                Layout.fillWidth: true
            }
            PanelButton {
                text: qsTr("Rebuild semantic index")
                enabled: screen.report.canRebuild
                Accessible.name: qsTr("Rebuild semantic index, Control R")
                onClicked: screen.report.rebuildIndex()
            }
            PanelButton {
                text: qsTr("Copy diagnostics")
                highlighted: true
                Accessible.name: qsTr("Copy diagnostics, Control C")
                onClicked: screen.report.copy()
            }
        }
    }
}
