#include "Semantic/EmbeddingIndexFile.h"

#include "Support/FileError.h"
#include "Support/JsonWriter.h"
#include "Support/Logging.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <simdjson.h>

namespace pemmo::EmbeddingIndexFile {
namespace {

static_assert(std::endian::native == std::endian::little, "vectors are copied as little-endian bytes");

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Four tables that place a character's six bits where they land in the three bytes of its group
// of four (little-endian): or-ing the four gives the three bytes at once. Anything outside the
// alphabet (the padding too) sets bit 24, so one test per string finds it.
struct DecodingTables {
    std::uint32_t first[256], second[256], third[256], fourth[256];
};

constexpr std::uint32_t kInvalid = 0x01ffffff;

constexpr DecodingTables decodingTables() {
    DecodingTables t{};
    for (int c = 0; c < 256; ++c)
        t.first[c] = t.second[c] = t.third[c] = t.fourth[c] = kInvalid;
    for (std::uint32_t v = 0; v < 64; ++v) {
        const auto c = static_cast<unsigned char>(alphabet[v]);
        t.first[c] = v << 2;
        t.second[c] = (v >> 4) | ((v & 0x0f) << 12);
        t.third[c] = ((v >> 2) << 8) | ((v & 0x03) << 22);
        t.fourth[c] = v << 16;
    }
    return t;
}
constexpr DecodingTables kDecoding = decodingTables();

// Decodes standard Base64 (with padding) of exactly `size` bytes into `out`; false on any
// character outside the alphabet, misplaced padding, or a text of another length.
bool decodeBase64(std::string_view text, unsigned char* out, std::size_t size) {
    const std::size_t padding = (3 - size % 3) % 3;
    if (text.size() != (size + padding) / 3 * 4)
        return false;
    if (size == 0)
        return true;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t groups = text.size() / 4;
    std::uint32_t error = 0;
    // Every group but the last writes four bytes (the fourth is overwritten by the next group).
    for (std::size_t g = 0; g + 1 < groups; ++g, in += 4, out += 3) {
        const std::uint32_t x = kDecoding.first[in[0]] | kDecoding.second[in[1]] | kDecoding.third[in[2]] |
                                kDecoding.fourth[in[3]];
        error |= x;
        std::memcpy(out, &x, 4);
    }
    std::uint32_t x = kDecoding.first[in[0]] | kDecoding.second[in[1]];
    if (padding < 2)
        x |= kDecoding.third[in[2]];
    else if (in[2] != '=')
        return false;
    if (padding < 1)
        x |= kDecoding.fourth[in[3]];
    else if (in[3] != '=')
        return false;
    error |= x;
    if (error >> 24)
        return false;
    std::memcpy(out, &x, 3 - padding);
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

// Decodes the `dimension` floats of `base64` into `out`; false unless there are exactly that many.
bool decodeInto(std::string_view base64, int dimension, float* out) {
    return decodeBase64(base64, reinterpret_cast<unsigned char*>(out),
                        std::size_t(dimension) * sizeof(float));
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
    if (dimension < 0)
        return std::nullopt;
    EmbeddingVector vector(std::size_t(dimension), 0.0f);
    if (!decodeInto(base64, dimension, vector.data()))
        return std::nullopt;
    return vector;
}

std::string encode(const QString& embedder, int dimension, std::vector<EntryView> entries) {
    std::vector<std::pair<QByteArray, const EntryView*>> sorted;
    sorted.reserve(entries.size());
    std::size_t floats = 0;
    for (const EntryView& entry : entries) {
        sorted.emplace_back(entry.id.toUtf8(), &entry);
        floats += entry.count * std::size_t(std::max(dimension, 0));
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
        writer.key(std::string_view(id.constData(), std::size_t(id.size())));
        writer.beginObject();
        writer.key("hash");
        writer.value(entry->hash);
        writer.key("v");
        base64.clear();
        appendVector(base64, entry->vectors, entry->count > 0 ? dim : 0);
        writer.value(base64);
        if (entry->count > 1) {
            writer.key("memories");
            writer.beginArray();
            for (std::size_t m = 1; m < entry->count; ++m) {
                base64.clear();
                appendVector(base64, entry->vectors + m * dim, dim);
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

QByteArray read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs + file.errorString());
    const qint64 size = file.size();
    QByteArray bytes;
    bytes.reserve(qsizetype(size) + qsizetype(simdjson::SIMDJSON_PADDING));
    bytes.resize(qsizetype(size));
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(bytes.data() + done, size - done);
        if (got <= 0)
            throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs + file.errorString());
        done += got;
    }
    return bytes;
}

Rows decodeRows(const QByteArray& bytes, const QString& embedder, int dimension, const QString& path) {
    const auto failed = [&path] {
        qCCritical(lcEmbeddings, "Failed to decode embedding index at %s; starting empty",
                   qUtf8Printable(path));
        return Rows();
    };
    simdjson::dom::parser parser;
    simdjson::dom::object root;
    // Read ahead into the room after the text when there is some; copied otherwise.
    const bool padded = bytes.capacity() - bytes.size() >= qsizetype(simdjson::SIMDJSON_PADDING);
    if (parser.parse(bytes.constData(), std::size_t(bytes.size()), !padded).get(root))
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
        std::size_t firstMemory = 0, memoryCount = 0;
    };
    std::vector<Raw> raws;
    std::vector<std::string_view> memoryTexts;
    raws.reserve(entries.size());
    for (const auto field : entries) {
        simdjson::dom::object object;
        Raw raw{field.key, {}, {}, memoryTexts.size(), 0};
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
                memoryTexts.push_back(memory);
            }
        }
        raw.memoryCount = memoryTexts.size() - raw.firstMemory;
        raws.push_back(raw);
    }

    if (text(storedEmbedder) != embedder || storedDimension != dimension) {
        qCInfo(lcEmbeddings,
               "Discarding embedding index at %s: stored embedder %s (dim %ld) doesn't match current %s (dim "
               "%ld)",
               qUtf8Printable(path), qUtf8Printable(text(storedEmbedder)), long(storedDimension),
               qUtf8Printable(embedder), long(dimension));
        return {};
    }

    // Straight into their rows; an entry that fails leaves its place to the next.
    Rows result;
    const std::size_t dim = std::size_t(std::max(dimension, 0));
    result.entries.reserve(raws.size());
    result.rows.resize((raws.size() + memoryTexts.size()) * dim);
    std::size_t row = 0;
    for (const Raw& raw : raws) {
        bool complete = decodeInto(raw.vector, dimension, result.rows.data() + row * dim);
        for (std::size_t m = 0; complete && m < raw.memoryCount; ++m)
            complete = decodeInto(memoryTexts[raw.firstMemory + m], dimension,
                                  result.rows.data() + (row + 1 + m) * dim);
        const QString id = text(raw.id);
        if (!complete) {
            qCCritical(lcEmbeddings,
                       "Dropping corrupt embedding entry %s in %s: vector length didn't match dim %ld",
                       qUtf8Printable(id), qUtf8Printable(path), long(dimension));
            continue;
        }
        result.entries.push_back({id, text(raw.hash), row, 1 + raw.memoryCount});
        row += 1 + raw.memoryCount;
    }
    result.rows.resize(row * dim);
    return result;
}

QHash<QString, StoredEmbedding> decode(const QByteArray& bytes, const QString& embedder, int dimension,
                                       const QString& path) {
    const Rows rows = decodeRows(bytes, embedder, dimension, path);
    const std::size_t dim = std::size_t(std::max(dimension, 0));
    QHash<QString, StoredEmbedding> result;
    result.reserve(qsizetype(rows.entries.size()));
    for (const Rows::Entry& entry : rows.entries) {
        const auto first = rows.rows.begin() + std::ptrdiff_t(entry.firstRow * dim);
        result.insert(entry.id,
                      {entry.hash, std::vector<float>(first, first + std::ptrdiff_t(entry.rowCount * dim))});
    }
    return result;
}

} // namespace pemmo::EmbeddingIndexFile
