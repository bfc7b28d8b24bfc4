// Update reminders in the running application: the feed checker, the reminder, its desktop
// notification over D-Bus and the tray item, built and wired in one place.
#pragma once

#include <QObject>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace pemmo {

class FreedesktopNotificationCenter;
class KeyValueStore;
class NetworkTransport;
class UpdateChecker;
class UpdateNotifications;
class UpdateReminder;
class UpdateTrayItem;

class UpdateService : public QObject {
    Q_OBJECT

public:
    UpdateService(KeyValueStore& settings, const QString& currentVersion, QObject* parent = nullptr);
    ~UpdateService() override;

    // Puts the "Update" item into the tray's menu and the dot onto its icon while a version waits.
    void attachTray(QMenu& menu, QSystemTrayIcon& icon);
    // Starts the daily checks (which do nothing while no feed is set).
    void start();

    UpdateReminder& reminder() { return *m_reminder; }
    UpdateNotifications& notifications() { return *m_notifications; }
    UpdateChecker& checker() { return *m_checker; }

private:
    std::unique_ptr<FreedesktopNotificationCenter> m_center;
    std::unique_ptr<UpdateNotifications> m_notifications;
    std::unique_ptr<UpdateReminder> m_reminder;
    std::unique_ptr<NetworkTransport> m_transport;
    std::unique_ptr<UpdateChecker> m_checker;
    std::unique_ptr<UpdateTrayItem> m_trayItem;
};

} // namespace pemmo
