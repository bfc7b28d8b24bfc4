// Update checks in the running application: the feed checker that reports to the environment's
// update reminder, and the tray item that shows the version that waits.
#pragma once

#include <QObject>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace pemmo {

class KeyValueStore;
class NetworkTransport;
class UpdateChecker;
class UpdateNotifications;
class UpdateReminder;
class UpdateTrayItem;

class UpdateService : public QObject {
    Q_OBJECT

public:
    // The reminder and its notification belong to the environment and outlive this service; a
    // click on the notification shows the update this service's checker found.
    UpdateService(KeyValueStore& settings, UpdateReminder& reminder, UpdateNotifications& notifications,
                  const QString& currentVersion, QObject* parent = nullptr);
    ~UpdateService() override;

    // Puts the "Update" item into the tray's menu and the dot onto its icon while a version waits.
    void attachTray(QMenu& menu, QSystemTrayIcon& icon);
    // Starts the daily checks (which do nothing while no feed is set).
    void start();

    UpdateChecker& checker() { return *m_checker; }

private:
    UpdateReminder& m_reminder;
    UpdateNotifications& m_notifications;
    std::unique_ptr<NetworkTransport> m_transport;
    std::unique_ptr<UpdateChecker> m_checker;
    std::unique_ptr<UpdateTrayItem> m_trayItem;
};

} // namespace pemmo
