#include "Platform/StatusNotifierHost.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace pemmo::StatusNotifierHost {

bool isRegistered(const QDBusConnection& bus, std::chrono::milliseconds timeout) {
    const QString watcher = u"org.kde.StatusNotifierWatcher"_qs;
    QDBusMessage get = QDBusMessage::createMethodCall(watcher, u"/StatusNotifierWatcher"_qs,
                                                      u"org.freedesktop.DBus.Properties"_qs, u"Get"_qs);
    get << watcher << u"IsStatusNotifierHostRegistered"_qs;
    // A watcher is part of a running panel: none is started for the question.
    get.setAutoStartService(false);
    const QDBusMessage reply = bus.call(get, QDBus::Block, int(timeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace pemmo::StatusNotifierHost
