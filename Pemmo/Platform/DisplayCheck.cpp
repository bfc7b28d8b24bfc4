#include "Platform/DisplayCheck.h"

#include <QDir>
#include <QFileInfo>
#include <xcb/xcb.h>

namespace pemmo::DisplayCheck {
namespace {

bool waylandReachable(const QString& name) {
    if (QFileInfo(name).isAbsolute())
        return QFileInfo::exists(name);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(name));
}

bool x11Reachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

} // namespace

QString problem() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool wantsX11 = platform.isEmpty() || platform.startsWith(u"xcb");
    const bool wantsWayland = platform.isEmpty() || platform.startsWith(u"wayland");
    if (!wantsX11 && !wantsWayland)
        return {}; // offscreen, vnc, eglfs: Qt brings its own

    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (wantsWayland && !wayland.isEmpty() && waylandReachable(wayland))
        return {};
    const QString x11 = qEnvironmentVariable("DISPLAY");
    if (wantsX11 && !x11.isEmpty() && x11Reachable())
        return {};

    if (x11.isEmpty() && wayland.isEmpty())
        return QStringLiteral("there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)");
    QStringList tried;
    if (!wayland.isEmpty())
        tried.append(u"the Wayland display \u201C"_qs + wayland + u'\u201D');
    if (!x11.isEmpty())
        tried.append(u"the X display \u201C"_qs + x11 + u'\u201D');
    return tried.join(u" and "_qs) + u" cannot be reached"_qs;
}

} // namespace pemmo::DisplayCheck
