// A notification centre that shows nothing: it keeps what it is asked to post, so that an
// environment in memory (the tests', the first-run practice's) never reaches the desktop.
#pragma once

#include "Updates/NotificationCenter.h"

#include <QList>
#include <QStringList>

namespace pemmo {

class InMemoryNotificationCenter : public NotificationCenter {
public:
    void setDelegate(NotificationCenterDelegate* delegate) override { m_delegate = delegate; }
    void setCategories(const QList<NotificationCategory>& categories) override { m_categories = categories; }

    // Always allowed, and every request is "shown" at once.
    void requestAuthorization(AuthorizationHandler handler) override;
    void add(const NotificationRequest& request, AddHandler handler) override;
    void deliveredIdentifiers(IdentifiersHandler handler) override;
    void pendingIdentifiers(IdentifiersHandler handler) override;
    void removeDelivered(const QStringList& identifiers) override;
    void removePending(const QStringList& identifiers) override;

    // Every request ever added, in order.
    const QList<NotificationRequest>& posted() const { return m_posted; }
    // The identifiers still "on the screen".
    const QStringList& shown() const { return m_shown; }
    NotificationCenterDelegate* delegate() const { return m_delegate; }

private:
    NotificationCenterDelegate* m_delegate = nullptr;
    QList<NotificationCategory> m_categories;
    QList<NotificationRequest> m_posted;
    QStringList m_shown;
};

} // namespace pemmo
