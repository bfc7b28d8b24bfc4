// One participant of a calendar event, as the Moment logic sees it.
#pragma once

#include <QHashFunctions>
#include <QString>

namespace pemmo {

struct CalendarAttendee {
    enum class Kind { Person, Resource, Group, Unknown };

    QString email; // normalised address; empty when the participant has none
    QString name;  // empty when unknown
    bool isSelf = false;
    bool declined = false;
    Kind kind = Kind::Person;

    bool operator==(const CalendarAttendee&) const = default;
};

inline size_t qHash(const CalendarAttendee& a, size_t seed = 0) {
    return qHashMulti(seed, a.email, a.name, a.isSelf, a.declined, static_cast<int>(a.kind));
}

} // namespace pemmo
