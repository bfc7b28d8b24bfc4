#include "Calendar/CalendarAccess.h"

#include <array>

namespace pemmo::CalendarAccesses {

namespace {

constexpr std::array kAll{CalendarAccess::NotDetermined, CalendarAccess::Denied, CalendarAccess::Restricted,
                          CalendarAccess::WriteOnly, CalendarAccess::FullAccess};

} // namespace

QString rawValue(CalendarAccess access) {
    switch (access) {
    case CalendarAccess::NotDetermined:
        return QStringLiteral("notDetermined");
    case CalendarAccess::Denied:
        return QStringLiteral("denied");
    case CalendarAccess::Restricted:
        return QStringLiteral("restricted");
    case CalendarAccess::WriteOnly:
        return QStringLiteral("writeOnly");
    case CalendarAccess::FullAccess:
        return QStringLiteral("fullAccess");
    }
    return {};
}

std::optional<CalendarAccess> fromRawValue(QStringView raw) {
    for (const CalendarAccess access : kAll) {
        if (rawValue(access) == raw)
            return access;
    }
    return std::nullopt;
}

} // namespace pemmo::CalendarAccesses
