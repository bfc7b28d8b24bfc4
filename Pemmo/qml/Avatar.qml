// A person's generated avatar, round, drawn for the size it is shown at.
import QtQuick

Image {
    id: avatar
    // The contact's identifier; empty shows nothing.
    property string contactId: ""
    property bool dark: false

    source: contactId === "" ? "" : "image://avatar/" + encodeURIComponent(contactId) + (dark ? "?dark" : "")
    // Asked for at the item's size; Qt Quick scales the request by the screen's pixel ratio, so the
    // picture is drawn afresh, sharp, for every size and screen.
    sourceSize.width: Math.ceil(width)
    sourceSize.height: Math.ceil(height)
    fillMode: Image.PreserveAspectFit
    smooth: true
    Accessible.ignored: true
}
