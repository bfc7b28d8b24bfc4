// Looks for a newer Pemmo in the update feed named in the settings (none by default: Pemmo from a
// distribution's packages is updated by the package manager and never asks), once a day in the
// background, and reports what it finds to the update reminder.
#pragma once

#include "AI/HTTPTransport.h"
#include "Support/Clock.h"
#include "Updates/UpdateFeed.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace pemmo {

class KeyValueStore;
class UpdateReminder;

class UpdateChecker : public QObject {
    Q_OBJECT

public:
    // The feed's address (text, an http or https URL); no feed, no checks.
    static QString feedKey() { return u"pemmo.updates.feedURL"_qs; }
    // When the feed last answered (ISO 8601 text), so checks stay a day apart across restarts.
    static QString lastCheckKey() { return u"pemmo.updates.lastCheck"_qs; }

    UpdateChecker(HTTPTransport& transport, KeyValueStore& settings, UpdateReminder& reminder,
                  QString currentVersion, Clock clock = systemClock(),
                  std::chrono::milliseconds interval = std::chrono::hours(24),
                  std::chrono::milliseconds startDelay = std::chrono::minutes(2),
                  std::chrono::milliseconds retryDelay = std::chrono::hours(1), QObject* parent = nullptr);

    // Schedules the checks: the first one a while after launch, or when a day has passed since the
    // last one, whichever is later.
    void start();
    // One check now. Never throws: a feed that cannot be read is logged and tried again later.
    QCoro::Task<> check();

    // The feed's address when one is set and usable.
    std::optional<QUrl> feedURL() const;
    // The release found newer than this Pemmo, until a check finds none.
    std::optional<UpdateRelease> waitingRelease() const { return m_waiting; }
    // How long until the next check, as the timer was last set.
    std::chrono::milliseconds nextCheckDelay() const { return m_nextDelay; }

    // Opens the waiting release's page (the release notes and how to install it) and counts as
    // the user's attention, which ends the reminder.
    void showUpdate();

    // How pages are opened (the desktop's browser in the application); false when it could not be.
    void setOpener(std::function<bool(const QUrl&)> opener) { m_opener = std::move(opener); }
    // Whether Pemmo has the user's attention when a scheduled check finds a version; a tray
    // application in the background never has, so by default the version is held back.
    void setImmediateFocus(std::function<bool()> immediateFocus) {
        m_immediateFocus = std::move(immediateFocus);
    }

Q_SIGNALS:
    // A check ended, whatever it found.
    void checked();
    // The update's page could not be opened; the reminder stays.
    void openFailed(const QUrl& url);

private:
    std::chrono::milliseconds delayAfterLaunch() const;
    void schedule(std::chrono::milliseconds delay);
    void found(std::optional<UpdateRelease> release);

    HTTPTransport& m_transport;
    KeyValueStore& m_settings;
    UpdateReminder& m_reminder;
    const QString m_currentVersion;
    Clock m_clock;
    const std::chrono::milliseconds m_interval;
    const std::chrono::milliseconds m_startDelay;
    const std::chrono::milliseconds m_retryDelay;
    std::chrono::milliseconds m_nextDelay{0};
    QTimer m_timer;
    bool m_checking = false;
    std::optional<UpdateRelease> m_waiting;
    std::function<bool(const QUrl&)> m_opener;
    std::function<bool()> m_immediateFocus;
};

} // namespace pemmo
