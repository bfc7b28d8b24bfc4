#include "Store/StoreFile.h"

#include "Records/RecordCoding.h"
#include "Records/RecordDecoding_p.h"
#include "Records/SharedTexts.h"
#include "Support/DecodingError.h"
#include "Support/JsonWriter.h"

#include <algorithm>
#include <vector>

namespace pemmo::StoreFile {
namespace {

std::string encodeWith(JsonWriter writer, const RecordMap& records) {
    // Ids in code point order (UTF-16 order differs only for characters beyond the BMP next to
    // U+E000..U+FFFF; sorting the UTF-8 keeps us in code point order).
    std::vector<std::pair<QByteArray, const PemmoRecord*>> sorted;
    sorted.reserve(static_cast<std::size_t>(records.size()));
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        sorted.emplace_back(it.key().toUtf8(), &*it.value());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    // Generous (a typical record takes about 1 KB compact, 1.5 KB pretty): untouched capacity costs
    // address space only, while a reallocation near the end would copy the whole document.
    writer.buffer().reserve(static_cast<std::size_t>(records.size()) * 2048);
    writer.beginObject();
    const auto writeRecords = [&] {
        writer.key("records");
        writer.beginObject();
        for (const auto& [id, record] : sorted) {
            writer.key(std::string_view(id.constData(), static_cast<std::size_t>(id.size())));
            RecordCoding::encode(writer, *record);
        }
        writer.endObject();
    };
    // "records" sorts before "schema"; the store's own order puts the schema first.
    if (writer.sortKeys())
        writeRecords();
    writer.key("schema");
    writer.value(currentSchema);
    if (!writer.sortKeys())
        writeRecords();
    writer.endObject();
    if (writer.style() == JsonWriter::Style::Pretty)
        writer.buffer() += '\n';
    return writer.take();
}

[[noreturn]] void fail(DecodingError::Kind kind, const QString& path, const QString& description) {
    throw DecodingError(kind, path, description);
}

Document decodeParsed(simdjson::simdjson_result<simdjson::dom::element> parsed, const QDateTime& now) {
    simdjson::dom::element root;
    if (const auto error = std::move(parsed).get(root)) {
        fail(DecodingError::Kind::DataCorrupted, {},
             QStringLiteral("The given data was not valid JSON (%1).")
                 .arg(QString::fromUtf8(simdjson::error_message(error))));
    }
    simdjson::dom::object top;
    if (root.get(top) != simdjson::SUCCESS)
        fail(DecodingError::Kind::TypeMismatch, {}, QStringLiteral("Expected to decode an object."));

    simdjson::dom::element schema;
    if (top.at_key("schema").get(schema) != simdjson::SUCCESS)
        fail(DecodingError::Kind::KeyNotFound, {},
             QStringLiteral("No value associated with key \"schema\"."));
    std::int64_t schemaValue;
    if (schema.get(schemaValue) != simdjson::SUCCESS)
        fail(DecodingError::Kind::TypeMismatch, QStringLiteral("schema"),
             QStringLiteral("Expected an integer."));

    simdjson::dom::element recordsElement;
    if (top.at_key("records").get(recordsElement) != simdjson::SUCCESS)
        fail(DecodingError::Kind::KeyNotFound, {},
             QStringLiteral("No value associated with key \"records\"."));
    simdjson::dom::object recordsObject;
    if (recordsElement.get(recordsObject) != simdjson::SUCCESS)
        fail(DecodingError::Kind::TypeMismatch, QStringLiteral("records"),
             QStringLiteral("Expected an object."));

    RecordMap records;
    records.reserve(static_cast<qsizetype>(recordsObject.size()));
    const RecordCoding::CodingPath topPath;
    const RecordCoding::CodingPath recordsPath(topPath, "records");
    SharedTexts shared; // circle ids, companies, cities: one string per value, not per record
    for (auto [key, value] : recordsObject) {
        const QString id = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
        records.emplace(id, RecordCoding::decode(value, now, RecordCoding::CodingPath(recordsPath, key)));
    }
    return {schemaValue, std::move(records)};
}

} // namespace

std::string encode(const RecordMap& records) {
    return encodeWith(JsonWriter(JsonWriter::Style::Compact), records);
}

std::string encodeForExport(const RecordMap& records) {
    return encodeWith(JsonWriter(JsonWriter::Style::Pretty, true), records);
}

namespace {

// A byte order mark in front of the text, as some editors save JSON: it is not part of the document.
constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");

} // namespace

RecordMap decode(QByteArrayView bytes, const QDateTime& now) {
    if (bytes.startsWith(byteOrderMark))
        bytes = bytes.sliced(byteOrderMark.size());
    simdjson::dom::parser parser;
    // An empty view may have no buffer at all; simdjson copies from the pointer even for no bytes.
    return decodeParsed(
               parser.parse(bytes.isEmpty() ? "" : bytes.data(), static_cast<std::size_t>(bytes.size())), now)
        .records;
}

Document decodeDocument(const QByteArray& bytes, const QDateTime& now) {
    if (bytes.startsWith(byteOrderMark))
        return decodeDocument(bytes.sliced(byteOrderMark.size()), now);
    simdjson::dom::parser parser;
    // The parser reads whole blocks past the end of the text; what lies there does not matter, only
    // that it is ours to read. Without that much spare room it parses a padded copy.
    if (bytes.capacity() - bytes.size() <= static_cast<qsizetype>(simdjson::SIMDJSON_PADDING))
        return decodeParsed(
            parser.parse(bytes.isEmpty() ? "" : bytes.constData(), static_cast<std::size_t>(bytes.size())),
            now);
    return decodeParsed(parser.parse(bytes.constData(), static_cast<std::size_t>(bytes.size()), false), now);
}

namespace detail {

RecordMap decodeInPlace(const QByteArray& bytes, const QDateTime& now) {
    return decodeDocument(bytes, now).records;
}

} // namespace detail

} // namespace pemmo::StoreFile
