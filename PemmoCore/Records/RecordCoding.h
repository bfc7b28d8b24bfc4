// The JSON coding of records: the on-disk format of the store and export files.
#pragma once

#include "Records/PemmoRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

namespace pemmo {

class JsonWriter;

namespace RecordCoding {

// Writes the record as one JSON object: all fourteen keys in their fixed order (or sorted, as the
// writer asks), absent optionals as null; member types leave out their absent optionals.
void encode(JsonWriter& writer, const PemmoRecord& record);
QByteArray encode(const PemmoRecord& record);

// Reads one record. Missing keys take their defaults (`updatedAt` = `now`); a key of the wrong type,
// a required member key missing or an unknown enumeration name throws DecodingError.
PemmoRecord decode(QByteArrayView json, const QDateTime& now);

} // namespace RecordCoding
} // namespace pemmo
