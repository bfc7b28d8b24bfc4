// The screens that come with later versions (the contact form, circles, diagnostics, the AI
// screens, Moments): the route is real, and the screen says what will be here. Escape goes back.
import QtQuick
import QtQuick.Layouts
import Pemmo

PanelScreen {
    id: screen
    Accessible.name: screen.title

    readonly property string suggestedName: screenRoute.createsContact ? Shell.takePendingSuggestedName() : ""
    readonly property string person: Shell.displayName(screenRoute.contactID)

    readonly property string title: {
        switch (screenRoute.kind) {
        case "contactForm": return screenRoute.createsContact ? qsTr("New contact") : qsTr("Edit %1").arg(person)
        case "manageTags": return qsTr("Manage circles")
        case "diagnostics": return qsTr("Diagnostics")
        case "capture": return qsTr("Quick capture")
        case "enrich": return qsTr("Enrich from text")
        case "review": return qsTr("Review suggestions")
        case "momentCapture": return qsTr("Write the memory")
        default: return screenRoute.kind
        }
    }
    readonly property string message: {
        switch (screenRoute.kind) {
        case "contactForm":
            return screenRoute.createsContact && suggestedName !== ""
                ? qsTr("The contact form comes with the next version of Pemmo. It will start with the name “%1”.").arg(suggestedName)
                : qsTr("The contact form comes with the next version of Pemmo.")
        case "manageTags": return qsTr("Managing circles from the panel comes with the next version of Pemmo.")
        case "diagnostics": return qsTr("Diagnostics come with a later version of Pemmo. Until then, run “pemmo doctor” in a terminal.")
        default: return qsTr("This screen comes with the AI features in a later version of Pemmo.")
        }
    }

    hints: [["Esc", qsTr("Back")]]

    function describe(): var {
        return { title: screen.title, message: screen.message, visible: screen.visible }
    }

    KeyHandler {
        router: Shell.keys
        priority: 30
        active: screen.takesKeys
        handleKey: function(event) {
            if (event.key === Qt.Key_Escape || (event.key === Qt.Key_Backspace && !event.control)) {
                Shell.router.pop()
                return true
            }
            return false
        }
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - Theme.margin * 4
        spacing: Theme.gap
        Text {
            textFormat: Text.PlainText
            text: screen.title
            color: Theme.text
            font.pointSize: Theme.titleSize
            font.weight: Font.DemiBold
            Layout.alignment: Qt.AlignHCenter
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            textFormat: Text.PlainText
            text: screen.message
            color: Theme.secondaryText
            font.pointSize: Theme.bodySize
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
    }
}
