// The tray's share of an update reminder: an "Update" item at the top of the menu and a dot on
// the icon, both there exactly while a version waits.
#pragma once

#include <QAction>
#include <QIcon>
#include <QObject>
#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace pemmo {

class UpdateReminder;

class UpdateTrayItem : public QObject {
    Q_OBJECT

public:
    UpdateTrayItem(QMenu& menu, QSystemTrayIcon& icon, UpdateReminder& reminder,
                   std::function<void()> onUpdate, QObject* parent = nullptr);

    QAction* action() const { return m_action; }
    bool showsDot() const { return m_dot; }

private:
    void follow();

    QSystemTrayIcon& m_icon;
    UpdateReminder& m_reminder;
    QAction* m_action = nullptr;
    QAction* m_separator = nullptr;
    QIcon m_plain;
    QIcon m_withDot;
    bool m_dot = false;
};

} // namespace pemmo
