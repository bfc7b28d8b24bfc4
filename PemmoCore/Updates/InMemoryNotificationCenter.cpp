#include "Updates/InMemoryNotificationCenter.h"

namespace pemmo {

void InMemoryNotificationCenter::requestAuthorization(AuthorizationHandler handler) {
    handler(true, std::nullopt);
}

void InMemoryNotificationCenter::add(const NotificationRequest& request, AddHandler handler) {
    m_posted.append(request);
    m_shown.removeAll(request.identifier);
    m_shown.append(request.identifier);
    handler(std::nullopt);
}

void InMemoryNotificationCenter::deliveredIdentifiers(IdentifiersHandler handler) {
    handler(m_shown);
}

void InMemoryNotificationCenter::pendingIdentifiers(IdentifiersHandler handler) {
    // Nothing waits: a request is shown as it is added.
    handler({});
}

void InMemoryNotificationCenter::removeDelivered(const QStringList& identifiers) {
    for (const QString& identifier : identifiers)
        m_shown.removeAll(identifier);
}

void InMemoryNotificationCenter::removePending(const QStringList&) {}

} // namespace pemmo
