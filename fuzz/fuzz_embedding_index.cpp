// The embedding index's file on arbitrary bytes, for a few vector lengths. Decoding never fails
// outright (a file it cannot use gives no entries); every entry it keeps has whole vectors of the
// length asked for; reading ahead into the room after the text changes nothing; and the entries,
// written out again, read back bit for bit. (Base64 whose unused bits are set reads as if they
// were not, so a vector is compared after a write and a read, not with the text it came from.)
#include "Semantic/EmbeddingIndexFile.h"

#include <QLoggingCategory>
#include <QSet>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace pemmo;

namespace {

const QString kEmbedder = QStringLiteral("fuzz-embedder");
const QString kPath = QStringLiteral("embeddings.json");

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "%s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

bool sameRows(const EmbeddingIndexFile::Rows& a, const EmbeddingIndexFile::Rows& b) {
    if (a.entries.size() != b.entries.size() || a.rows.size() != b.rows.size())
        return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const auto& x = a.entries[i];
        const auto& y = b.entries[i];
        if (x.id != y.id || x.hash != y.hash || x.firstRow != y.firstRow || x.rowCount != y.rowCount)
            return false;
    }
    // Bit for bit: a NaN read from the file is not equal to itself.
    return a.rows.empty() || std::memcmp(a.rows.data(), b.rows.data(), a.rows.size() * sizeof(float)) == 0;
}

void check(const QByteArray& bytes, int dimension) {
    const EmbeddingIndexFile::Rows rows = EmbeddingIndexFile::decodeRows(bytes, kEmbedder, dimension, kPath);
    std::size_t used = 0;
    QSet<QString> ids;
    bool repeated = false;
    for (const auto& entry : rows.entries) {
        if (entry.rowCount < 1 || entry.firstRow != used)
            fail("An entry without its own rows", entry.id);
        used += entry.rowCount;
        repeated = repeated || ids.contains(entry.id);
        ids.insert(entry.id);
    }
    if (rows.rows.size() != used * std::size_t(dimension))
        fail("Rows that no entry holds");

    // The same bytes with room after them, filled with what a parser could stumble on.
    QByteArray padded;
    padded.reserve(bytes.size() + 256);
    padded.append(bytes);
    padded.append(QByteArray(255, '"').replace(1, 3, "{[\\"));
    padded.truncate(bytes.size());
    if (!sameRows(rows, EmbeddingIndexFile::decodeRows(padded, kEmbedder, dimension, kPath)))
        fail("Reading ahead changes what the file holds");

    const QHash<QString, StoredEmbedding> stored =
        EmbeddingIndexFile::decode(bytes, kEmbedder, dimension, kPath);
    if (stored.size() != ids.size())
        fail("The entries by contact differ from the rows");
    if (repeated)
        return; // which of two entries of one contact is written first is not defined

    std::vector<EmbeddingIndexFile::EntryView> views;
    for (const auto& entry : rows.entries)
        views.push_back({entry.id, entry.hash, rows.rows.data() + entry.firstRow * std::size_t(dimension),
                         entry.rowCount});
    const std::string written = EmbeddingIndexFile::encode(kEmbedder, dimension, views);
    const QByteArray again = QByteArray::fromStdString(written);
    const QHash<QString, StoredEmbedding> reread =
        EmbeddingIndexFile::decode(again, kEmbedder, dimension, kPath);
    if (reread.size() != stored.size())
        fail("Written entries read back as another number", QString::fromStdString(written));
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const auto found = reread.constFind(it.key());
        if (found == reread.cend() || found->hash != it->hash ||
            found->vectors.size() != it->vectors.size() ||
            (!it->vectors.empty() &&
             std::memcmp(found->vectors.data(), it->vectors.data(), it->vectors.size() * sizeof(float)) != 0))
            fail("A written entry reads back differently", it.key());
    }
    for (const auto& [id, entry] : stored.asKeyValueRange()) {
        if (entry.vectors.empty())
            continue;
        // One vector on its own goes through the same coding.
        const EmbeddingVector first(entry.vectors.begin(), entry.vectors.begin() + dimension);
        const auto decoded =
            EmbeddingIndexFile::decodeVector(EmbeddingIndexFile::encodeVector(first), dimension);
        if (!decoded || std::memcmp(decoded->data(), first.data(), first.size() * sizeof(float)) != 0)
            fail("A vector does not read back", id);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every file it cannot use is logged; thousands a second say nothing here.
    QLoggingCategory::setFilterRules(QStringLiteral("com.dorvane.Pemmo.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const int dimension : {1, 2, 3, 4})
        check(bytes, dimension);
    // A vector on its own, any text at all.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const int dimension : {0, 1, 2, 3}) {
        if (const auto vector = EmbeddingIndexFile::decodeVector(text, dimension)) {
            const auto again =
                EmbeddingIndexFile::decodeVector(EmbeddingIndexFile::encodeVector(*vector), dimension);
            if (vector->size() != std::size_t(dimension) || !again ||
                (dimension > 0 &&
                 std::memcmp(again->data(), vector->data(), vector->size() * sizeof(float)) != 0))
                fail("A vector read from Base64 does not write back the same");
        }
    }
    return 0;
}
