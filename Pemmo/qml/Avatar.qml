// A person's picture: their photo when there is one, else the figure generated from their
// identifier, else their initials on a quiet disc.
import QtQuick
import Pemmo

Rectangle {
    id: avatar
    property string initials
    property string photoSource
    // The contact's identifier, for the generated figure; empty shows the initials instead.
    property string contactId
    property bool emphasized: false
    property int size: Theme.avatarSize

    readonly property bool hasPhoto: photo.status === Image.Ready

    implicitWidth: size
    implicitHeight: size
    radius: size / 2
    color: emphasized ? Qt.darker(Theme.selection, Theme.dark ? 0.8 : 1.08) : Theme.chip
    clip: true
    Accessible.ignored: true

    Text {
        textFormat: Text.PlainText
        anchors.centerIn: parent
        visible: !avatar.hasPhoto && figure.status !== Image.Ready
        text: avatar.initials
        color: avatar.emphasized ? Theme.selectionText : Theme.secondaryText
        font.pointSize: Math.max(Theme.smallSize * 0.8, avatar.size * 0.28)
        font.weight: Font.DemiBold
    }
    Image {
        id: figure
        anchors.fill: parent
        visible: !avatar.hasPhoto && status === Image.Ready
        // Asked for at the item's size; Qt Quick scales the request by the screen's pixel ratio,
        // so the figure is drawn afresh, sharp, at every scale.
        source: avatar.contactId === "" || avatar.hasPhoto || photo.status === Image.Loading
                ? "" : "image://avatar/" + encodeURIComponent(avatar.contactId) + (Theme.dark ? "?dark" : "")
        sourceSize.width: avatar.size
        sourceSize.height: avatar.size
        fillMode: Image.PreserveAspectFit
        smooth: true
    }
    Image {
        id: photo
        anchors.fill: parent
        source: avatar.photoSource
        sourceSize.width: avatar.size * 2
        sourceSize.height: avatar.size * 2
        fillMode: Image.PreserveAspectCrop
        visible: status === Image.Ready
        cache: false
    }
}
