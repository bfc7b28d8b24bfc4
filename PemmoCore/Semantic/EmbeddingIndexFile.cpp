#include "Semantic/EmbeddingIndexFile.h"

#include "Support/JsonWriter.h"
#include "Support/Logging.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <simdjson.h>

namespace pemmo::EmbeddingIndexFile {
namespace {

static_assert(std::endian::native == std::endian::little, "vectors are copied as little-endian bytes");

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::uint8_t, 256> decodingTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& value : table)
        value = 0xff;
    for (std::uint8_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = i;
    return table;
}
constexpr std::array<std::uint8_t, 256> kDecoding = decodingTable();

// Decodes standard Base64 with padding into `out`; false on any character outside the alphabet,
// misplaced padding or a length that is not a multiple of four.
bool decodeBase64(std::string_view text, std::string& out) {
    if (text.size() % 4 != 0)
        return false;
    out.clear();
    if (text.empty())
        return true;
    std::size_t padding = 0;
    if (text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    out.resize(text.size() / 4 * 3 - padding);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t o = 0;
    const std::size_t full = (text.size() - (padding ? 4 : 0)) / 4;
    for (std::size_t q = 0; q < full; ++q, in += 4) {
        const std::uint32_t a = kDecoding[in[0]], b = kDecoding[in[1]], c = kDecoding[in[2]],
                            d = kDecoding[in[3]];
        if ((a | b | c | d) & 0x80)
            return false;
        const std::uint32_t triple = (a << 18) | (b << 12) | (c << 6) | d;
        out[o++] = char(triple >> 16);
        out[o++] = char(triple >> 8);
        out[o++] = char(triple);
    }
    if (padding) {
        const std::uint32_t a = kDecoding[in[0]], b = kDecoding[in[1]];
        const std::uint32_t c = padding == 1 ? kDecoding[in[2]] : 0;
        if ((a | b | c) & 0x80 || (padding == 2 && in[2] != '='))
            return false;
        const std::uint32_t triple = (a << 18) | (b << 12) | (c << 6);
        out[o++] = char(triple >> 16);
        if (padding == 1)
            out[o++] = char(triple >> 8);
    }
    return true;
}

void appendBase64(std::string& out, const unsigned char* bytes, std::size_t size) {
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t triple =
            (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out += alphabet[(triple >> 18) & 63];
        out += alphabet[(triple >> 12) & 63];
        out += alphabet[(triple >> 6) & 63];
        out += alphabet[triple & 63];
    }
    if (i < size) {
        std::uint32_t triple = std::uint32_t(bytes[i]) << 16;
        if (i + 1 < size)
            triple |= std::uint32_t(bytes[i + 1]) << 8;
        out += alphabet[(triple >> 18) & 63];
        out += alphabet[(triple >> 12) & 63];
        out += i + 1 < size ? alphabet[(triple >> 6) & 63] : '=';
        out += '=';
    }
}

// Appends the floats of `base64` to `out`; false unless there are exactly `dimension` of them.
bool decodeInto(std::string_view base64, int dimension, std::string& scratch, std::vector<float>& out) {
    if (!decodeBase64(base64, scratch) || scratch.size() != std::size_t(dimension) * sizeof(float))
        return false;
    const std::size_t at = out.size();
    out.resize(at + std::size_t(dimension));
    std::memcpy(out.data() + at, scratch.data(), scratch.size());
    return true;
}

void appendVector(std::string& out, const float* values, std::size_t count) {
    appendBase64(out, reinterpret_cast<const unsigned char*>(values), count * sizeof(float));
}

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace

std::string encodeVector(const EmbeddingVector& vector) {
    std::string out;
    out.reserve((vector.size() * sizeof(float) + 2) / 3 * 4);
    appendBase64(out, reinterpret_cast<const unsigned char*>(vector.data()), vector.size() * sizeof(float));
    return out;
}

std::optional<EmbeddingVector> decodeVector(std::string_view base64, int dimension) {
    std::string scratch;
    EmbeddingVector vector;
    if (!decodeInto(base64, dimension, scratch, vector))
        return std::nullopt;
    return vector;
}

std::string encode(const QString& embedder, int dimension,
                   const std::vector<std::pair<QString, const StoredEmbedding*>>& entries) {
    std::vector<std::pair<QByteArray, const StoredEmbedding*>> sorted;
    sorted.reserve(entries.size());
    std::size_t floats = 0;
    for (const auto& [id, entry] : entries) {
        sorted.emplace_back(id.toUtf8(), entry);
        floats += entry->vectors.size();
    }
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    JsonWriter writer;
    writer.buffer().reserve(floats * 4 * 4 / 3 + sorted.size() * 128 + 128);
    writer.beginObject();
    writer.key("embedder");
    writer.value(embedder);
    writer.key("dim");
    writer.value(dimension);
    writer.key("entries");
    writer.beginObject();
    const std::size_t dim = std::size_t(std::max(dimension, 1));
    std::string base64;
    for (const auto& [id, entry] : sorted) {
        const std::size_t count = entry->vectors.size() / dim;
        writer.key(std::string_view(id.constData(), std::size_t(id.size())));
        writer.beginObject();
        writer.key("hash");
        writer.value(entry->hash);
        writer.key("v");
        base64.clear();
        appendVector(base64, entry->vectors.data(), count > 0 ? dim : 0);
        writer.value(base64);
        if (count > 1) {
            writer.key("memories");
            writer.beginArray();
            for (std::size_t m = 1; m < count; ++m) {
                base64.clear();
                appendVector(base64, entry->vectors.data() + m * dim, dim);
                writer.value(base64);
            }
            writer.endArray();
        }
        writer.endObject();
    }
    writer.endObject();
    writer.endObject();
    return writer.take();
}

QHash<QString, StoredEmbedding> decode(const QByteArray& bytes, const QString& embedder, int dimension,
                                       const QString& path) {
    const auto failed = [&path] {
        qCCritical(lcEmbeddings, "Failed to decode embedding index at %s; starting empty",
                   qUtf8Printable(path));
        return QHash<QString, StoredEmbedding>();
    };
    simdjson::dom::parser parser;
    simdjson::dom::object root;
    if (parser.parse(simdjson::padded_string(std::string_view(bytes.constData(), std::size_t(bytes.size()))))
            .get(root))
        return failed();
    std::string_view storedEmbedder;
    std::int64_t storedDimension = 0;
    simdjson::dom::object entries;
    if (root["embedder"].get(storedEmbedder) || root["dim"].get(storedDimension) ||
        root["entries"].get(entries))
        return failed();

    // Every entry must have the shape of a stored embedding before any is used: a file that is
    // not one as a whole is not trusted in part.
    struct Raw {
        std::string_view id, hash, vector;
        std::vector<std::string_view> memories;
    };
    std::vector<Raw> raws;
    raws.reserve(entries.size());
    for (const auto field : entries) {
        simdjson::dom::object object;
        Raw raw{field.key, {}, {}, {}};
        if (field.value.get(object) || object["hash"].get(raw.hash) || object["v"].get(raw.vector))
            return failed();
        simdjson::dom::element memories;
        if (object["memories"].get(memories) == simdjson::SUCCESS && !memories.is_null()) {
            simdjson::dom::array list;
            if (memories.get(list))
                return failed();
            for (const auto item : list) {
                std::string_view memory;
                if (item.get(memory))
                    return failed();
                raw.memories.push_back(memory);
            }
        }
        raws.push_back(std::move(raw));
    }

    if (text(storedEmbedder) != embedder || storedDimension != dimension) {
        qCInfo(lcEmbeddings,
               "Discarding embedding index at %s: stored embedder %s (dim %ld) doesn't match current %s (dim "
               "%ld)",
               qUtf8Printable(path), qUtf8Printable(text(storedEmbedder)), long(storedDimension),
               qUtf8Printable(embedder), long(dimension));
        return {};
    }

    QHash<QString, StoredEmbedding> result;
    result.reserve(qsizetype(raws.size()));
    std::string scratch;
    for (const Raw& raw : raws) {
        const QString id = text(raw.id);
        StoredEmbedding entry;
        entry.hash = text(raw.hash);
        entry.vectors.reserve((1 + raw.memories.size()) * std::size_t(dimension));
        bool complete = decodeInto(raw.vector, dimension, scratch, entry.vectors);
        for (const std::string_view memory : raw.memories) {
            if (!complete)
                break;
            complete = decodeInto(memory, dimension, scratch, entry.vectors);
        }
        if (!complete) {
            qCCritical(lcEmbeddings,
                       "Dropping corrupt embedding entry %s in %s: vector length didn't match dim %ld",
                       qUtf8Printable(id), qUtf8Printable(path), long(dimension));
            continue;
        }
        result.insert(id, std::move(entry));
    }
    return result;
}

} // namespace pemmo::EmbeddingIndexFile
