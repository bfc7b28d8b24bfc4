// ISO 8601 internet date-times with whole seconds, as our files code every date.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace pemmo::IsoDate {

// "2026-03-04T10:15:00Z": UTC, whole seconds. An instant outside the years 0000 to 9999 is written
// as the nearest one inside them.
QString format(const QDateTime& date);
void appendTo(std::string& out, const QDateTime& date);

// Reads "YYYY-MM-DDTHH:MM:SS" followed by "Z" or a "+HH:MM" / "-HH:MM" offset; fractional seconds
// are accepted and dropped. Anything else (no time, no zone, out-of-range fields, an instant that
// the offset moves outside the years 0000 to 9999) is absent.
std::optional<QDateTime> parse(std::string_view text);
std::optional<QDateTime> parse(const QString& text);

} // namespace pemmo::IsoDate
