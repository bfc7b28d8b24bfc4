// Store file decoding on arbitrary bytes. Whatever decodes must survive a write and a read
// unchanged, in both the store's compact form and the export form; anything else must fail with a
// DecodingError, never a crash. The classifier the store loads with agrees with the decoder.
#include "Store/StoreClassifier.h"
#include "Store/StoreFile.h"
#include "Support/DecodingError.h"

#include <QDateTime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

RecordMap decodeOwn(const std::string& bytes, const QDateTime& now, const char* form) {
    try {
        return StoreFile::decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), now);
    } catch (const DecodingError& error) {
        std::fprintf(stderr, "The %s form of a decoded store does not decode: %s\n%s\n", form, error.what(),
                     bytes.c_str());
        std::abort();
    }
}

void requireEqual(const RecordMap& expected, const RecordMap& actual, const char* form) {
    if (actual == expected)
        return;
    std::fprintf(stderr, "The %s form of a decoded store reads back different records\n", form);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()) || actual.value(it.key()) != it.value())
            std::fprintf(stderr, "  record %s differs\n", qUtf8Printable(it.key()));
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Records without "updatedAt" take this time; a fixed one keeps runs reproducible.
    static const QDateTime now = QDateTime::fromSecsSinceEpoch(1772355600, Qt::UTC);
    RecordMap records;
    bool decoded = true;
    try {
        records = StoreFile::decode(QByteArrayView(data, static_cast<qsizetype>(size)), now);
    } catch (const DecodingError&) {
        decoded = false;
    }

    // The store reads its file in place, past the end into the spare capacity; what lies there
    // must not change the outcome. Quotes and braces are the worst a parser could stumble on.
    QByteArray inPlace;
    inPlace.reserve(static_cast<qsizetype>(size) + 128);
    inPlace.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    inPlace.append(QByteArray(127, '"').replace(1, 3, "{[\\"));
    inPlace.truncate(static_cast<qsizetype>(size));
    try {
        const RecordMap again = StoreFile::decode(inPlace, now);
        if (!decoded || again != records) {
            std::fprintf(stderr, "Decoding in place reads differently from decoding a copy\n");
            std::abort();
        }
    } catch (const DecodingError& error) {
        if (decoded) {
            std::fprintf(stderr, "Decoding in place fails where a copy decodes: %s\n", error.what());
            std::abort();
        }
    }
    const StoreClassifier::Result found = StoreClassifier::classify(inPlace, now);
    const bool current = found.kind == StoreClassifier::Kind::Current;
    const bool newer = found.kind == StoreClassifier::Kind::Newer;
    if ((current || (newer && !found.records.isEmpty())) && (!decoded || found.records != records)) {
        std::fprintf(stderr, "The classifier reads records the decoder does not\n");
        std::abort();
    }
    if (decoded && !current && !newer) {
        std::fprintf(stderr, "The classifier calls damaged what the decoder reads\n");
        std::abort();
    }
    if (!decoded)
        return 0;
    const std::string compact = StoreFile::encode(records);
    requireEqual(records, decodeOwn(compact, now, "compact"), "compact");
    const std::string exported = StoreFile::encodeForExport(records);
    requireEqual(records, decodeOwn(exported, now, "export"), "export");
    return 0;
}
