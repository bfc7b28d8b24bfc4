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

// The file for these entries (id and entry), keys in code point order.
std::string encode(const QString& embedder, int dimension,
                   const std::vector<std::pair<QString, const StoredEmbedding*>>& entries);

// The entries of the file at `path` (already read into `bytes`) for the given embedder and
// dimension, logging under "com.dorvane.Pemmo.embeddings" what was discarded and why.
QHash<QString, StoredEmbedding> decode(const QByteArray& bytes, const QString& embedder, int dimension,
                                       const QString& path);

} // namespace EmbeddingIndexFile
} // namespace pemmo
