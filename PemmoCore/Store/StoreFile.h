// The store file document: {"schema": 2, "records": {id: record, ...}}, also the export format.
#pragma once

#include "Records/PemmoRecord.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <string>

namespace pemmo {

using RecordMap = QHash<QString, PemmoRecord>;

namespace StoreFile {

constexpr std::int64_t currentSchema = 2;

// Compact, records in id order: what the store writes.
std::string encode(const RecordMap& records);
// Pretty-printed with every object's keys sorted: what export writes.
std::string encodeForExport(const RecordMap& records);

// Both "schema" and "records" are required; every record is decoded strictly. Records without
// "updatedAt" get `now`. Throws DecodingError.
RecordMap decode(QByteArrayView bytes, const QDateTime& now);

} // namespace StoreFile
} // namespace pemmo
