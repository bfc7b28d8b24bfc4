// Tells what the bytes of a store file are (the current layout, a newer one, the earlier one, or
// damaged) and reads the records out of them where it can. The store's owner and a reader beside
// the running application decide alike because both ask here.
#pragma once

#include "Store/StoreFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace pemmo::StoreClassifier {

enum class Kind {
    Current, // decodes, and nothing in it is newer than this build writes
    Newer,   // "schema" above ours, in the file or in a record: a newer Pemmo wrote it
    Legacy,  // the earlier layout; the records are its conversion
    Damaged, // none of these; no records
};

struct Result {
    Kind kind = Kind::Damaged;
    // Current and Legacy: all of them. Newer: those this build can decode (none when the layout
    // itself changed).
    RecordMap records;
    // Why the bytes do not decode as a store file: for Damaged, and for Newer when its layout is
    // beyond this build. Empty otherwise.
    QString problem;
};

// True for a "schema" (of the file or of a record) that this build does not know.
bool isNewerSchema(std::int64_t schema);

// Newer when the document's "schema" or any record's is above ours.
bool isNewer(const StoreFile::Document& document);

// Never throws. `now` stamps records without "updatedAt" and dates the conversion of the earlier
// layout.
Result classify(const QByteArray& bytes, const QDateTime& now);

} // namespace pemmo::StoreClassifier
