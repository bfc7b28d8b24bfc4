// A question before something that cannot be taken back: Return answers it, Escape declines.
import QtQuick
import QtQuick.Layouts
import Pemmo

Rectangle {
    id: card
    objectName: "confirmCard"
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

    // The keyboard leaves the screen behind the scrim (no text cursor blinks in its field); the
    // router answers the card's keys and says which button Tab has reached.
    onVisibleChanged: if (visible) forceActiveFocus()

    // The card takes the keys (Return, Escape, Tab) without a control of its own holding the focus,
    // so it is announced itself: its question, then its message; then the button Tab moves to.
    AccessibleFocus {
        when: card.visible && !card.router.confirmFocusOnCancel
        name: card.request.title
    }
    AccessibleFocus {
        when: card.visible && card.router.confirmFocusOnCancel
        item: cancelButton
        name: cancelButton.Accessible.name
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
                id: cancelButton
                objectName: "confirmCancel"
                keyboardFocus: card.router.confirmFocusOnCancel
                text: qsTr("Cancel")
                Accessible.name: qsTr("Cancel, Escape")
                onClicked: card.router.dismissOverlay()
            }
            KeyHint { keys: "Esc" }
            PanelButton {
                id: confirmButton
                objectName: "confirmAnswer"
                keyboardFocus: !card.router.confirmFocusOnCancel
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
