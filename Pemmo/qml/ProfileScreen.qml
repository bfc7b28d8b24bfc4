// A person's card: who they are, how to reach them, what the user wrote, and what happened last.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Pemmo 1.0

FocusScope {
    id: screen
    required property QtObject theme
    required property string contactID

    // Re-read when the people change, so an edit elsewhere shows at once.
    readonly property var card: shell.dataVersion, shell.profileCard(contactID)
    readonly property bool known: card.name !== undefined

    function describe() {
        return { name: nameLabel.visible ? nameLabel.text : "", headline: known ? card.headline : "",
                 visible: screen.visible && nameLabel.visible }
    }

    KeyHandler {
        router: shell.keys
        priority: 20
        active: screen.visible
        onKey: function(event) {
            const back = (event.key === Qt.Key_Escape && !event.control)
                      || (event.key === Qt.Key_Backspace && !event.control)
                      || (event.key === Qt.Key_Left && event.alt)
                      || (event.key === Qt.Key_BracketLeft && event.control)
            if (back) {
                shell.router.pop()
                return true
            }
            return false
        }
    }

    component SectionTitle: Label {
        color: theme.tertiaryText
        font.pixelSize: theme.smallFontSize
        font.weight: Font.DemiBold
        font.capitalization: Font.AllUppercase
        font.letterSpacing: 0.6
        topPadding: 14
        bottomPadding: 4
    }

    component ValueRow: RowLayout {
        property string label
        property string value
        spacing: 12
        Label {
            text: label
            color: theme.secondaryText
            font.pixelSize: theme.fontSize
            Layout.preferredWidth: 80
            elide: Text.ElideRight
        }
        Label {
            text: value
            color: theme.text
            font.pixelSize: theme.fontSize
            Layout.fillWidth: true
            elide: Text.ElideRight
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            ToolButton {
                id: backButton
                text: "‹  Back"
                focusPolicy: Qt.NoFocus
                font.pixelSize: theme.fontSize
                palette.buttonText: theme.accent
                onClicked: shell.router.pop()
            }
            Item { Layout.fillWidth: true }
        }

        Label {
            visible: !screen.known
            text: "This person is no longer in the address book."
            color: theme.secondaryText
            font.pixelSize: theme.fontSize
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 40
        }

        Flickable {
            id: flick
            visible: screen.known
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: body.implicitHeight + 24
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            ColumnLayout {
                id: body
                x: 24
                width: flick.width - 48
                spacing: 2

                RowLayout {
                    spacing: 16
                    Layout.fillWidth: true
                    Rectangle {
                        width: 56; height: 56; radius: 28
                        color: theme.selection
                        Avatar {
                            anchors.fill: parent
                            contactId: screen.known ? screen.contactID : ""
                            dark: theme.dark
                        }
                        Label {
                            visible: !screen.known
                            anchors.centerIn: parent
                            text: screen.known ? card.initials : ""
                            color: theme.selectionText
                            font.pixelSize: 20
                            font.weight: Font.DemiBold
                        }
                    }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Label {
                            id: nameLabel
                            objectName: "profileName"
                            visible: screen.known
                            text: screen.known ? card.name : ""
                            color: theme.text
                            font.pixelSize: theme.titleFontSize
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            visible: screen.known && card.headline !== ""
                            text: screen.known ? card.headline : ""
                            color: theme.secondaryText
                            font.pixelSize: theme.fontSize
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                    }
                }

                Flow {
                    visible: screen.known && card.circles.length > 0
                    Layout.fillWidth: true
                    Layout.topMargin: 10
                    spacing: 6
                    Repeater {
                        model: screen.known ? card.circles : []
                        Rectangle {
                            required property string modelData
                            radius: 10
                            color: theme.chip
                            implicitWidth: chipLabel.implicitWidth + 16
                            implicitHeight: chipLabel.implicitHeight + 6
                            Label {
                                id: chipLabel
                                anchors.centerIn: parent
                                text: modelData
                                color: theme.secondaryText
                                font.pixelSize: theme.smallFontSize
                            }
                        }
                    }
                }

                SectionTitle { text: "Phone"; visible: screen.known && card.phones.length > 0 }
                Repeater {
                    model: screen.known ? card.phones : []
                    ValueRow { required property var modelData; label: modelData.label; value: modelData.value; Layout.fillWidth: true }
                }

                SectionTitle { text: "Email"; visible: screen.known && card.emails.length > 0 }
                Repeater {
                    model: screen.known ? card.emails : []
                    ValueRow { required property var modelData; label: modelData.label; value: modelData.value; Layout.fillWidth: true }
                }

                SectionTitle { text: "About"; visible: screen.known && card.about !== "" }
                Label {
                    visible: screen.known && card.about !== ""
                    text: screen.known ? card.about : ""
                    color: theme.text
                    font.pixelSize: theme.fontSize
                    wrapMode: Text.Wrap
                    lineHeight: 1.15
                    Layout.fillWidth: true
                }

                SectionTitle { text: "Timeline"; visible: screen.known && card.timeline.length > 0 }
                Repeater {
                    model: screen.known ? card.timeline : []
                    RowLayout {
                        required property var modelData
                        spacing: 12
                        Layout.fillWidth: true
                        Label {
                            text: modelData.date
                            color: theme.secondaryText
                            font.pixelSize: theme.smallFontSize
                            Layout.preferredWidth: 80
                            Layout.alignment: Qt.AlignTop
                        }
                        Label {
                            text: modelData.kind
                            color: theme.tertiaryText
                            font.pixelSize: theme.smallFontSize
                            Layout.preferredWidth: 56
                            Layout.alignment: Qt.AlignTop
                        }
                        Label {
                            text: modelData.text
                            color: theme.text
                            font.pixelSize: theme.fontSize
                            wrapMode: Text.Wrap
                            maximumLineCount: 3
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                    }
                }
                Label {
                    visible: screen.known && card.timelineCount > card.timeline.length
                    text: screen.known ? (card.timelineCount - card.timeline.length) + " earlier entries" : ""
                    color: theme.tertiaryText
                    font.pixelSize: theme.smallFontSize
                    topPadding: 4
                }
            }
        }
    }
}
