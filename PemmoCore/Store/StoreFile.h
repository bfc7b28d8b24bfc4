// The store file document: {"schema": 2, "records": {id: record, ...}}, also the export format.
#pragma once

#include "Records/PemmoRecord.h"
#include "Support/Shared.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <concepts>
#include <string>

namespace pemmo {

// Each record is one body, shared by whoever reads the records (the published profiles).
using RecordMap = QHash<QString, Shared<PemmoRecord>>;

namespace StoreFile {

constexpr std::int64_t currentSchema = 2;

// Compact, records in id order: what the store writes.
std::string encode(const RecordMap& records);
// Pretty-printed with every object's keys sorted: what export writes.
std::string encodeForExport(const RecordMap& records);

// Both "schema" and "records" are required; every record is decoded strictly. Records without
// "updatedAt" get `now`. Throws DecodingError.
RecordMap decode(QByteArrayView bytes, const QDateTime& now);

// The whole document: its "schema" as well as its records.
struct Document {
    std::int64_t schema = currentSchema;
    RecordMap records;
};
// Like `decode`, parsing in place when the array has room to spare. Throws DecodingError.
Document decodeDocument(const QByteArray& bytes, const QDateTime& now);

namespace detail {
RecordMap decodeInPlace(const QByteArray& bytes, const QDateTime& now);
}

// The same for a QByteArray: parsed in place when it has spare capacity after its end, as one read
// from a file has, instead of through a copy of the whole file. (A template, so that a text
// literal still picks the overload above.)
template <class Bytes>
requires std::same_as<Bytes, QByteArray> RecordMap decode(const Bytes& bytes, const QDateTime& now) {
    return detail::decodeInPlace(bytes, now);
}

} // namespace StoreFile
} // namespace pemmo
