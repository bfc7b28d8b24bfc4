// Update checks in the running application: the feed checker that reports to the environment's
// update reminder, the tray item that shows the version that waits, and the panel's banner that
// mentions it once.
#pragma once

#include <QObject>
#include <chrono>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace pemmo {

class AppRouter;
class KeyValueStore;
class NetworkTransport;
class PanelController;
class UpdateChecker;
class UpdateNotifications;
class UpdateReminder;
class UpdateTrayItem;

class UpdateService : public QObject {
    Q_OBJECT

public:
    // How long the banner stays: long enough to be read while the panel is in use.
    static constexpr std::chrono::milliseconds updateBannerTimeout{8000};

    // The reminder and its notification belong to the environment and outlive this service; a
    // click on the notification shows the update this service's checker found.
    UpdateService(KeyValueStore& settings, UpdateReminder& reminder, UpdateNotifications& notifications,
                  const QString& currentVersion, QObject* parent = nullptr);
    ~UpdateService() override;

    // Puts the "Update" item into the tray's menu and the dot onto its icon while a version waits.
    void attachTray(QMenu& menu, QSystemTrayIcon& icon);
    // Mentions a waiting version in the panel's banner the next time the panel opens, once per
    // version; the banner's "Update" (Control-U) shows it as the tray item does.
    void attachPanel(PanelController& panel, AppRouter& router);
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
