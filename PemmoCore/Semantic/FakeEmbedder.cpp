#include "Semantic/FakeEmbedder.h"

#include "Support/Hashing.h"

namespace pemmo {

// The hash of the trimmed text seeds a splitmix64 sequence; each of its 32 outputs becomes one
// value in [-1, 1]. Every bit of the hash reaches every value, so texts one letter apart differ
// everywhere.
std::optional<EmbeddingVector> FakeEmbedder::embed(const QString& text) const {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    quint64 state = Hashing::fnv1a64(trimmed.toUtf8());
    EmbeddingVector vector(static_cast<std::size_t>(dimension()));
    for (float& value : vector) {
        state += 0x9e3779b97f4a7c15ULL;
        quint64 z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        value = static_cast<float>(static_cast<double>(z >> 11) / 4503599627370496.0 - 1.0); // 2^52
    }
    return vector;
}

} // namespace pemmo
