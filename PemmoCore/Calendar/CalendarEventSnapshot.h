// One occurrence of one calendar event, as read at one moment. The Moment logic sees nothing of
// the calendar but these.
#pragma once

#include "Calendar/CalendarAttendee.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

struct CalendarEventSnapshot {
    QString calendarID;
    QString sourceID;   // the account the calendar belongs to; empty when none
    QString externalID; // the event's identifier shared across devices (UID); empty when none
    QString localID;    // the event's identifier in the local store; empty when none
    QString title;
    QDateTime start;
    QDateTime end;
    // For a repeating series: the start this occurrence has in the series' pattern, which stays
    // the same when the single occurrence is moved.
    std::optional<QDateTime> occurrence;
    bool recurring = false; // part of a series, a detached occurrence included
    bool allDay = false;
    bool cancelled = false;
    QList<CalendarAttendee> attendees; // in the calendar's order, the organiser last when appended

    bool operator==(const CalendarEventSnapshot&) const = default;
};

} // namespace pemmo
