#include "Calendar/InMemoryCalendarRepository.h"

#include "Calendar/CalendarError.h"
#include "Support/SerialExecutor.h"

#include <QMutex>
#include <QMutexLocker>
#include <atomic>

namespace pemmo {

struct InMemoryCalendarRepository::State {
    QMutex lock;
    CalendarAccess authorization;
    QList<ObservedCalendar> calendarList;
    QList<CalendarEventSnapshot> snapshots;
    bool unavailable = false;
    std::atomic<int> eventReads{0};
};

InMemoryCalendarRepository::InMemoryCalendarRepository(CalendarAccess authorization,
                                                       QList<ObservedCalendar> calendarList,
                                                       QList<CalendarEventSnapshot> snapshots,
                                                       QObject* parent)
    : CalendarRepository(parent)
    , m_state(std::make_shared<State>())
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("InMemoryCalendar"))) {
    m_state->authorization = authorization;
    m_state->calendarList = std::move(calendarList);
    m_state->snapshots = std::move(snapshots);
}

InMemoryCalendarRepository::~InMemoryCalendarRepository() = default;

QCoro::Task<CalendarAccess> InMemoryCalendarRepository::authorization() {
    auto future = m_executor->post([state = m_state] {
        QMutexLocker locker(&state->lock);
        return state->authorization;
    });
    co_return co_await future;
}

QCoro::Task<CalendarAccess> InMemoryCalendarRepository::requestAccess() {
    auto future = m_executor->post([state = m_state] {
        QMutexLocker locker(&state->lock);
        state->authorization = CalendarAccess::FullAccess;
        return CalendarAccess::FullAccess;
    });
    co_return co_await future;
}

QCoro::Task<QList<ObservedCalendar>> InMemoryCalendarRepository::calendars() {
    auto future = m_executor->post([state = m_state] {
        QMutexLocker locker(&state->lock);
        if (state->unavailable)
            throw CalendarError::unreadable();
        return state->calendarList;
    });
    co_return co_await future;
}

QCoro::Task<QList<CalendarEventSnapshot>> InMemoryCalendarRepository::events(QDateTime start, QDateTime end,
                                                                             QSet<QString> calendarIDs) {
    auto future = m_executor->post([state = m_state, start, end, calendarIDs] {
        QMutexLocker locker(&state->lock);
        ++state->eventReads;
        if (state->unavailable)
            throw CalendarError::unreadable();
        QList<CalendarEventSnapshot> found;
        for (const CalendarEventSnapshot& snapshot : std::as_const(state->snapshots)) {
            if (calendarIDs.contains(snapshot.calendarID) && snapshot.end >= start && snapshot.start <= end)
                found.append(snapshot);
        }
        return found;
    });
    co_return co_await future;
}

void InMemoryCalendarRepository::setAuthorization(CalendarAccess authorization) {
    QMutexLocker locker(&m_state->lock);
    m_state->authorization = authorization;
}

void InMemoryCalendarRepository::setUnavailable(bool unavailable) {
    QMutexLocker locker(&m_state->lock);
    m_state->unavailable = unavailable;
}

void InMemoryCalendarRepository::setCalendarList(QList<ObservedCalendar> calendarList) {
    QMutexLocker locker(&m_state->lock);
    m_state->calendarList = std::move(calendarList);
}

void InMemoryCalendarRepository::setSnapshots(QList<CalendarEventSnapshot> snapshots) {
    {
        QMutexLocker locker(&m_state->lock);
        m_state->snapshots = std::move(snapshots);
    }
    Q_EMIT changed();
}

int InMemoryCalendarRepository::eventReads() const {
    return m_state->eventReads;
}

} // namespace pemmo
