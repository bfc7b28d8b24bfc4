#include "Platform/ColorScheme.h"

#include "Platform/PortalNames.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace pemmo {
namespace {

// Read answers a variant that holds a variant; ReadOne (newer portals) answers one variant.
int unwrap(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toInt();
}

} // namespace

ColorScheme::ColorScheme(QObject* parent)
    : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            Portal::service(), Portal::path(), Portal::settingsInterface(), QStringLiteral("Read"));
        call.setArguments({Portal::appearanceNamespace(), Portal::colorSchemeKey()});
        // Asked once at start; a desktop without the portal answers at once with an error.
        const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            m_portalValue = unwrap(reply.arguments().constFirst());
        bus.connect(Portal::service(), Portal::path(), Portal::settingsInterface(),
                    QStringLiteral("SettingChanged"), this,
                    SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    }
    // The application hears of a new platform palette as an event on itself.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    update();
}

bool ColorScheme::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        update();
    return QObject::eventFilter(watched, event);
}

bool ColorScheme::prefersDark(int portalValue, bool paletteIsDark) {
    if (portalValue == 1)
        return true;
    if (portalValue == 2)
        return false;
    return paletteIsDark;
}

bool ColorScheme::paletteIsDark() {
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

void ColorScheme::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != Portal::appearanceNamespace() || key != Portal::colorSchemeKey())
        return;
    m_portalValue = unwrap(value.variant());
    update();
}

void ColorScheme::update() {
    const bool dark = prefersDark(m_portalValue, paletteIsDark());
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT systemPrefersDarkChanged();
}

} // namespace pemmo
