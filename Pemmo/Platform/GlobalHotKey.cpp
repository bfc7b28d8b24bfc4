#include "Platform/GlobalHotKey.h"

#include "Platform/PortalHotKey.h"
#include "Platform/X11HotKey.h"
#include "Shell/ShellLogging.h"

#include <QGuiApplication>

namespace pemmo {

GlobalHotKey::Kind GlobalHotKey::kindFor(QStringView platform, bool waylandSession) {
    if (platform.startsWith(u"wayland"))
        return Kind::Portal;
    if (platform == u"xcb")
        return waylandSession ? Kind::Portal : Kind::X11Grab;
    return Kind::None;
}

std::unique_ptr<GlobalHotKey> GlobalHotKey::forPlatform(QObject* parent) {
    const bool waylandSession = qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" ||
                                !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    switch (kindFor(QGuiApplication::platformName(), waylandSession)) {
    case Kind::X11Grab:
        return std::make_unique<X11HotKey>(parent);
    case Kind::Portal:
        return std::make_unique<PortalHotKey>(parent);
    case Kind::None:
        break;
    }
    return nullptr;
}

void GlobalHotKey::setStatus(Status status, const QString& problem) {
    if (m_status == status && m_problem == problem)
        return;
    m_status = status;
    m_problem = problem;
    if (!problem.isEmpty())
        qCCritical(lcShortcut, "%s", qUtf8Printable(problem));
    Q_EMIT statusChanged();
}

} // namespace pemmo
