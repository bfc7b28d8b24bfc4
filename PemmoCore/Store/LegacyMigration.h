// Recognises and converts the store file of Pemmo's earlier layout (a map of contact id to
// {"contactID", "pemmoData", "plainNote", "updatedAt"}).
#pragma once

#include "Store/StoreFile.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <optional>

namespace pemmo::LegacyMigration {

// True for a JSON object without "schema" holding at least one member whose "pemmoData" is
// present and not null.
bool isLegacy(QByteArrayView bytes);

// Converts every member into a record. Nothing the earlier file held is dropped: what has no
// field of its own becomes a line of `about`. Throws DecodingError when the bytes are not a JSON
// object.
RecordMap migrate(QByteArrayView bytes, const QDateTime& now);

// Reads a date as the earlier versions wrote them: ISO 8601, a few fixed formats, or seconds since
// 2001-01-01 as a number in text. A date-only text is the start of that day in the local time zone.
std::optional<QDateTime> parseLegacyDate(const QString& text);

} // namespace pemmo::LegacyMigration
