#include "Platform/DesktopSearchService.h"

#include "Platform/GnomeSearchProvider.h"
#include "Platform/KRunnerRunner.h"

#include <QDBusConnectionInterface>
#include <QDBusError>

namespace pemmo {

DesktopSearchService::DesktopSearchService(DesktopSearchBackend& backend, QDBusConnection bus,
                                           QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_gnome(std::make_unique<GnomeSearchProvider>(backend))
    , m_krunner(std::make_unique<KRunnerRunner>(backend)) {}

DesktopSearchService::~DesktopSearchService() {
    if (!m_registered)
        return;
    m_bus.unregisterService(serviceName());
    m_bus.unregisterObject(gnomePath());
    m_bus.unregisterObject(krunnerPath());
}

bool DesktopSearchService::start() {
    if (m_registered)
        return true;
    m_error.clear();
    if (!m_bus.isConnected()) {
        m_error = u"no session bus: "_qs + m_bus.lastError().message();
        return false;
    }
    if (!m_bus.registerObject(gnomePath(), m_gnome.get(), QDBusConnection::ExportAllSlots) ||
        !m_bus.registerObject(krunnerPath(), m_krunner.get(), QDBusConnection::ExportAllSlots)) {
        m_error = u"could not publish the search objects: "_qs + m_bus.lastError().message();
        m_bus.unregisterObject(gnomePath());
        m_bus.unregisterObject(krunnerPath());
        return false;
    }
    // Another Pemmo (of another data folder) may already answer; the first one keeps the name.
    const auto reply =
        m_bus.interface()->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_error = u"the name "_qs + serviceName() + u" is taken"_qs +
                  (reply.isValid() ? QString() : u": "_qs + reply.error().message());
        m_bus.unregisterObject(gnomePath());
        m_bus.unregisterObject(krunnerPath());
        return false;
    }
    m_registered = true;
    return true;
}

} // namespace pemmo
