// A calendar Pemmo can read: its identifier (on Linux the absolute path of the collection folder
// or the ".ics" file) and the title the user knows it by.
#pragma once

#include <QHashFunctions>
#include <QString>

namespace pemmo {

struct ObservedCalendar {
    QString id;
    QString title;

    bool operator==(const ObservedCalendar&) const = default;
};

inline size_t qHash(const ObservedCalendar& calendar, size_t seed = 0) {
    return qHashMulti(seed, calendar.id, calendar.title);
}

} // namespace pemmo
