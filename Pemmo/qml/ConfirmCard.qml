// A question before something that cannot be taken back: Return answers it, Escape declines.
import QtQuick
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: card
    readonly property AppRouter router: Shell.router
    readonly property confirmRequest request: router.confirmRequest

    implicitHeight: column.implicitHeight + Theme.margin * 2
    radius: Theme.unit * 3
    color: Theme.window
    border.color: Theme.border
    border.width: 1
    Accessible.role: Accessible.Dialog
    Accessible.name: request.title
    Accessible.description: request.message
    Accessible.focused: visible

    // The card takes the keys (Return, Escape) without a control of its own holding the focus, so
    // it is announced itself: its question, then its message.
    AccessibleFocus {
        when: card.visible
        name: card.request.title
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.margin
        spacing: Theme.gap
        Text {
            textFormat: Text.PlainText
            objectName: "confirmTitle"
            text: card.request.title
            color: Theme.text
            font.pointSize: Theme.bodySize * 1.15
            font.weight: Font.DemiBold
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        Text {
            textFormat: Text.PlainText
            text: card.request.message
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        RowLayout {
            Layout.topMargin: Theme.gap
            Layout.fillWidth: true
            spacing: Theme.gap
            Item { Layout.fillWidth: true }
            PanelButton {
                text: qsTr("Cancel")
                Accessible.name: qsTr("Cancel, Escape")
                onClicked: card.router.dismissOverlay()
            }
            KeyHint { keys: "Esc" }
            PanelButton {
                text: card.request.confirmTitle
                highlighted: true
                destructive: card.request.destructive
                Accessible.name: card.request.confirmTitle + qsTr(", Return")
                onClicked: card.router.confirm()
            }
            KeyHint { keys: "↵" }
        }
    }
}
