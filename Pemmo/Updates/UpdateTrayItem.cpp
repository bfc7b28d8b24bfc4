#include "Updates/UpdateTrayItem.h"

#include "Updates/UpdateReminder.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace pemmo {

UpdateTrayItem::UpdateTrayItem(QMenu& menu, QSystemTrayIcon& icon, UpdateReminder& reminder,
                               std::function<void()> onUpdate, QObject* parent)
    : QObject(parent)
    , m_icon(icon)
    , m_reminder(reminder)
    , m_plain(icon.icon())
    , m_withDot(QIcon(u":/pemmo/icons/pemmo-tray-update.svg"_qs)) {
    // First in the menu, where it is seen before anything else.
    QAction* first = menu.actions().value(0);
    m_action = new QAction(u"Update"_qs, &menu);
    m_separator = new QAction(&menu);
    m_separator->setSeparator(true);
    menu.insertAction(first, m_action);
    menu.insertAction(first, m_separator);
    connect(m_action, &QAction::triggered, this, [onUpdate = std::move(onUpdate)] {
        if (onUpdate)
            onUpdate();
    });
    connect(&m_reminder, &UpdateReminder::pendingVersionChanged, this, &UpdateTrayItem::follow);
    follow();
}

void UpdateTrayItem::follow() {
    const QString version = m_reminder.pendingVersionText();
    const bool waiting = !version.isEmpty();
    m_action->setVisible(waiting);
    m_separator->setVisible(waiting);
    m_action->setToolTip(waiting ? u"Pemmo "_qs + version + u" is ready to install."_qs : QString());
    if (waiting != m_dot) {
        m_dot = waiting;
        m_icon.setIcon(waiting ? m_withDot : m_plain);
    }
}

} // namespace pemmo
