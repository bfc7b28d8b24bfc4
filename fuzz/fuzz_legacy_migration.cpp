// Recognising and converting the earlier store layout on arbitrary bytes: the recogniser never
// fails, the converter fails only with a DecodingError, and whatever it converts can be written
// as a store file and read back.
#include "Store/LegacyMigration.h"
#include "Store/StoreFile.h"
#include "Support/DecodingError.h"

#include <QDateTime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

// Migration gives fresh random ids to what it creates, so the round trip compares the records
// themselves, which keep those ids.
void requireRoundTrip(const RecordMap& records, const QDateTime& now) {
    const std::string bytes = StoreFile::encode(records);
    RecordMap again;
    try {
        again = StoreFile::decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), now);
    } catch (const DecodingError& error) {
        std::fprintf(stderr, "Migrated records do not decode after writing: %s\n", error.what());
        std::abort();
    }
    if (again != records) {
        std::fprintf(stderr, "Migrated records read back different after writing\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QDateTime now = QDateTime::fromSecsSinceEpoch(1772355600, Qt::UTC);
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const bool legacy = LegacyMigration::isLegacy(bytes);
    RecordMap records;
    try {
        records = LegacyMigration::migrate(bytes, now);
    } catch (const DecodingError&) {
        if (legacy) {
            std::fprintf(stderr, "A file recognised as the earlier layout failed to convert\n");
            std::abort();
        }
        return 0;
    }
    requireRoundTrip(records, now);
    return 0;
}
