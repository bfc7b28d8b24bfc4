// A calendar held in memory: for the in-memory environments (the onboarding practice) and tests.
// A serial actor like the folder calendar: every call runs on its own thread, in order, and
// resumes the caller on the caller's thread, so callers meet the same suspensions as in real use.
#pragma once

#include "Calendar/CalendarRepository.h"

#include <memory>

namespace pemmo {

class SerialExecutor;

class InMemoryCalendarRepository : public CalendarRepository {
    Q_OBJECT

public:
    InMemoryCalendarRepository(CalendarAccess authorization = CalendarAccess::NotDetermined,
                               QList<ObservedCalendar> calendarList = {},
                               QList<CalendarEventSnapshot> snapshots = {}, QObject* parent = nullptr);
    ~InMemoryCalendarRepository() override;

    QCoro::Task<CalendarAccess> authorization() override;
    // Grants full access.
    QCoro::Task<CalendarAccess> requestAccess() override;
    // Fail with a read error while unavailable.
    QCoro::Task<QList<ObservedCalendar>> calendars() override;
    QCoro::Task<QList<CalendarEventSnapshot>> events(QDateTime start, QDateTime end,
                                                     QSet<QString> calendarIDs) override;

    // Take effect for every call made after them.
    void setAuthorization(CalendarAccess authorization);
    void setUnavailable(bool unavailable);
    void setCalendarList(QList<ObservedCalendar> calendarList);
    // Replaces the events and announces the change.
    void setSnapshots(QList<CalendarEventSnapshot> snapshots);

    // How many times `events` ran.
    int eventReads() const;

private:
    struct State;

    std::shared_ptr<State> m_state;
    std::unique_ptr<SerialExecutor> m_executor;
};

} // namespace pemmo
