// Whether Pemmo may read the calendar, as the calendar source reports it.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace pemmo {

enum class CalendarAccess {
    NotDetermined, // the user has not been asked yet (on Linux: no calendar chosen)
    Denied,        // the user refused (on Linux: a chosen calendar cannot be read)
    Restricted,    // blocked by policy
    WriteOnly,     // events could be added but not read: no access for Pemmo
    FullAccess,    // events can be read
};

namespace CalendarAccesses {

// The case name: "notDetermined", "denied", "restricted", "writeOnly", "fullAccess".
QString rawValue(CalendarAccess access);
std::optional<CalendarAccess> fromRawValue(QStringView raw);

} // namespace CalendarAccesses

} // namespace pemmo
