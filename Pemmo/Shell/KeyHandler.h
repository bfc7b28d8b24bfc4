// The QML side of the key router: a screen declares
//     KeyHandler { router: shell.keys; priority: 10; active: visible; onKey: (e) => ... }
// and, while active, receives the panel's keys at that priority. The registration calls whatever
// function `onKey` holds at the time, so rebinding it never re-orders the screens.
#pragma once

#include "Shell/KeyEventRouter.h"

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantMap>
#include <optional>

namespace pemmo {

class KeyHandler : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(pemmo::KeyEventRouter* router READ router WRITE setRouter NOTIFY routerChanged)
    Q_PROPERTY(int priority READ priority WRITE setPriority NOTIFY priorityChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // Called with {key, text, control, shift, alt, keypad}; returns true when it took the key.
    Q_PROPERTY(QJSValue onKey READ onKey WRITE setOnKey NOTIFY onKeyChanged)
    Q_PROPERTY(bool registered READ registered NOTIFY registeredChanged)

public:
    explicit KeyHandler(QObject* parent = nullptr);
    ~KeyHandler() override;

    KeyEventRouter* router() const { return m_router; }
    void setRouter(KeyEventRouter* router);
    int priority() const { return m_priority; }
    void setPriority(int priority);
    bool active() const { return m_active; }
    void setActive(bool active);
    QJSValue onKey() const { return m_onKey; }
    void setOnKey(const QJSValue& onKey);
    bool registered() const { return m_registration.has_value(); }

    void classBegin() override {}
    void componentComplete() override;

    static QVariantMap toScript(const KeyEvent& event);

Q_SIGNALS:
    void routerChanged();
    void priorityChanged();
    void activeChanged();
    void onKeyChanged();
    void registeredChanged();

private:
    void sync();
    KeyResult handle(const KeyEvent& event);

    QPointer<KeyEventRouter> m_router;
    int m_priority = 0;
    bool m_active = true;
    bool m_complete = false;
    QJSValue m_onKey;
    std::optional<KeyEventRouter::Registration> m_registration;
    // The router the registration was made with, which may differ from m_router mid-change.
    QPointer<KeyEventRouter> m_registeredWith;
};

} // namespace pemmo
