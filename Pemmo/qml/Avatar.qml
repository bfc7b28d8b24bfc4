// A person's picture: their photo when there is one, else their initials on a quiet disc.
import QtQuick
import Pemmo

Rectangle {
    id: avatar
    property string initials
    property string photoSource
    property bool emphasized: false
    property int size: Theme.avatarSize

    implicitWidth: size
    implicitHeight: size
    radius: size / 2
    color: emphasized ? Qt.darker(Theme.selection, Theme.dark ? 0.8 : 1.08) : Theme.chip
    clip: true
    Accessible.ignored: true

    Text {
        anchors.centerIn: parent
        visible: photo.status !== Image.Ready
        text: avatar.initials
        color: avatar.emphasized ? Theme.selectionText : Theme.secondaryText
        font.pointSize: Math.max(Theme.smallSize * 0.8, avatar.size * 0.28)
        font.weight: Font.DemiBold
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
