// The QML side of the key router: a screen declares
//     KeyHandler { router: Shell.keys; priority: 20; active: visible; target: model }
// and, while active, its model (a KeyTarget) receives the panel's keys at that priority. A screen
// without a model gives a function instead: `handleKey: (e) => ...`. The registration calls whatever
// target or function the handler holds at the time, so rebinding never re-orders the screens.
#pragma once

#include "Shell/KeyEventRouter.h"
#include "Shell/KeyTarget.h"

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class KeyHandler : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(pemmo::KeyEventRouter* router READ router WRITE setRouter NOTIFY routerChanged)
    Q_PROPERTY(int priority READ priority WRITE setPriority NOTIFY priorityChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // Called with {key, text, control, shift, alt, keypad}; returns true when it took the key.
    Q_PROPERTY(QJSValue handleKey READ handleKey WRITE setHandleKey NOTIFY handleKeyChanged)
    // A QObject that implements KeyTarget; asked before `handleKey`.
    Q_PROPERTY(QObject* target READ target WRITE setTarget NOTIFY targetChanged)
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
    QJSValue handleKey() const { return m_handleKey; }
    void setHandleKey(const QJSValue& handleKey);
    QObject* target() const { return m_target; }
    void setTarget(QObject* target);
    bool registered() const { return m_registration.has_value(); }

    void classBegin() override {}
    void componentComplete() override;

    static QVariantMap toScript(const KeyEvent& event);

Q_SIGNALS:
    void routerChanged();
    void priorityChanged();
    void activeChanged();
    void handleKeyChanged();
    void targetChanged();
    void registeredChanged();

private:
    void sync();
    KeyResult handle(const KeyEvent& event);

    QPointer<KeyEventRouter> m_router;
    int m_priority = 0;
    bool m_active = true;
    bool m_complete = false;
    QJSValue m_handleKey;
    QPointer<QObject> m_target;
    std::optional<KeyEventRouter::Registration> m_registration;
    // The router the registration was made with, which may differ from m_router mid-change.
    QPointer<KeyEventRouter> m_registeredWith;
};

} // namespace pemmo
