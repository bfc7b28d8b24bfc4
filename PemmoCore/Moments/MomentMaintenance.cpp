#include "Moments/MomentMaintenance.h"

#include "Calendar/CalendarRepository.h"
#include "Moments/MomentService.h"
#include "Moments/SessionEvents.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/SettingsStore.h"

#include <QPointer>
#include <utility>

namespace pemmo {

MomentMaintenance::MomentMaintenance(MomentService& moments, CalendarRepository& calendar,
                                     SettingsStore& settings, ProfileSyncEngine& sync, SessionEvents* session,
                                     Clock clock, std::chrono::milliseconds tick,
                                     std::chrono::seconds refreshAge, QObject* parent)
    : QObject(parent)
    , m_moments(moments)
    , m_calendar(calendar)
    , m_settings(settings)
    , m_sync(sync)
    , m_session(session)
    , m_clock(std::move(clock))
    , m_refreshAge(refreshAge) {
    m_timer.setInterval(tick);
    QObject::connect(&m_timer, &QTimer::timeout, this, &MomentMaintenance::tick);
}

MomentMaintenance::~MomentMaintenance() {
    stop();
}

void MomentMaintenance::start() {
    if (m_started)
        return;
    m_started = true;
    const auto trigger = [this] { requestRefresh(); };
    m_observers = {
        QObject::connect(&m_calendar, &CalendarRepository::changed, this, [this] { requestRefresh(false); }),
        // Choosing calendars or turning Moments on in the settings shows at once.
        QObject::connect(&m_settings, &SettingsStore::calendarIDsChanged, this, trigger),
        QObject::connect(&m_settings, &SettingsStore::calendarConnectedChanged, this, trigger),
        QObject::connect(&m_settings, &SettingsStore::momentsEnabledChanged, this, trigger),
        QObject::connect(&m_settings, &SettingsStore::momentDelayMinutesChanged, this, trigger),
        QObject::connect(&m_sync, &ProfileSyncEngine::hasLoadedChanged, this,
                         [this] {
                             if (m_waitingForProfiles)
                                 requestRefresh();
                         }),
    };
    if (m_session) {
        m_observers.append(QObject::connect(m_session, &SessionEvents::woke, this, trigger));
        m_observers.append(QObject::connect(m_session, &SessionEvents::sessionActive, this, trigger));
    }
    m_timer.start();
    requestRefresh();
}

void MomentMaintenance::stop() {
    if (!m_started)
        return;
    m_started = false;
    for (const QMetaObject::Connection& observer : std::as_const(m_observers))
        QObject::disconnect(observer);
    m_observers.clear();
    m_timer.stop();
}

void MomentMaintenance::requestRefresh(bool checkAccess) {
    if (!m_started)
        return;
    m_checkAccess = m_checkAccess || checkAccess;
    if (!m_sync.hasLoaded()) {
        m_waitingForProfiles = true;
        return;
    }
    m_waitingForProfiles = false;
    if (m_running) {
        m_again = true;
        return;
    }
    run();
}

void MomentMaintenance::tick() {
    const QDateTime now = m_clock();
    m_moments.expire(now);
    if (!m_lastRefresh.isValid() || m_lastRefresh.secsTo(now) >= m_refreshAge.count())
        requestRefresh();
}

QCoro::Task<void> MomentMaintenance::run() {
    const QPointer<MomentMaintenance> self(this);
    m_running = true;
    do {
        m_again = false;
        m_lastRefresh = m_clock();
        ++m_refreshCount;
        MomentService& moments = m_moments;
        if (std::exchange(m_checkAccess, false) || moments.access() != CalendarAccess::FullAccess) {
            auto access = moments.refreshAccess();
            co_await access;
            if (!self)
                co_return;
        }
        auto refreshing = moments.refresh(m_clock());
        co_await refreshing;
        if (!self)
            co_return;
    } while (m_again && m_started);
    m_running = false;
    Q_EMIT refreshed();
}

} // namespace pemmo
