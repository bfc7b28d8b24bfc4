#include "Platform/LogindSessionEvents.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <unistd.h>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcSession, "com.dorvane.Pemmo.session", QtInfoMsg)

const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

LogindSessionEvents::LogindSessionEvents(QDBusConnection bus, QString service, QObject* parent)
    : SessionEvents(parent)
    , m_bus(std::move(bus))
    , m_service(std::move(service)) {
    if (!m_bus.isConnected()) {
        qCInfo(lcSession, "No system bus: Moments refresh without wake and unlock events");
        return;
    }
    m_bus.connect(m_service, kManagerPath, kManagerInterface, QStringLiteral("PrepareForSleep"), this,
                  SLOT(onPrepareForSleep(bool)));
    findSession(qEnvironmentVariableIsEmpty("XDG_SESSION_ID"));
}

// The session this process runs in: by the id the login gave the environment, else by process.
void LogindSessionEvents::findSession(bool byProcess) {
    QDBusMessage call = byProcess ? QDBusMessage::createMethodCall(m_service, kManagerPath, kManagerInterface,
                                                                   QStringLiteral("GetSessionByPID"))
                                  : QDBusMessage::createMethodCall(m_service, kManagerPath, kManagerInterface,
                                                                   QStringLiteral("GetSession"));
    if (byProcess)
        call << static_cast<uint>(::getpid());
    else
        call << qEnvironmentVariable("XDG_SESSION_ID");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, byProcess] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            if (!byProcess) {
                findSession(true);
                return;
            }
            qCInfo(lcSession, "No login session found (%s): Moments refresh without unlock events",
                   qUtf8Printable(reply.error().message()));
            return;
        }
        followSession(reply.value().path());
    });
}

void LogindSessionEvents::followSession(const QString& path) {
    m_sessionPath = path;
    m_bus.connect(m_service, path, kSessionInterface, QStringLiteral("Unlock"), this, SLOT(onUnlock()));
    m_bus.connect(m_service, path, kProperties, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    readState();
}

// Where the session stands now, so that the next change is known for what it is.
void LogindSessionEvents::readState() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_service, m_sessionPath, kProperties, QStringLiteral("GetAll"));
    call << kSessionInterface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *watcher;
        if (!reply.isError()) {
            const QVariantMap properties = reply.value();
            if (properties.contains(QStringLiteral("LockedHint")))
                m_locked = properties.value(QStringLiteral("LockedHint")).toBool();
            if (properties.contains(QStringLiteral("Active")))
                m_active = properties.value(QStringLiteral("Active")).toBool();
        }
        Q_EMIT sessionFound();
    });
}

void LogindSessionEvents::onPrepareForSleep(bool starting) {
    if (!starting)
        Q_EMIT woke();
}

void LogindSessionEvents::onUnlock() {
    m_locked = false;
    Q_EMIT sessionActive();
}

void LogindSessionEvents::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList& invalidated) {
    if (interface != kSessionInterface)
        return;
    if (changed.contains(QStringLiteral("LockedHint")))
        setLocked(changed.value(QStringLiteral("LockedHint")).toBool());
    if (changed.contains(QStringLiteral("Active")))
        setActive(changed.value(QStringLiteral("Active")).toBool());
    // Announced without their values: ask for them.
    for (const QString& name : invalidated) {
        if (name != u"LockedHint" && name != u"Active")
            continue;
        QDBusMessage call =
            QDBusMessage::createMethodCall(m_service, m_sessionPath, kProperties, QStringLiteral("Get"));
        call << kSessionInterface << name;
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, name] {
            watcher->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *watcher;
            if (reply.isError())
                return;
            if (name == u"LockedHint")
                setLocked(reply.value().variant().toBool());
            else
                setActive(reply.value().variant().toBool());
        });
    }
}

void LogindSessionEvents::setLocked(bool locked) {
    const bool unlocked = m_locked && !locked;
    m_locked = locked;
    if (unlocked)
        Q_EMIT sessionActive();
}

void LogindSessionEvents::setActive(bool active) {
    const bool returned = !m_active && active;
    m_active = active;
    if (returned)
        Q_EMIT sessionActive();
}

} // namespace pemmo
