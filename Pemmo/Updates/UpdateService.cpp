#include "Updates/UpdateService.h"

#include "AI/NetworkTransport.h"
#include "Shell/AppRouter.h"
#include "Shell/BannerState.h"
#include "Shell/PanelController.h"
#include "Updates/UpdateChecker.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"
#include "Updates/UpdateTrayItem.h"

#include <QDesktopServices>

namespace pemmo {

UpdateService::UpdateService(KeyValueStore& settings, UpdateReminder& reminder,
                             UpdateNotifications& notifications, const QString& currentVersion,
                             QObject* parent)
    : QObject(parent)
    , m_reminder(reminder)
    , m_notifications(notifications)
    , m_transport(std::make_unique<NetworkTransport>())
    , m_checker(std::make_unique<UpdateChecker>(*m_transport, settings, m_reminder, currentVersion)) {
    m_checker->setOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    // A click on the notification or its "Update" action shows the update as the tray item does.
    m_notifications.setOnOpen([this] { m_checker->showUpdate(); });
}

UpdateService::~UpdateService() {
    // The notification outlives the checker: a later click opens nothing.
    m_notifications.setOnOpen({});
    m_trayItem.reset();
    m_checker.reset();
}

void UpdateService::attachTray(QMenu& menu, QSystemTrayIcon& icon) {
    m_trayItem =
        std::make_unique<UpdateTrayItem>(menu, icon, m_reminder, [this] { m_checker->showUpdate(); });
}

void UpdateService::attachPanel(PanelController& panel, AppRouter& router) {
    connect(m_checker.get(), &UpdateChecker::openFailed, this, [&router](const QUrl& url) {
        router.showError(u"Pemmo could not open "_qs + url.toString() +
                         u". Open it in your web browser to get the update."_qs);
    });
    connect(&panel, &PanelController::shown, this, [this, &router] {
        if (!m_reminder.shouldShowBanner())
            return;
        m_reminder.markBannerShown();
        BannerState banner =
            BannerState::info(u"Pemmo "_qs + m_reminder.pendingVersionText() + u" is ready to install."_qs);
        banner.withAction(u"Update"_qs, QKeyCombination(Qt::ControlModifier, Qt::Key_U),
                          [this] { m_checker->showUpdate(); });
        banner.timeout = updateBannerTimeout;
        router.showBanner(std::move(banner));
    });
}

void UpdateService::start() {
    m_checker->start();
}

} // namespace pemmo
