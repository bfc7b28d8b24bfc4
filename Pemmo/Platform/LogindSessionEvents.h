// Waking from sleep and the session becoming active again, as systemd-logind announces them on
// the system bus: the manager's PrepareForSleep(false) is the wake; the session's Unlock signal,
// its LockedHint going from true to false, and its Active going from false to true (switching back
// to this user) are the session becoming active.
//
// Nothing blocks: the session is looked up asynchronously, and without logind (no system bus, a
// process outside any session) the signals simply never come.
#pragma once

#include "Moments/SessionEvents.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace pemmo {

class LogindSessionEvents : public SessionEvents {
    Q_OBJECT

public:
    static QString serviceName() { return QStringLiteral("org.freedesktop.login1"); }

    // Listens on `bus` to the logind at `service` (another name in tests).
    explicit LogindSessionEvents(QDBusConnection bus = QDBusConnection::systemBus(),
                                 QString service = serviceName(), QObject* parent = nullptr);

    // The session's object path once it was found; empty before.
    const QString& sessionPath() const { return m_sessionPath; }

Q_SIGNALS:
    // The session was found, its state read, and its signals are followed.
    void sessionFound();

private Q_SLOTS:
    void onPrepareForSleep(bool starting);
    void onUnlock();
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void findSession(bool byProcess);
    void followSession(const QString& path);
    void readState();
    void setLocked(bool locked);
    void setActive(bool active);

    QDBusConnection m_bus;
    const QString m_service;
    QString m_sessionPath;
    bool m_locked = false;
    bool m_active = true;
};

} // namespace pemmo
