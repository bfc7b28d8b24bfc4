#include "Shell/KeyEventRouter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThread>

namespace pemmo {

namespace {

// Whether the keyboard is in a stock pop-up that is open (a drop-down's list, a menu). Its keys are
// its own: Escape closes it, Return picks, the arrows move; the screen below must not take them
// (Escape would leave a form with everything typed in it).
bool inOpenPopup(QObject* watched) {
    const auto* window = qobject_cast<QQuickWindow*>(watched);
    for (QQuickItem* item = window ? window->activeFocusItem() : nullptr; item; item = item->parentItem()) {
        if (item->inherits("QQuickPopupItem"))
            return true;
        if (item->inherits("QQuickComboBox")) {
            const auto* popup = item->property("popup").value<QObject*>();
            if (popup && popup->property("visible").toBool())
                return true;
        }
    }
    return false;
}

} // namespace

KeyEventRouter::KeyEventRouter(QObject* parent)
    : QObject(parent) {}

KeyEventRouter::~KeyEventRouter() {
    uninstall();
}

void KeyEventRouter::install(QWindow* window) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_target == window)
        return;
    uninstall();
    m_target = window;
    if (window)
        window->installEventFilter(this);
}

void KeyEventRouter::uninstall() {
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = nullptr;
}

KeyEventRouter::Registration KeyEventRouter::registerHandler(int priority, Handler handler) {
    Q_ASSERT(QThread::currentThread() == thread());
    const Registration registration{QUuid::createUuid(), priority};
    // Before the first entry of lower or equal priority: sorted high to low, newest first among
    // equals.
    auto at = std::find_if(m_entries.begin(), m_entries.end(),
                           [priority](const Entry& e) { return e.registration.priority <= priority; });
    m_entries.insert(at, Entry{registration, std::move(handler)});
    return registration;
}

void KeyEventRouter::unregister(const Registration& registration) {
    Q_ASSERT(QThread::currentThread() == thread());
    m_entries.removeIf([&](const Entry& e) { return e.registration.id == registration.id; });
}

KeyResult KeyEventRouter::dispatch(const KeyEvent& event) {
    // A handler may register or unregister others (a screen that closes itself): walk a copy.
    const QList<Entry> entries = m_entries;
    for (const Entry& entry : entries) {
        const bool stillRegistered = std::any_of(m_entries.cbegin(), m_entries.cend(), [&](const Entry& e) {
            return e.registration.id == entry.registration.id;
        });
        if (stillRegistered && entry.handler && entry.handler(event) == KeyResult::Handled)
            return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

bool KeyEventRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !m_target || watched != m_target.data())
        return QObject::eventFilter(watched, event);
    if (inOpenPopup(watched))
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    return dispatch(KeyEvent::from(*key)) == KeyResult::Handled;
}

} // namespace pemmo
