#include "Platform/GlobalHotKey.h"

#include "Platform/PortalHotKey.h"
#include "Platform/X11HotKey.h"
#include "Shell/ShellLogging.h"

#include <QGuiApplication>

namespace pemmo {

std::unique_ptr<GlobalHotKey> GlobalHotKey::forPlatform(QObject* parent) {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb")
        return std::make_unique<X11HotKey>(parent);
    if (platform.startsWith(u"wayland"))
        return std::make_unique<PortalHotKey>(parent);
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
