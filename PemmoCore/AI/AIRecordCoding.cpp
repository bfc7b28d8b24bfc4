#include "AI/AIRecordCoding.h"

#include <nlohmann/json.hpp>

namespace pemmo::AIRecordCoding {
namespace {

using nlohmann::json;

// Thrown inside this file only, to give up on an answer from any depth.
struct Mismatch {};

json parse(QByteArrayView bytes) {
    json value = json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (value.is_discarded() || !value.is_object())
        throw Mismatch{};
    return value;
}

QString text(const json& value) {
    if (!value.is_string())
        throw Mismatch{};
    return QString::fromStdString(value.get_ref<const std::string&>());
}

QString requiredText(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end())
        throw Mismatch{};
    return text(*it);
}

std::optional<QString> optionalText(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    return text(*it);
}

// The array under `key`, or null when it may be absent and is.
const json* list(const json& object, const char* key, Lists lists) {
    const auto it = object.find(key);
    if (it == object.end() || (it->is_null() && lists == Lists::MayBeAbsent)) {
        if (lists == Lists::Required)
            throw Mismatch{};
        return nullptr;
    }
    if (!it->is_array())
        throw Mismatch{};
    return &*it;
}

const json& object(const json& value) {
    if (!value.is_object())
        throw Mismatch{};
    return value;
}

QStringList texts(const json& object, const char* key, Lists lists) {
    QStringList result;
    if (const json* values = list(object, key, lists)) {
        for (const json& value : *values)
            result.append(text(value));
    }
    return result;
}

template <class T, class Read> std::optional<T> attempt(Read read) {
    try {
        return read();
    } catch (const Mismatch&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<Briefing> decodeBriefing(QByteArrayView bytes) {
    return attempt<Briefing>([&] {
        const json root = parse(bytes);
        return Briefing{requiredText(root, "summary"), requiredText(root, "opener")};
    });
}

std::optional<ExtractedProfile> decodeExtractedProfile(QByteArrayView bytes, Lists lists) {
    return attempt<ExtractedProfile>([&] {
        const json root = parse(bytes);
        ExtractedProfile p;
        p.givenName = optionalText(root, "givenName");
        p.familyName = optionalText(root, "familyName");
        p.jobTitle = optionalText(root, "jobTitle");
        p.company = optionalText(root, "company");
        p.team = optionalText(root, "team");
        p.school = optionalText(root, "school");
        p.major = optionalText(root, "major");
        p.graduationYear = optionalText(root, "graduationYear");
        p.currentCity = optionalText(root, "currentCity");
        p.hometown = optionalText(root, "hometown");
        p.email = optionalText(root, "email");
        p.phone = optionalText(root, "phone");
        if (const json* links = list(root, "links", lists)) {
            for (const json& link : *links)
                p.links.append({requiredText(object(link), "kind"), requiredText(link, "url")});
        }
        p.tags = texts(root, "tags", lists);
        p.summary = optionalText(root, "summary");
        return p;
    });
}

std::optional<CaptureResult> decodeCaptureResult(QByteArrayView bytes, Lists lists) {
    return attempt<CaptureResult>([&] {
        const json root = parse(bytes);
        CaptureResult c;
        c.personName = optionalText(root, "personName");
        if (const json* updates = list(root, "fieldUpdates", lists)) {
            for (const json& update : *updates)
                c.fieldUpdates.append({requiredText(object(update), "field"), requiredText(update, "value")});
        }
        c.interactionKind = optionalText(root, "interactionKind");
        c.interactionText = optionalText(root, "interactionText");
        c.interactionDate = optionalText(root, "interactionDate");
        c.tags = texts(root, "tags", lists);
        c.aboutAppend = optionalText(root, "aboutAppend");
        return c;
    });
}

std::optional<QList<RankedCandidate>> decodeRanking(QByteArrayView bytes, Lists lists) {
    return attempt<QList<RankedCandidate>>([&] {
        const json root = parse(bytes);
        QList<RankedCandidate> items;
        if (const json* values = list(root, "items", lists)) {
            for (const json& item : *values)
                items.append({requiredText(object(item), "id"), requiredText(item, "reason")});
        }
        return items;
    });
}

} // namespace pemmo::AIRecordCoding
