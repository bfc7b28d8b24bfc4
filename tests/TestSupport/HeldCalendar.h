// A calendar whose event reads wait until the test lets them through, so that a test can act
// while a refresh is in flight (a disconnect, another trigger) at a moment of its choosing.
#pragma once

#include "Calendar/InMemoryCalendarRepository.h"

namespace pemmo::test {

class HeldCalendar : public CalendarRepository {
    Q_OBJECT

public:
    explicit HeldCalendar(CalendarAccess access = CalendarAccess::FullAccess,
                          QList<ObservedCalendar> calendars = {}, QObject* parent = nullptr);

    InMemoryCalendarRepository& inner() { return m_inner; }
    // While held (the start), every event read waits for `release`.
    void setHeld(bool held) { m_held = held; }
    // Lets every waiting read go on.
    void release() { Q_EMIT released(); }
    // Reads waiting now.
    int waiting() const { return m_waiting; }

    // The in-memory calendar's own controls.
    void setSnapshots(QList<CalendarEventSnapshot> snapshots) { m_inner.setSnapshots(std::move(snapshots)); }
    void setUnavailable(bool unavailable) { m_inner.setUnavailable(unavailable); }
    void setAuthorization(CalendarAccess access) { m_inner.setAuthorization(access); }
    // Asking for the access fails, as when the folders do not answer in time.
    void setAuthorizationFails(bool fails) { m_authorizationFails = fails; }
    int eventReads() const { return m_inner.eventReads(); }

    QCoro::Task<CalendarAccess> authorization() override;
    QCoro::Task<CalendarAccess> requestAccess() override;
    QCoro::Task<QList<ObservedCalendar>> calendars() override;
    QCoro::Task<QList<CalendarEventSnapshot>> events(QDateTime start, QDateTime end,
                                                     QSet<QString> calendarIDs) override;

Q_SIGNALS:
    void released();

private:
    InMemoryCalendarRepository m_inner;
    bool m_held = true;
    bool m_authorizationFails = false;
    int m_waiting = 0;
};

} // namespace pemmo::test
