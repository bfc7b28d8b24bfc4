#include "Shell/KeyHandler.h"

#include "Shell/ShellLogging.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace pemmo {

KeyHandler::KeyHandler(QObject* parent)
    : QObject(parent) {}

KeyHandler::~KeyHandler() {
    if (m_registration && m_registeredWith)
        m_registeredWith->unregister(*m_registration);
}

void KeyHandler::setRouter(KeyEventRouter* router) {
    if (m_router == router)
        return;
    m_router = router;
    Q_EMIT routerChanged();
    sync();
}

void KeyHandler::setPriority(int priority) {
    if (m_priority == priority)
        return;
    m_priority = priority;
    Q_EMIT priorityChanged();
    // A new priority is a new place in the order: register again.
    if (m_registration) {
        m_registeredWith->unregister(*m_registration);
        m_registration.reset();
    }
    sync();
}

void KeyHandler::setActive(bool active) {
    if (m_active == active)
        return;
    m_active = active;
    Q_EMIT activeChanged();
    sync();
}

void KeyHandler::setHandleKey(const QJSValue& handleKey) {
    m_handleKey = handleKey;
    Q_EMIT handleKeyChanged();
}

void KeyHandler::setTarget(QObject* target) {
    if (m_target == target)
        return;
    m_target = target;
    Q_EMIT targetChanged();
}

void KeyHandler::componentComplete() {
    m_complete = true;
    sync();
}

void KeyHandler::sync() {
    const bool wanted = m_complete && m_active && m_router;
    const bool wasRegistered = m_registration.has_value();
    if (m_registration && (!wanted || m_registeredWith != m_router)) {
        if (m_registeredWith)
            m_registeredWith->unregister(*m_registration);
        m_registration.reset();
        m_registeredWith = nullptr;
    }
    if (wanted && !m_registration) {
        m_registration =
            m_router->registerHandler(m_priority, [this](const KeyEvent& e) { return handle(e); });
        m_registeredWith = m_router;
    }
    if (wasRegistered != m_registration.has_value())
        Q_EMIT registeredChanged();
}

QVariantMap KeyHandler::toScript(const KeyEvent& event) {
    return {{u"key"_qs, event.key},
            {u"text"_qs, event.characters},
            {u"control"_qs, event.modifiers.testFlag(Qt::ControlModifier)},
            {u"shift"_qs, event.modifiers.testFlag(Qt::ShiftModifier)},
            {u"alt"_qs, event.modifiers.testFlag(Qt::AltModifier)},
            {u"keypad"_qs, event.modifiers.testFlag(Qt::KeypadModifier)}};
}

KeyResult KeyHandler::handle(const KeyEvent& event) {
    if (auto* target = qobject_cast<KeyTarget*>(m_target.data())) {
        if (target->handleKey(event) == KeyResult::Handled)
            return KeyResult::Handled;
    }
    if (!m_handleKey.isCallable())
        return KeyResult::Pass;
    QJSEngine* engine = qjsEngine(this);
    if (!engine)
        return KeyResult::Pass;
    const QJSValue result = m_handleKey.call({engine->toScriptValue(toScript(event))});
    if (result.isError()) {
        qCCritical(lcPanel, "KeyHandler: %s", qPrintable(result.toString()));
        return KeyResult::Pass;
    }
    return result.toBool() ? KeyResult::Handled : KeyResult::Pass;
}

} // namespace pemmo
