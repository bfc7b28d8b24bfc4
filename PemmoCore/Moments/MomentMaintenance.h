// Keeps Moments fresh while Pemmo runs: refreshes when the calendar changes, when Pemmo comes to
// the front, when the computer wakes and when the session becomes active again, and on a minute
// tick expires what is over and refreshes when the last refresh is 15 minutes old.
//
// A refresh first reads the permission and the calendars again (a folder may have become
// unreadable, a calendar renamed), except when the calendar's own change asked for it: that read
// is the refresh itself. Refreshes wait for the address book's first load, since Moments are
// matched against it; a trigger that comes while one runs makes it run once more.
#pragma once

#include "Support/Clock.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace pemmo {

class CalendarRepository;
class MomentService;
class ProfileSyncEngine;
class SessionEvents;
class SettingsStore;

class MomentMaintenance : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTick{60'000};
    static constexpr std::chrono::seconds defaultRefreshAge{900};

    // Nothing is owned; all must outlive the maintenance. `session` may be null.
    MomentMaintenance(MomentService& moments, CalendarRepository& calendar, SettingsStore& settings,
                      ProfileSyncEngine& sync, SessionEvents* session, Clock clock = systemClock(),
                      std::chrono::milliseconds tick = defaultTick,
                      std::chrono::seconds refreshAge = defaultRefreshAge, QObject* parent = nullptr);
    ~MomentMaintenance() override;

    // Starts observing and refreshes once (as soon as the address book has loaded).
    void start();
    // Removes the observers and the timer.
    void stop();
    bool isStarted() const { return m_started; }

    // A trigger: refresh now, or once more after the running refresh. `checkAccess`: read the
    // permission and the calendars first.
    void requestRefresh(bool checkAccess = true);
    // Pemmo became the active application.
    void applicationActivated() { requestRefresh(); }
    // The minute tick: expires, and refreshes when the last refresh is old enough.
    void tick();

    bool isRunning() const { return m_running; }
    // When the last refresh started; invalid before the first.
    QDateTime lastRefresh() const { return m_lastRefresh; }
    // Refreshes started so far.
    int refreshCount() const { return m_refreshCount; }

Q_SIGNALS:
    // A maintenance refresh (with the triggers coalesced into it) ended.
    void refreshed();

private:
    QCoro::Task<void> run();

    MomentService& m_moments;
    CalendarRepository& m_calendar;
    SettingsStore& m_settings;
    ProfileSyncEngine& m_sync;
    SessionEvents* m_session;
    const Clock m_clock;
    const std::chrono::seconds m_refreshAge;

    QTimer m_timer;
    QList<QMetaObject::Connection> m_observers;
    bool m_started = false;
    bool m_running = false;
    bool m_again = false;
    bool m_checkAccess = true;
    bool m_waitingForProfiles = false;
    QDateTime m_lastRefresh;
    int m_refreshCount = 0;
};

} // namespace pemmo
