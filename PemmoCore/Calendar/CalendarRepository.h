// The calendar as the Moment logic sees it: one interface over the user's iCalendar folders and
// over an in-memory calendar, so the logic runs unchanged against either. Read-only: nothing is
// ever written to a calendar.
#pragma once

#include "Calendar/CalendarAccess.h"
#include "Calendar/CalendarEventSnapshot.h"
#include "Calendar/ObservedCalendar.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace pemmo {

class CalendarRepository : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~CalendarRepository() override = default;

    // The current permission, without asking the user.
    virtual QCoro::Task<CalendarAccess> authorization() = 0;
    // Asks the user for read access when it was never decided, then answers the resulting state.
    virtual QCoro::Task<CalendarAccess> requestAccess() = 0;
    // The calendars Pemmo can read (none without access).
    virtual QCoro::Task<QList<ObservedCalendar>> calendars() = 0;
    // Every occurrence in the calendars `calendarIDs` that overlaps the window from `start` to
    // `end` (both included). Throws when the calendar cannot be read.
    virtual QCoro::Task<QList<CalendarEventSnapshot>> events(QDateTime start, QDateTime end,
                                                             QSet<QString> calendarIDs) = 0;

Q_SIGNALS:
    // The calendar changed, by anyone: one signal per burst of changes.
    void changed();
};

} // namespace pemmo
