#include "Store/StoreClassifier.h"

#include "Store/LegacyMigration.h"
#include "Support/DecodingError.h"

#include <nlohmann/json.hpp>

namespace pemmo::StoreClassifier {
namespace {

// A file this build cannot decode may still announce a newer layout at its top.
bool announcesNewerSchema(const QByteArray& bytes) {
    const nlohmann::json json = nlohmann::json::parse(bytes.cbegin(), bytes.cend(), nullptr, false);
    if (!json.is_object())
        return false;
    const auto schema = json.find("schema");
    if (schema == json.end())
        return false;
    if (schema->is_number_unsigned())
        return schema->get<std::uint64_t>() > static_cast<std::uint64_t>(StoreFile::currentSchema);
    return schema->is_number_integer() && isNewerSchema(schema->get<std::int64_t>());
}

} // namespace

bool isNewerSchema(std::int64_t schema) {
    return schema > StoreFile::currentSchema;
}

bool isNewer(const StoreFile::Document& document) {
    if (isNewerSchema(document.schema))
        return true;
    for (const Shared<PemmoRecord>& record : document.records) {
        if (isNewerSchema(record->schema))
            return true;
    }
    return false;
}

Result classify(const QByteArray& bytes, const QDateTime& now) {
    Result result;
    try {
        StoreFile::Document document = StoreFile::decodeDocument(bytes, now);
        result.kind = isNewer(document) ? Kind::Newer : Kind::Current;
        result.records = std::move(document.records);
        return result;
    } catch (const DecodingError& error) {
        result.problem = QString::fromUtf8(error.what());
    }
    if (announcesNewerSchema(bytes)) {
        result.kind = Kind::Newer;
        return result;
    }
    if (LegacyMigration::isLegacy(bytes)) {
        try {
            result.records = LegacyMigration::migrate(bytes, now);
            result.kind = Kind::Legacy;
            result.problem.clear();
            return result;
        } catch (const DecodingError&) {
            // Recognised but not convertible: as damaged as any other unreadable file.
        }
    }
    result.kind = Kind::Damaged;
    return result;
}

} // namespace pemmo::StoreClassifier
