#include "Platform/PortalHotKey.h"

#include "Platform/PortalNames.h"
#include "Shell/ShellLogging.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace pemmo {
namespace {

struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace
} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::PortalShortcut)

namespace pemmo {
namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

PortalHotKey::PortalHotKey(QObject* parent)
    : GlobalHotKey(parent) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    QDBusConnection::sessionBus().connect(
        Portal::service(), Portal::path(), Portal::globalShortcutsInterface(), QStringLiteral("Activated"),
        this, SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

PortalHotKey::~PortalHotKey() {
    unbind();
}

QString PortalHotKey::preferredTrigger(const QKeySequence& shortcut) {
    if (shortcut.isEmpty())
        return {};
    const QKeyCombination combination = shortcut[0];
    QStringList parts;
    const auto mods = combination.keyboardModifiers();
    if (mods & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (mods & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (mods & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (mods & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    const QString key = QKeySequence(combination.key()).toString(QKeySequence::PortableText);
    parts << (key.size() == 1 ? key.toLower() : key);
    return parts.join(u'+');
}

void PortalHotKey::bind(const QKeySequence& shortcut) {
    m_shortcut = shortcut;
    if (shortcut.isEmpty()) {
        unbind();
        return;
    }
    setStatus(Status::Pending);
    if (!m_session.path().isEmpty()) {
        bindShortcut();
        return;
    }
    QVariantMap options{{u"session_handle_token"_qs, QString(u"pemmo"_qs + QString::number(++m_token))}};
    request(QStringLiteral("CreateSession"), {options}, 0, [this](const QVariantMap& results) {
        m_session = QDBusObjectPath(results.value(u"session_handle"_qs).toString());
        if (m_session.path().isEmpty()) {
            fail(QStringLiteral("The desktop did not open a global shortcut session for Pemmo."));
            return;
        }
        bindShortcut();
    });
}

void PortalHotKey::bindShortcut() {
    const PortalShortcut shortcut{QString::fromLatin1(shortcutID),
                                  {{u"description"_qs, u"Show or hide Pemmo"_qs},
                                   {u"preferred_trigger"_qs, preferredTrigger(m_shortcut)}}};
    const QList<PortalShortcut> shortcuts{shortcut};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(m_session), QVariant::fromValue(shortcuts), QString(), QVariantMap()}, 3,
            [this](const QVariantMap&) {
                qCInfo(lcShortcut, "global shortcut bound through the desktop portal");
                setStatus(Status::Active);
            });
}

void PortalHotKey::unbind() {
    if (!m_session.path().isEmpty()) {
        QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
            Portal::service(), m_session.path(), Portal::sessionInterface(), QStringLiteral("Close")));
        m_session = QDBusObjectPath();
    }
    setStatus(Status::Inactive);
}

void PortalHotKey::request(const QString& method, QList<QVariant> arguments, int optionsIndex,
                           std::function<void(const QVariantMap&)> next) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fail(QStringLiteral("There is no session bus, so the desktop portal cannot give Pemmo a global "
                            "shortcut."));
        return;
    }
    // The answer comes as a signal on a Request object whose path follows from our token: listen
    // before calling, or a quick answer is lost.
    const QString token = u"pemmo"_qs + QString::number(++m_token);
    if (!m_requestPath.isEmpty())
        bus.disconnect(Portal::service(), m_requestPath, Portal::requestInterface(),
                       QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_requestPath = Portal::requestPath(bus.baseService(), token);
    bus.connect(Portal::service(), m_requestPath, Portal::requestInterface(), QStringLiteral("Response"),
                this, SLOT(onResponse(uint, QVariantMap)));
    m_next = std::move(next);

    QVariantMap options = arguments[optionsIndex].toMap();
    options.insert(u"handle_token"_qs, token);
    arguments[optionsIndex] = options;
    QDBusMessage call = QDBusMessage::createMethodCall(Portal::service(), Portal::path(),
                                                       Portal::globalShortcutsInterface(), method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            fail(u"The desktop offers no global shortcuts to applications ("_qs + reply.error().message() +
                 u"). Bind \u201Cpemmo toggle\u201D in your desktop's keyboard settings instead."_qs);
        }
    });
}

void PortalHotKey::onResponse(uint response, const QVariantMap& results) {
    auto next = std::move(m_next);
    m_next = nullptr;
    if (response != 0) {
        fail(response == 1 ? QStringLiteral("The global shortcut for Pemmo was declined.")
                           : QStringLiteral("The desktop could not give Pemmo its global shortcut."));
        return;
    }
    if (next)
        next(results);
}

void PortalHotKey::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                               const QVariantMap&) {
    if (session == m_session && id == QLatin1String(shortcutID))
        Q_EMIT activated();
}

void PortalHotKey::fail(const QString& why) {
    m_next = nullptr;
    setStatus(Status::Failed, why);
}

} // namespace pemmo
