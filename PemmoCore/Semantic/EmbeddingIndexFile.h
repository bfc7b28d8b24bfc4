// The embedding index's file, "embeddings.json": which embedder made the vectors, their length,
// and per contact the content hash and the vectors as Base64 of little-endian 32-bit floats.
// Decoding follows the file's rules: an unreadable file or one from another embedder gives no
// entries, and an entry with a vector of the wrong length is dropped on its own.
#pragma once

#include "Semantic/Embedder.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace pemmo {

struct StoredEmbedding {
    QString hash; // content hash of the profile text
    // The profile's vector, then one per memory, `dimension` floats each, side by side so that a
    // search runs through memory in order.
    std::vector<float> vectors;

    bool operator==(const StoredEmbedding&) const = default;
};

namespace EmbeddingIndexFile {

inline QString fileName() {
    return QStringLiteral("embeddings.json");
}

// Standard Base64 (with padding) of the floats' little-endian bytes.
std::string encodeVector(const EmbeddingVector& vector);
// The floats of `base64`; absent unless it is valid Base64 of exactly `dimension` floats.
std::optional<EmbeddingVector> decodeVector(std::string_view base64, int dimension);

// One entry to write: the contact id, the content hash, and `count` vectors of the dimension
// side by side (the profile's first).
struct EntryView {
    QString id;
    QString hash;
    const float* vectors = nullptr;
    std::size_t count = 0;
};

// The file for these entries, keys in code point order.
std::string encode(const QString& embedder, int dimension, std::vector<EntryView> entries);

// The file's entries as they are kept in memory: every vector side by side in `rows`, each entry
// naming its own.
struct Rows {
    struct Entry {
        QString id;
        QString hash;
        std::size_t firstRow = 0;
        std::size_t rowCount = 0;
    };
    std::vector<Entry> entries;
    std::vector<float> rows;
};

// The whole file at `path`, with room after its end for the decoder to read ahead (no copy is
// then made). Throws FileError.
QByteArray read(const QString& path);

// The entries of the file at `path` (already read into `bytes`) for the given embedder and
// dimension, logging under "com.dorvane.Pemmo.embeddings" what was discarded and why.
Rows decodeRows(const QByteArray& bytes, const QString& embedder, int dimension, const QString& path);
// The same, one StoredEmbedding per contact.
QHash<QString, StoredEmbedding> decode(const QByteArray& bytes, const QString& embedder, int dimension,
                                       const QString& path);

} // namespace EmbeddingIndexFile
} // namespace pemmo
