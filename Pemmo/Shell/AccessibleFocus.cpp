#include "Shell/AccessibleFocus.h"

#include <QAccessible>
#include <QQuickWindow>
#include <QTimer>

namespace pemmo {

AccessibleFocus::AccessibleFocus(QObject* parent)
    : QObject(parent) {}

void AccessibleFocus::componentComplete() {
    watchItem();
}

void AccessibleFocus::watchItem() {
    disconnect(m_windowOfItem);
    QQuickItem* target = item();
    watchWindow(target ? target->window() : nullptr);
    if (target)
        m_windowOfItem = connect(target, &QQuickItem::windowChanged, this, &AccessibleFocus::watchWindow);
}

void AccessibleFocus::watchWindow(QQuickWindow* window) {
    disconnect(m_focusInWindow);
    if (window)
        m_focusInWindow = connect(window, &QQuickWindow::activeFocusItemChanged, this, [this] {
            if (m_when)
                announceLater();
        });
}

void AccessibleFocus::setWhen(bool when) {
    if (m_when == when)
        return;
    m_when = when;
    Q_EMIT whenChanged();
    if (m_when)
        announceLater();
}

QQuickItem* AccessibleFocus::item() const {
    return m_item ? m_item.data() : qobject_cast<QQuickItem*>(parent());
}

void AccessibleFocus::setItem(QQuickItem* item) {
    if (m_item == item)
        return;
    m_item = item;
    watchItem();
    Q_EMIT itemChanged();
    if (m_when)
        announceLater();
}

void AccessibleFocus::setName(const QString& name) {
    if (m_name == name)
        return;
    m_name = name;
    Q_EMIT nameChanged();
    if (m_when)
        announceLater();
}

// After the events of the key that moved the selection: a field that takes the keyboard focus in
// the same turn (an overlay closing) must not be announced after the row.
void AccessibleFocus::announceLater() {
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        announce();
    });
}

void AccessibleFocus::announce() {
    QQuickItem* target = item();
    if (!m_when || !target || !target->isVisible() || !QAccessible::isActive())
        return;
    QAccessibleEvent event(target, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

} // namespace pemmo
