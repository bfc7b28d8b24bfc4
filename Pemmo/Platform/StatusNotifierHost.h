// Whether the desktop shows tray icons as StatusNotifierItems: then Qt hands the icon, its tooltip
// and its notices to the desktop over D-Bus instead of drawing them itself (an XEmbed tray).
#pragma once

#include <QDBusConnection>
#include <chrono>

namespace pemmo::StatusNotifierHost {

// True when the session's StatusNotifierWatcher says a host (a panel showing the items) is
// registered, which is what Qt asks before it picks the D-Bus tray; false without a watcher, or
// when it does not answer within `timeout`.
bool isRegistered(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                  std::chrono::milliseconds timeout = std::chrono::seconds(1));

} // namespace pemmo::StatusNotifierHost
