// The D-Bus names of the XDG desktop portal, for every part of Pemmo that talks to it.
#pragma once

#include <QString>

namespace pemmo::Portal {

// The portal's bus name and the one object that serves its interfaces.
inline QString service() {
    return QStringLiteral("org.freedesktop.portal.Desktop");
}
inline QString path() {
    return QStringLiteral("/org/freedesktop/portal/desktop");
}

// The path of the Request object that answers the call made with `token` by the connection named
// `uniqueName` (":1.42" answers on ".../request/1_42/<token>").
inline QString requestPath(const QString& uniqueName, const QString& token) {
    QString sender = uniqueName.mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' + token;
}

// Interfaces.
inline QString globalShortcutsInterface() {
    return QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
}
inline QString settingsInterface() {
    return QStringLiteral("org.freedesktop.portal.Settings");
}
inline QString requestInterface() {
    return QStringLiteral("org.freedesktop.portal.Request");
}
inline QString sessionInterface() {
    return QStringLiteral("org.freedesktop.portal.Session");
}

// The settings namespace that holds the desktop's appearance, and its colour scheme key.
inline QString appearanceNamespace() {
    return QStringLiteral("org.freedesktop.appearance");
}
inline QString colorSchemeKey() {
    return QStringLiteral("color-scheme");
}

} // namespace pemmo::Portal
