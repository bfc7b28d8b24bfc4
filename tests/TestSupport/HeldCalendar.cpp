#include "TestSupport/HeldCalendar.h"

#include "Calendar/CalendarError.h"

#include <QCoroSignal>

namespace pemmo::test {

HeldCalendar::HeldCalendar(CalendarAccess access, QList<ObservedCalendar> calendars, QObject* parent)
    : CalendarRepository(parent)
    , m_inner(access, std::move(calendars)) {
    connect(&m_inner, &CalendarRepository::changed, this, &CalendarRepository::changed);
}

QCoro::Task<CalendarAccess> HeldCalendar::authorization() {
    if (m_authorizationFails)
        throw CalendarError::unreadable();
    auto asking = m_inner.authorization();
    co_return co_await asking;
}

QCoro::Task<CalendarAccess> HeldCalendar::requestAccess() {
    return m_inner.requestAccess();
}

QCoro::Task<QList<ObservedCalendar>> HeldCalendar::calendars() {
    return m_inner.calendars();
}

QCoro::Task<QList<CalendarEventSnapshot>> HeldCalendar::events(QDateTime start, QDateTime end,
                                                               QSet<QString> calendarIDs) {
    if (m_held) {
        ++m_waiting;
        co_await qCoro(this, &HeldCalendar::released);
        --m_waiting;
    }
    auto reading = m_inner.events(start, end, calendarIDs);
    co_return co_await reading;
}

} // namespace pemmo::test
