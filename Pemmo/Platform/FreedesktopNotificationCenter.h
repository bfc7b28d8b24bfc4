// The desktop's notifications over D-Bus (org.freedesktop.Notifications) as a notification
// centre: a request's identifier is carried by the id the server gives its notification, and the
// category's actions become the notification's actions. Which ids this session's Pemmo posted is
// kept in the runtime folder, so a later launch can take down and recognise what an earlier left.
#pragma once

#include "Updates/NotificationCenter.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>
#include <optional>

namespace pemmo {

class FreedesktopNotificationCenter : public QObject, public NotificationCenter {
    Q_OBJECT

public:
    static QString defaultStateFile();

    // `service` is the bus name of the notification server (tests run their own).
    explicit FreedesktopNotificationCenter(QDBusConnection bus = QDBusConnection::sessionBus(),
                                           QString stateFile = defaultStateFile(),
                                           QString service = u"org.freedesktop.Notifications"_qs,
                                           QObject* parent = nullptr);

    void setDelegate(NotificationCenterDelegate* delegate) override { m_delegate = delegate; }
    void setCategories(const QList<NotificationCategory>& categories) override { m_categories = categories; }
    void requestAuthorization(AuthorizationHandler handler) override;
    void add(const NotificationRequest& request, AddHandler handler) override;
    void deliveredIdentifiers(IdentifiersHandler handler) override;
    void pendingIdentifiers(IdentifiersHandler handler) override;
    void removeDelivered(const QStringList& identifiers) override;
    void removePending(const QStringList& identifiers) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    // The error's description, or absent when the server answered.
    using CapabilitiesHandler = std::function<void(const std::optional<QString>& error)>;

    // GetCapabilities, noting whether the server reads bodies as markup; a caller arriving while
    // a question is in flight is answered by that one.
    void askCapabilities(CapabilitiesHandler handler);
    void present(const NotificationRequest& request, AddHandler handler);
    void notify(const NotificationRequest& request, const AddHandler& handler);
    void closeNotification(uint id);
    void load();
    void save() const;

    QDBusConnection m_bus;
    const QString m_stateFile;
    const QString m_service;
    NotificationCenterDelegate* m_delegate = nullptr;
    QList<NotificationCategory> m_categories;
    // Requests handed over but not yet on the screen.
    QSet<QString> m_pending;
    // Notifications on the screen, by the server's id; includes an earlier launch's.
    QHash<uint, QString> m_delivered;
    // Whether the server reads bodies as markup (its "body-markup" capability), once it has said;
    // false once a question went unanswered, until an answer says otherwise.
    std::optional<bool> m_bodyMarkup;
    // Who waits for the GetCapabilities question in flight; empty when none is.
    QList<CapabilitiesHandler> m_waitingForCapabilities;
};

} // namespace pemmo
