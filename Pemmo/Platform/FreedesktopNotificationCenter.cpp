#include "Platform/FreedesktopNotificationCenter.h"

#include "Updates/UpdateLogging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <utility>

namespace pemmo {

namespace {

const QString kPath = u"/org/freedesktop/Notifications"_qs;
const QString kInterface = u"org.freedesktop.Notifications"_qs;
// The key a server sends when the body of the notification is clicked.
const QString kDefaultAction = u"default"_qs;
// A server with this capability reads bodies as markup, so text must be escaped for it.
const QString kBodyMarkup = u"body-markup"_qs;

} // namespace

QString FreedesktopNotificationCenter::defaultStateFile() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime + u"/pemmo/notifications.json"_qs;
}

FreedesktopNotificationCenter::FreedesktopNotificationCenter(QDBusConnection bus, QString stateFile,
                                                             QString service, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_stateFile(std::move(stateFile))
    , m_service(std::move(service)) {
    load();
    // Servers send these to everyone listening: ids that are not ours are other applications'.
    m_bus.connect(m_service, kPath, kInterface, u"ActionInvoked"_qs, this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(m_service, kPath, kInterface, u"NotificationClosed"_qs, this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void FreedesktopNotificationCenter::requestAuthorization(AuthorizationHandler handler) {
    // The desktop has no permission to ask for: notifications are allowed where a server answers,
    // so each request asks again (a server may have started since), sharing a question in flight.
    askCapabilities([handler](const std::optional<QString>& error) { handler(!error, error); });
}

void FreedesktopNotificationCenter::askCapabilities(CapabilitiesHandler handler) {
    m_waitingForCapabilities.append(std::move(handler));
    if (m_waitingForCapabilities.size() > 1)
        return;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(m_service, kPath, kInterface, u"GetCapabilities"_qs);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        std::optional<QString> error;
        if (reply.isError()) {
            error = reply.error().message().isEmpty() ? reply.error().name() : reply.error().message();
            // Taken as plain bodies rather than asked again before every notification: a server
            // that cannot say would otherwise hold each one for the whole time-out.
            if (!m_bodyMarkup)
                m_bodyMarkup = false;
        } else {
            m_bodyMarkup = reply.value().contains(kBodyMarkup);
        }
        const QList<CapabilitiesHandler> waiting = std::exchange(m_waitingForCapabilities, {});
        for (const CapabilitiesHandler& waiter : waiting)
            waiter(error);
    });
}

void FreedesktopNotificationCenter::add(const NotificationRequest& request, AddHandler handler) {
    m_pending.insert(request.identifier);
    // Shown on a later turn, as a centre delivers: the delegate decides then whether it still is.
    QPointer<FreedesktopNotificationCenter> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, request, handler] {
            if (!self)
                return;
            if (!self->m_pending.contains(request.identifier)) {
                // Taken back before it was shown.
                handler(std::nullopt);
                return;
            }
            const PresentationOptions options =
                self->m_delegate ? self->m_delegate->willPresent(request.identifier)
                                 : PresentationOptions(PresentationOption::Banner | PresentationOption::List);
            if (!options) {
                self->m_pending.remove(request.identifier);
                handler(std::nullopt);
                return;
            }
            self->present(request, handler);
        },
        Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::present(const NotificationRequest& request, AddHandler handler) {
    // Names and event titles hold '&' and '<', which a server reading markup would take apart: the
    // capabilities are known before the first notification (asked once, or answered already at
    // authorisation). Until it goes out the request stays pending, so it can still be taken back.
    const auto send = [this, request, handler](const std::optional<QString>&) {
        if (!m_pending.remove(request.identifier)) {
            handler(std::nullopt);
            return;
        }
        notify(request, handler);
    };
    if (m_bodyMarkup)
        send(std::nullopt);
    else
        askCapabilities(send);
}

void FreedesktopNotificationCenter::notify(const NotificationRequest& request, const AddHandler& handler) {
    QStringList actions{kDefaultAction, QString()};
    for (const NotificationCategory& category : std::as_const(m_categories)) {
        if (category.identifier != request.categoryIdentifier)
            continue;
        for (const NotificationAction& action : category.actions)
            actions << action.identifier << action.title;
    }
    const QVariantMap hints{
        {u"desktop-entry"_qs, u"pemmo"_qs},
        {u"urgency"_qs, QVariant::fromValue(uchar(1))},
    };
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, kPath, kInterface, u"Notify"_qs);
    const QString body = m_bodyMarkup.value_or(false) ? request.body.toHtmlEscaped() : request.body;
    call << u"Pemmo"_qs << uint(0) << u"pemmo"_qs << request.title << body << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier = request.identifier, handler](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    handler(reply.error().message().isEmpty() ? reply.error().name()
                                                              : reply.error().message());
                    return;
                }
                m_delivered.insert(reply.value(), identifier);
                save();
                handler(std::nullopt);
            });
}

void FreedesktopNotificationCenter::deliveredIdentifiers(IdentifiersHandler handler) {
    QStringList identifiers = m_delivered.values();
    identifiers.sort();
    handler(identifiers);
}

void FreedesktopNotificationCenter::pendingIdentifiers(IdentifiersHandler handler) {
    QStringList identifiers = m_pending.values();
    identifiers.sort();
    handler(identifiers);
}

void FreedesktopNotificationCenter::removePending(const QStringList& identifiers) {
    for (const QString& identifier : identifiers)
        m_pending.remove(identifier);
}

void FreedesktopNotificationCenter::removeDelivered(const QStringList& identifiers) {
    QList<uint> ids;
    for (auto it = m_delivered.cbegin(); it != m_delivered.cend(); ++it) {
        if (identifiers.contains(it.value()))
            ids << it.key();
    }
    if (ids.isEmpty())
        return;
    for (const uint id : std::as_const(ids)) {
        m_delivered.remove(id);
        closeNotification(id);
    }
    save();
}

void FreedesktopNotificationCenter::closeNotification(uint id) {
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, kPath, kInterface, u"CloseNotification"_qs);
    call << id;
    // A notification the user already dismissed is gone anyway; the answer changes nothing.
    m_bus.asyncCall(call);
}

void FreedesktopNotificationCenter::onActionInvoked(uint id, const QString& actionKey) {
    const auto it = m_delivered.constFind(id);
    if (it == m_delivered.cend() || !m_delegate)
        return;
    m_delegate->didReceiveResponse(*it, actionKey, [] {});
}

void FreedesktopNotificationCenter::onNotificationClosed(uint id, uint reason) {
    Q_UNUSED(reason)
    if (m_delivered.remove(id))
        save();
}

void FreedesktopNotificationCenter::load() {
    QFile file(m_stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool ok = false;
        const uint id = it.key().toUInt(&ok);
        if (ok && it.value().isString())
            m_delivered.insert(id, it.value().toString());
    }
}

void FreedesktopNotificationCenter::save() const {
    QJsonObject object;
    for (auto it = m_delivered.cbegin(); it != m_delivered.cend(); ++it)
        object.insert(QString::number(it.key()), it.value());
    QDir().mkpath(QFileInfo(m_stateFile).absolutePath());
    QSaveFile file(m_stateFile);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) < 0 || !file.commit())
        qCCritical(lcUpdates, "Could not remember the notifications shown in %s: %s",
                   qUtf8Printable(m_stateFile), qUtf8Printable(file.errorString()));
}

} // namespace pemmo
