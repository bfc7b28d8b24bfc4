// The day a timeline entry happened, as the entry form shows and reads it: "today", "yesterday"
// or a date, and the instant stored for it.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace pemmo::EntryDay {

// "today", "yesterday" (any case, trimmed), a date as ISO 8601 writes it (2026-12-06), or as the
// locale writes it in short with a four-digit year. Absent when the text is none of these.
std::optional<QDate> parse(const QString& text, QDate today);

// What the form shows for `day`: "today", "yesterday", else the ISO date.
QString format(QDate day, QDate today);

// The instant stored for an entry on `day` when it is saved at `now`: `now` itself for today;
// noon of that day in local time for an earlier one (noon keeps the day the same wherever the
// entry is read within a few hours of here).
QDateTime instant(QDate day, const QDateTime& now);

} // namespace pemmo::EntryDay
