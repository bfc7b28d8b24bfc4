#include "Records/RecordCoding.h"

#include "Records/RecordDecoding_p.h"
#include "Support/DecodingError.h"
#include "Support/IsoDate.h"
#include "Support/JsonWriter.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace pemmo::RecordCoding {
namespace {

// ---- enumeration names -----------------------------------------------------------------------

// The coded names of each enumeration in UTF-8, taken once from the records' own name functions,
// so that neither direction builds a QString per value.
template <class Enum, std::size_t N>
std::optional<Enum> caseNamed(std::string_view name,
                              const std::array<std::pair<QByteArray, Enum>, N>& cases) {
    for (const auto& [caseName, value] : cases) {
        if (name == std::string_view(caseName.constData(), static_cast<std::size_t>(caseName.size())))
            return value;
    }
    return std::nullopt;
}

template <class Enum, std::size_t N, class NameOf>
std::array<std::pair<QByteArray, Enum>, N> caseTable(const std::array<Enum, N>& values, NameOf nameOf) {
    std::array<std::pair<QByteArray, Enum>, N> table;
    for (std::size_t i = 0; i < N; ++i)
        table[i] = {nameOf(values[i]).toUtf8(), values[i]};
    return table;
}

template <class Enum, std::size_t N>
std::string_view nameOf(Enum value, const std::array<std::pair<QByteArray, Enum>, N>& cases) {
    for (const auto& [caseName, caseValue] : cases) {
        if (caseValue == value)
            return std::string_view(caseName.constData(), static_cast<std::size_t>(caseName.size()));
    }
    return {};
}

const auto& interactionKinds() {
    using K = Interaction::Kind;
    static const auto table = caseTable(std::array{K::Note, K::Met, K::Message, K::Call, K::Email, K::Other},
                                        [](K k) { return kindName(k); });
    return table;
}

const auto& linkKinds() {
    using K = QuickLink::Kind;
    static const auto table =
        caseTable(std::array{K::Instagram, K::LinkedIn, K::X, K::Custom}, [](K k) { return kindName(k); });
    return table;
}

const auto& sourceKinds() {
    using K = Interaction::Source::Kind;
    static const auto table =
        caseTable(std::array{K::AI, K::User, K::Auto}, [](K k) { return sourceKindName(k); });
    return table;
}

// ---- encoding --------------------------------------------------------------------------------

// The keys of one JSON object in their fixed order, and the permutation that sorts them.
template <std::size_t N> struct KeyOrder {
    std::array<std::string_view, N> keys;
    std::array<std::size_t, N> sorted{};

    constexpr explicit KeyOrder(std::array<std::string_view, N> k)
        : keys(k) {
        for (std::size_t i = 0; i < N; ++i)
            sorted[i] = i;
        std::sort(sorted.begin(), sorted.end(),
                  [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    }
};

// Calls `write(index, key)` for every key, in the writer's order. `write` writes the key (or
// leaves an absent optional out) and its value.
template <std::size_t N, class F>
void forEachKey(const JsonWriter& writer, const KeyOrder<N>& order, F&& write) {
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t index = writer.sortKeys() ? order.sorted[i] : i;
        write(index, order.keys[index]);
    }
}

void writeUuid(JsonWriter& w, const QUuid& id) {
    // Upper-case and hyphenated, written straight from the fields instead of through two
    // temporary byte arrays per id.
    static constexpr char digits[] = "0123456789ABCDEF";
    char text[36];
    char* p = text;
    const auto put = [&p](std::uint64_t bits, int count) {
        for (int shift = (count - 1) * 4; shift >= 0; shift -= 4)
            *p++ = digits[(bits >> shift) & 0xF];
    };
    put(id.data1, 8);
    *p++ = '-';
    put(id.data2, 4);
    *p++ = '-';
    put(id.data3, 4);
    *p++ = '-';
    put((std::uint64_t(id.data4[0]) << 8) | id.data4[1], 4);
    *p++ = '-';
    std::uint64_t node = 0;
    for (int i = 2; i < 8; ++i)
        node = (node << 8) | id.data4[i];
    put(node, 12);
    w.value(std::string_view(text, sizeof text));
}

void writeOptional(JsonWriter& w, std::string_view key, const std::optional<QString>& value,
                   bool nullWhenAbsent) {
    if (value) {
        w.key(key);
        w.value(*value);
    } else if (nullWhenAbsent) {
        w.key(key);
        w.null();
    }
}

void writeSource(JsonWriter& w, const Interaction::Source& source) {
    static constexpr KeyOrder<2> order({"kind", "model"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        if (i == 0) {
            w.key(key);
            w.value(nameOf(source.kind, sourceKinds()));
        } else if (source.kind == Interaction::Source::Kind::AI) {
            w.key(key);
            w.value(source.model);
        }
    });
    w.endObject();
}

void writeDateComponents(JsonWriter& w, const DateComponents& date) {
    static constexpr KeyOrder<3> order({"year", "month", "day"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        if (i == 0 && !date.year)
            return;
        w.key(key);
        w.value(i == 0 ? *date.year : i == 1 ? date.month : date.day);
    });
    w.endObject();
}

void writeDetails(JsonWriter& w, const Details& d) {
    static constexpr KeyOrder<12> order({"company", "jobTitle", "team", "workLocation", "school", "major",
                                         "graduationYear", "howWeMet", "mutuals", "hometown", "currentCity",
                                         "email"});
    const std::array<const std::optional<QString>*, 12> fields{
        &d.company,        &d.jobTitle, &d.team,    &d.workLocation, &d.school,      &d.major,
        &d.graduationYear, &d.howWeMet, &d.mutuals, &d.hometown,     &d.currentCity, &d.email};
    w.beginObject();
    forEachKey(w, order,
               [&](std::size_t i, std::string_view key) { writeOptional(w, key, *fields[i], false); });
    w.endObject();
}

void writeLink(JsonWriter& w, const QuickLink& link) {
    static constexpr KeyOrder<4> order({"id", "kind", "title", "url"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        w.key(key);
        switch (i) {
        case 0:
            writeUuid(w, link.id);
            break;
        case 1:
            w.value(nameOf(link.kind, linkKinds()));
            break;
        case 2:
            w.value(link.title);
            break;
        default:
            w.value(link.url);
            break;
        }
    });
    w.endObject();
}

void writeInteraction(JsonWriter& w, const Interaction& entry) {
    static constexpr KeyOrder<7> order(
        {"id", "date", "kind", "text", "calendarEventHash", "calendarEventAliases", "source"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        switch (i) {
        case 0:
            w.key(key);
            writeUuid(w, entry.id);
            break;
        case 1:
            w.key(key);
            w.value(entry.date);
            break;
        case 2:
            w.key(key);
            w.value(nameOf(entry.kind, interactionKinds()));
            break;
        case 3:
            w.key(key);
            w.value(entry.text);
            break;
        case 4:
            writeOptional(w, key, entry.calendarEventHash, false);
            break;
        case 5:
            if (entry.calendarEventAliases) {
                w.key(key);
                w.beginArray();
                for (const QString& alias : *entry.calendarEventAliases)
                    w.value(alias);
                w.endArray();
            }
            break;
        default:
            w.key(key);
            writeSource(w, entry.source);
            break;
        }
    });
    w.endObject();
}

void writeChange(JsonWriter& w, const FieldChange& change) {
    static constexpr KeyOrder<6> order({"id", "date", "field", "old", "new", "source"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        switch (i) {
        case 0:
            w.key(key);
            writeUuid(w, change.id);
            break;
        case 1:
            w.key(key);
            w.value(change.date);
            break;
        case 2:
            w.key(key);
            w.value(change.field);
            break;
        case 3:
            writeOptional(w, key, change.oldValue, false);
            break;
        case 4:
            writeOptional(w, key, change.newValue, false);
            break;
        default:
            w.key(key);
            writeSource(w, change.source);
            break;
        }
    });
    w.endObject();
}

void writeBriefing(JsonWriter& w, const BriefingCache& b) {
    static constexpr KeyOrder<7> order(
        {"contentHash", "summary", "opener", "generatedAt", "model", "leftDevice", "providerName"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        w.key(key);
        switch (i) {
        case 0:
            w.value(b.contentHash);
            break;
        case 1:
            w.value(b.summary);
            break;
        case 2:
            w.value(b.opener);
            break;
        case 3:
            w.value(b.generatedAt);
            break;
        case 4:
            w.value(b.model);
            break;
        case 5:
            w.value(b.leftDevice);
            break;
        default:
            w.value(b.providerName);
            break;
        }
    });
    w.endObject();
}

template <class T, class F> void writeList(JsonWriter& w, const QList<T>& list, F&& writeOne) {
    w.beginArray();
    for (const T& item : list)
        writeOne(w, item);
    w.endArray();
}

// ---- decoding --------------------------------------------------------------------------------

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

[[noreturn]] void typeMismatch(const CodingPath& path, const char* expected) {
    throw DecodingError(
        DecodingError::Kind::TypeMismatch, path.toString(),
        QStringLiteral("Expected to decode %1 but found something else.").arg(QLatin1String(expected)));
}

[[noreturn]] void corrupted(const CodingPath& path, const QString& description) {
    throw DecodingError(DecodingError::Kind::DataCorrupted, path.toString(), description);
}

QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

[[noreturn]] void keyNotFound(const CodingPath& path, std::string_view key) {
    throw DecodingError(DecodingError::Kind::KeyNotFound, path.toString(),
                        QStringLiteral("No value associated with key \"%1\".").arg(toQString(key)));
}

object asObject(element e, const CodingPath& path) {
    object o;
    if (e.get(o) != simdjson::SUCCESS)
        typeMismatch(path, "an object");
    return o;
}

simdjson::dom::array asArray(element e, const CodingPath& path) {
    simdjson::dom::array a;
    if (e.get(a) != simdjson::SUCCESS)
        typeMismatch(path, "an array");
    return a;
}

std::string_view asStringView(element e, const CodingPath& path) {
    std::string_view s;
    if (e.get(s) != simdjson::SUCCESS)
        typeMismatch(path, "a string");
    return s;
}

QString asText(element e, const CodingPath& path) {
    return toQString(asStringView(e, path));
}

bool isNull(element e) {
    return e.type() == element_type::NULL_VALUE;
}

std::optional<QString> asOptionalText(element e, const CodingPath& path) {
    if (isNull(e))
        return std::nullopt;
    return asText(e, path);
}

bool asBool(element e, const CodingPath& path) {
    bool b;
    if (e.get(b) != simdjson::SUCCESS)
        typeMismatch(path, "a boolean");
    return b;
}

std::int64_t asInt(element e, const CodingPath& path) {
    std::int64_t n;
    if (e.get(n) == simdjson::SUCCESS)
        return n;
    double d;
    // Other encoders may write whole numbers as 2.0. The range test comes first: converting a
    // double outside the integer range is undefined.
    if (e.get(d) == simdjson::SUCCESS && d > -9.2e18 && d < 9.2e18 &&
        d == static_cast<double>(static_cast<std::int64_t>(d)))
        return static_cast<std::int64_t>(d);
    typeMismatch(path, "an integer");
}

QDateTime asDate(element e, const CodingPath& path) {
    const std::string_view s = asStringView(e, path);
    if (auto date = IsoDate::parse(s))
        return *date;
    corrupted(path, QStringLiteral("Expected date string to be ISO8601-formatted."));
}

QUuid asUuid(element e, const CodingPath& path) {
    const std::string_view s = asStringView(e, path);
    if (s.size() == 36) {
        const QUuid id = QUuid::fromString(QLatin1StringView(s.data(), 36));
        if (!id.isNull() || s == "00000000-0000-0000-0000-000000000000")
            return id;
    }
    corrupted(path, QStringLiteral("Attempted to decode UUID from invalid UUID string."));
}

// Looks a required key up; null counts as missing.
element required(object o, std::string_view key, const CodingPath& path) {
    element e;
    if (o.at_key(key).get(e) != simdjson::SUCCESS)
        keyNotFound(path, key);
    if (isNull(e))
        corrupted(CodingPath(path, key), QStringLiteral("Expected a value but found null instead."));
    return e;
}

// Present and not null.
bool optional(object o, std::string_view key, element& out) {
    return o.at_key(key).get(out) == simdjson::SUCCESS && !isNull(out);
}

Interaction::Source decodeSource(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    const CodingPath kindPath(path, "kind");
    const std::string_view kind = asStringView(required(o, "kind", path), kindPath);
    switch (caseNamed(kind, sourceKinds()).value_or(Interaction::Source::Kind(-1))) {
    case Interaction::Source::Kind::User:
        return Interaction::Source::user();
    case Interaction::Source::Kind::Auto:
        return Interaction::Source::automatic();
    case Interaction::Source::Kind::AI:
        return Interaction::Source::ai(asText(required(o, "model", path), CodingPath(path, "model")));
    }
    corrupted(kindPath, QStringLiteral("Unknown Interaction.Source kind: ") + toQString(kind));
}

DateComponents decodeDateComponents(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    DateComponents date;
    element v;
    const CodingPath yearPath(path, "year");
    const CodingPath monthPath(path, "month");
    const CodingPath dayPath(path, "day");
    std::optional<std::int64_t> year;
    if (optional(o, "year", v))
        year = asInt(v, yearPath);
    const std::int64_t month = asInt(required(o, "month", path), monthPath);
    const std::int64_t day = asInt(required(o, "day", path), dayPath);
    if (month < 1 || month > 12)
        corrupted(monthPath, QStringLiteral("Month out of range: ") + QString::number(month));
    if (day < 1 || day > 31)
        corrupted(dayPath, QStringLiteral("Day out of range: ") + QString::number(day));
    // Checked before narrowing to int, so that 2^32 + 2000 is not taken for 2000.
    if (year && (*year < 1 || *year > 9999))
        corrupted(yearPath, QStringLiteral("Year out of range: ") + QString::number(*year));
    if (year)
        date.year = static_cast<int>(*year);
    date.month = static_cast<int>(month);
    date.day = static_cast<int>(day);
    return date;
}

Details decodeDetails(element e, const CodingPath& path) {
    Details d;
    const std::array<std::pair<std::string_view, std::optional<QString>*>, 12> fields{{
        {"company", &d.company},
        {"jobTitle", &d.jobTitle},
        {"team", &d.team},
        {"workLocation", &d.workLocation},
        {"school", &d.school},
        {"major", &d.major},
        {"graduationYear", &d.graduationYear},
        {"howWeMet", &d.howWeMet},
        {"mutuals", &d.mutuals},
        {"hometown", &d.hometown},
        {"currentCity", &d.currentCity},
        {"email", &d.email},
    }};
    for (auto [key, value] : asObject(e, path)) {
        for (const auto& [name, slot] : fields) {
            if (key == name) {
                *slot = asOptionalText(value, CodingPath(path, name));
                break;
            }
        }
    }
    return d;
}

QuickLink decodeLink(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    QuickLink link;
    link.id = asUuid(required(o, "id", path), CodingPath(path, "id"));
    const CodingPath kindPath(path, "kind");
    const std::string_view kind = asStringView(required(o, "kind", path), kindPath);
    const auto parsed = caseNamed(kind, linkKinds());
    if (!parsed)
        corrupted(kindPath,
                  QStringLiteral("Cannot initialize Kind from invalid String value ") + toQString(kind));
    link.kind = *parsed;
    link.title = asText(required(o, "title", path), CodingPath(path, "title"));
    link.url = asText(required(o, "url", path), CodingPath(path, "url"));
    return link;
}

Interaction decodeInteraction(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    Interaction entry;
    entry.id = asUuid(required(o, "id", path), CodingPath(path, "id"));
    entry.date = asDate(required(o, "date", path), CodingPath(path, "date"));
    const CodingPath kindPath(path, "kind");
    const std::string_view kind = asStringView(required(o, "kind", path), kindPath);
    const auto parsed = caseNamed(kind, interactionKinds());
    if (!parsed)
        corrupted(kindPath,
                  QStringLiteral("Cannot initialize Kind from invalid String value ") + toQString(kind));
    entry.kind = *parsed;
    entry.text = asText(required(o, "text", path), CodingPath(path, "text"));
    element v;
    if (optional(o, "calendarEventHash", v))
        entry.calendarEventHash = asText(v, CodingPath(path, "calendarEventHash"));
    if (optional(o, "calendarEventAliases", v)) {
        const CodingPath aliasesPath(path, "calendarEventAliases");
        const simdjson::dom::array array = asArray(v, aliasesPath);
        QStringList aliases;
        aliases.reserve(static_cast<qsizetype>(array.size()));
        std::size_t i = 0;
        for (element alias : array)
            aliases.append(asText(alias, CodingPath(aliasesPath, i++)));
        entry.calendarEventAliases = std::move(aliases);
    }
    entry.source = decodeSource(required(o, "source", path), CodingPath(path, "source"));
    return entry;
}

FieldChange decodeChange(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    FieldChange change;
    change.id = asUuid(required(o, "id", path), CodingPath(path, "id"));
    change.date = asDate(required(o, "date", path), CodingPath(path, "date"));
    change.field = asText(required(o, "field", path), CodingPath(path, "field"));
    element v;
    if (optional(o, "old", v))
        change.oldValue = asText(v, CodingPath(path, "old"));
    if (optional(o, "new", v))
        change.newValue = asText(v, CodingPath(path, "new"));
    change.source = decodeSource(required(o, "source", path), CodingPath(path, "source"));
    return change;
}

BriefingCache decodeBriefing(element e, const CodingPath& path) {
    const object o = asObject(e, path);
    BriefingCache b;
    b.contentHash = asText(required(o, "contentHash", path), CodingPath(path, "contentHash"));
    b.summary = asText(required(o, "summary", path), CodingPath(path, "summary"));
    b.opener = asText(required(o, "opener", path), CodingPath(path, "opener"));
    b.generatedAt = asDate(required(o, "generatedAt", path), CodingPath(path, "generatedAt"));
    b.model = asText(required(o, "model", path), CodingPath(path, "model"));
    element v;
    if (optional(o, "leftDevice", v))
        b.leftDevice = asBool(v, CodingPath(path, "leftDevice"));
    if (optional(o, "providerName", v))
        b.providerName = asText(v, CodingPath(path, "providerName"));
    return b;
}

template <class T, class F> QList<T> decodeList(element e, const CodingPath& path, F&& decodeOne) {
    const simdjson::dom::array array = asArray(e, path);
    QList<T> list;
    list.reserve(static_cast<qsizetype>(array.size()));
    std::size_t i = 0;
    for (element item : array)
        list.append(decodeOne(item, CodingPath(path, i++)));
    return list;
}

} // namespace

void encode(JsonWriter& w, const PemmoRecord& r) {
    static constexpr KeyOrder<14> order({"schema", "tags", "links", "details", "birthday", "messageHandle",
                                         "findMyURL", "gmailTemplate", "about", "interactions", "changes",
                                         "aiCloudOptOut", "briefingCache", "updatedAt"});
    w.beginObject();
    forEachKey(w, order, [&](std::size_t i, std::string_view key) {
        switch (i) {
        case 0:
            w.key(key);
            w.value(r.schema);
            break;
        case 1:
            w.key(key);
            writeList(w, r.tags, [](JsonWriter& w, const QString& tag) { w.value(tag); });
            break;
        case 2:
            w.key(key);
            writeList(w, r.links, writeLink);
            break;
        case 3:
            w.key(key);
            writeDetails(w, r.details);
            break;
        case 4:
            w.key(key);
            if (r.birthday)
                writeDateComponents(w, *r.birthday);
            else
                w.null();
            break;
        case 5:
            writeOptional(w, key, r.messageHandle, true);
            break;
        case 6:
            writeOptional(w, key, r.findMyURL, true);
            break;
        case 7:
            writeOptional(w, key, r.gmailTemplate, true);
            break;
        case 8:
            w.key(key);
            w.value(r.about);
            break;
        case 9:
            w.key(key);
            writeList(w, r.interactions, writeInteraction);
            break;
        case 10:
            w.key(key);
            writeList(w, r.changes, writeChange);
            break;
        case 11:
            w.key(key);
            w.value(r.aiCloudOptOut);
            break;
        case 12:
            w.key(key);
            if (r.briefingCache)
                writeBriefing(w, *r.briefingCache);
            else
                w.null();
            break;
        default:
            w.key(key);
            w.value(r.updatedAt);
            break;
        }
    });
    w.endObject();
}

QByteArray encode(const PemmoRecord& record) {
    JsonWriter writer;
    encode(writer, record);
    const std::string& out = writer.buffer();
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

PemmoRecord decode(element e, const QDateTime& now, const CodingPath& path) {
    PemmoRecord r;
    r.updatedAt = now;
    for (auto [key, value] : asObject(e, path)) {
        // A null value reads like a missing key: the default stays.
        if (isNull(value))
            continue;
        const CodingPath at(path, key);
        if (key == "schema")
            r.schema = asInt(value, at);
        else if (key == "tags")
            r.tags = decodeList<QString>(value, at, asText);
        else if (key == "links")
            r.links = decodeList<QuickLink>(value, at, decodeLink);
        else if (key == "details")
            r.details = decodeDetails(value, at);
        else if (key == "birthday")
            r.birthday = decodeDateComponents(value, at);
        else if (key == "messageHandle")
            r.messageHandle = asText(value, at);
        else if (key == "findMyURL")
            r.findMyURL = asText(value, at);
        else if (key == "gmailTemplate")
            r.gmailTemplate = asText(value, at);
        else if (key == "about")
            r.about = asText(value, at);
        else if (key == "interactions")
            r.interactions = decodeList<Interaction>(value, at, decodeInteraction);
        else if (key == "changes")
            r.changes = decodeList<FieldChange>(value, at, decodeChange);
        else if (key == "aiCloudOptOut")
            r.aiCloudOptOut = asBool(value, at);
        else if (key == "briefingCache")
            r.briefingCache = decodeBriefing(value, at);
        else if (key == "updatedAt")
            r.updatedAt = asDate(value, at);
    }
    return r;
}

PemmoRecord decode(QByteArrayView json, const QDateTime& now) {
    simdjson::dom::parser parser;
    element root;
    if (const auto error =
            parser.parse(json.isEmpty() ? "" : json.data(), static_cast<std::size_t>(json.size())).get(root))
        corrupted({}, QStringLiteral("The given data was not valid JSON (%1).")
                          .arg(QString::fromUtf8(simdjson::error_message(error))));
    return decode(root, now, CodingPath());
}

} // namespace pemmo::RecordCoding
