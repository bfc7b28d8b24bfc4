// What the desktop session tells Pemmo about itself: the computer woke from sleep, and the user's
// session became active again (unlocked, or switched back to). On Linux logind says both.
#pragma once

#include <QObject>

namespace pemmo {

class SessionEvents : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SessionEvents() override = default;

Q_SIGNALS:
    void woke();
    void sessionActive();
};

} // namespace pemmo
