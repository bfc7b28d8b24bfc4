#include "Records/RecordCoding.h"

#include "Records/RecordDecoding_p.h"
#include "Records/SharedTexts.h"
#include "Support/DecodingError.h"
#include "Support/IsoDate.h"
#include "Support/JsonWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace pemmo::RecordCoding {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

// ---- reading and writing single values -------------------------------------------------------

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
    return SharedTexts::text(asStringView(e, path));
}

bool isNull(element e) {
    return e.type() == element_type::NULL_VALUE;
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
element requiredElement(object o, std::string_view key, const CodingPath& path) {
    element e;
    if (o.at_key(key).get(e) != simdjson::SUCCESS)
        keyNotFound(path, key);
    if (isNull(e))
        corrupted(CodingPath(path, key), QStringLiteral("Expected a value but found null instead."));
    return e;
}

// Present and not null.
bool presentElement(object o, std::string_view key, element& out) {
    return o.at_key(key).get(out) == simdjson::SUCCESS && !isNull(out);
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

// ---- coders: how one JSON value is written and read ---------------------------------------------

struct TextCoder {
    static void write(JsonWriter& w, const QString& text) { w.value(text); }
    static QString read(element e, const CodingPath& path) { return asText(e, path); }
};

struct IntCoder {
    static void write(JsonWriter& w, std::int64_t number) { w.value(number); }
    static std::int64_t read(element e, const CodingPath& path) { return asInt(e, path); }
};

struct BoolCoder {
    static void write(JsonWriter& w, bool flag) { w.value(flag); }
    static bool read(element e, const CodingPath& path) { return asBool(e, path); }
};

struct DateCoder {
    static void write(JsonWriter& w, const QDateTime& date) { w.value(date); }
    static QDateTime read(element e, const CodingPath& path) { return asDate(e, path); }
};

struct UuidCoder {
    static void write(JsonWriter& w, const QUuid& id) { writeUuid(w, id); }
    static QUuid read(element e, const CodingPath& path) { return asUuid(e, path); }
};

// An enumeration by its stored name; an unknown name fails with `unknown` followed by the name.
template <const auto& names, const char* unknown> struct EnumCoder {
    template <class Enum> static void write(JsonWriter& w, Enum value) { w.value(names.text(value)); }
    static auto read(element e, const CodingPath& path) {
        const std::string_view name = asStringView(e, path);
        const auto value = names.find(name);
        if (!value)
            corrupted(path, QLatin1StringView(unknown) + toQString(name));
        return *value;
    }
};

constexpr char kInvalidKind[] = "Cannot initialize Kind from invalid String value ";
constexpr char kUnknownSourceKind[] = "Unknown Interaction.Source kind: ";

template <class Item> struct ListCoder {
    template <class T> static void write(JsonWriter& w, const QList<T>& list) {
        w.beginArray();
        for (const T& item : list)
            Item::write(w, item);
        w.endArray();
    }
    static auto read(element e, const CodingPath& path) {
        const simdjson::dom::array array = asArray(e, path);
        QList<decltype(Item::read(e, path))> list;
        list.reserve(static_cast<qsizetype>(array.size()));
        std::size_t i = 0;
        for (element item : array)
            list.append(Item::read(item, CodingPath(path, i++)));
        return list;
    }
};

// ---- objects: one table of members per type ----------------------------------------------------

// One member of a coded object: its key, how it is written and read, and when it must be there.
template <class T> struct Member {
    std::string_view key;
    // Writes the key and the value, or nothing for an absent optional that is left out.
    void (*write)(JsonWriter& w, std::string_view key, const T& object);
    void (*read)(T& object, element value, const CodingPath& path);
    // Read by key, a required member that is missing or null fails the object.
    bool required = true;
    // When set, the member is written and read only for objects it applies to.
    bool (*applies)(const T& object) = nullptr;
};

// A type's coding: its members in the order the store writes them, and that order sorted by key
// for writers that sort. Reading looks each member up in this order, so that the first fault
// named is the same whatever order the file holds the keys in; a null reads like a missing key.
template <class T, std::size_t N> struct ObjectCoding {
    using Value = T;

    std::array<Member<T>, N> members;
    std::array<std::size_t, N> sorted{};

    constexpr ObjectCoding(const Member<T> (&table)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            members[i] = table[i];
            sorted[i] = i;
        }
        std::sort(sorted.begin(), sorted.end(),
                  [this](std::size_t a, std::size_t b) { return members[a].key < members[b].key; });
    }
};

template <class T, std::size_t N>
void writeObject(JsonWriter& w, const T& object, const ObjectCoding<T, N>& coding) {
    w.beginObject();
    const bool sortKeys = w.sortKeys();
    for (std::size_t i = 0; i < N; ++i) {
        const Member<T>& member = coding.members[sortKeys ? coding.sorted[i] : i];
        if (!member.applies || member.applies(object))
            member.write(w, member.key, object);
    }
    w.endObject();
}

template <class T, std::size_t N>
void readMembers(T& object, element e, const CodingPath& path, const ObjectCoding<T, N>& coding) {
    const simdjson::dom::object o = asObject(e, path);
    for (const Member<T>& member : coding.members) {
        if (member.applies && !member.applies(object))
            continue;
        element value;
        if (member.required)
            value = requiredElement(o, member.key, path);
        else if (!presentElement(o, member.key, value))
            continue;
        member.read(object, value, CodingPath(path, member.key));
    }
}

template <class T, std::size_t N>
T readObject(element e, const CodingPath& path, const ObjectCoding<T, N>& coding) {
    T object;
    readMembers(object, e, path, coding);
    return object;
}

template <const auto& coding> struct ObjectCoder {
    using Value = typename std::remove_cvref_t<decltype(coding)>::Value;
    static void write(JsonWriter& w, const Value& object) { writeObject(w, object, coding); }
    static Value read(element e, const CodingPath& path) { return readObject(e, path, coding); }
};

// ---- the members' vocabulary -----------------------------------------------------------------

template <class> struct MemberPointer;
template <class C, class V> struct MemberPointer<V C::*> { using Object = C; };
template <auto field> using ObjectOf = typename MemberPointer<decltype(field)>::Object;

template <auto field, class Coder>
void writeValue(JsonWriter& w, std::string_view key, const ObjectOf<field>& object) {
    w.key(key);
    Coder::write(w, object.*field);
}

template <auto field, class Coder>
void writeIfPresent(JsonWriter& w, std::string_view key, const ObjectOf<field>& object) {
    if (const auto& value = object.*field) {
        w.key(key);
        Coder::write(w, *value);
    }
}

template <auto field, class Coder>
void writeOrNull(JsonWriter& w, std::string_view key, const ObjectOf<field>& object) {
    w.key(key);
    if (const auto& value = object.*field)
        Coder::write(w, *value);
    else
        w.null();
}

template <auto field, class Coder>
void readValue(ObjectOf<field>& object, element e, const CodingPath& path) {
    object.*field = Coder::read(e, path);
}

template <auto field, class Coder>
void readOrClear(ObjectOf<field>& object, element e, const CodingPath& path) {
    if (isNull(e))
        (object.*field).reset();
    else
        object.*field = Coder::read(e, path);
}

// Always written; read by key, it must be there.
template <auto field, class Coder> constexpr Member<ObjectOf<field>> required(std::string_view key) {
    return {key, &writeValue<field, Coder>, &readValue<field, Coder>, true, nullptr};
}

// Always written; when missing it keeps its default.
template <auto field, class Coder> constexpr Member<ObjectOf<field>> defaulted(std::string_view key) {
    return {key, &writeValue<field, Coder>, &readValue<field, Coder>, false, nullptr};
}

// An optional, left out when absent.
template <auto field, class Coder> constexpr Member<ObjectOf<field>> omittable(std::string_view key) {
    return {key, &writeIfPresent<field, Coder>, &readOrClear<field, Coder>, false, nullptr};
}

// An optional, written as null when absent.
template <auto field, class Coder> constexpr Member<ObjectOf<field>> nullable(std::string_view key) {
    return {key, &writeOrNull<field, Coder>, &readOrClear<field, Coder>, false, nullptr};
}

// ---- the tables ------------------------------------------------------------------------------

using Source = Interaction::Source;

constexpr bool isAI(const Source& source) {
    return source.kind == Source::Kind::AI;
}

constexpr ObjectCoding<Source, 2> sourceCoding({
    required<&Source::kind, EnumCoder<sourceKindNames, kUnknownSourceKind>>("kind"),
    {"model", &writeValue<&Source::model, TextCoder>, &readValue<&Source::model, TextCoder>, true, &isAI},
});

// A birthday's members are read as 64-bit numbers and checked together once all three are in,
// so that 2^32 + 2000 is not taken for 2000.
struct DateFields {
    std::optional<std::int64_t> year;
    std::int64_t month = 0;
    std::int64_t day = 0;
};

constexpr ObjectCoding<DateFields, 3> dateCoding({
    omittable<&DateFields::year, IntCoder>("year"),
    required<&DateFields::month, IntCoder>("month"),
    required<&DateFields::day, IntCoder>("day"),
});

struct DateComponentsCoder {
    static void write(JsonWriter& w, const DateComponents& date) {
        writeObject(w, DateFields{date.year, date.month, date.day}, dateCoding);
    }
    static DateComponents read(element e, const CodingPath& path) {
        const DateFields fields = readObject(e, path, dateCoding);
        if (fields.month < 1 || fields.month > 12)
            corrupted(CodingPath(path, "month"),
                      QStringLiteral("Month out of range: ") + QString::number(fields.month));
        if (fields.day < 1 || fields.day > 31)
            corrupted(CodingPath(path, "day"),
                      QStringLiteral("Day out of range: ") + QString::number(fields.day));
        if (fields.year && (*fields.year < 1 || *fields.year > 9999))
            corrupted(CodingPath(path, "year"),
                      QStringLiteral("Year out of range: ") + QString::number(*fields.year));
        DateComponents date;
        if (fields.year)
            date.year = static_cast<int>(*fields.year);
        date.month = static_cast<int>(fields.month);
        date.day = static_cast<int>(fields.day);
        return date;
    }
};

constexpr ObjectCoding<Details, 12> detailsCoding({
    omittable<&Details::company, TextCoder>("company"),
    omittable<&Details::jobTitle, TextCoder>("jobTitle"),
    omittable<&Details::team, TextCoder>("team"),
    omittable<&Details::workLocation, TextCoder>("workLocation"),
    omittable<&Details::school, TextCoder>("school"),
    omittable<&Details::major, TextCoder>("major"),
    omittable<&Details::graduationYear, TextCoder>("graduationYear"),
    omittable<&Details::howWeMet, TextCoder>("howWeMet"),
    omittable<&Details::mutuals, TextCoder>("mutuals"),
    omittable<&Details::hometown, TextCoder>("hometown"),
    omittable<&Details::currentCity, TextCoder>("currentCity"),
    omittable<&Details::email, TextCoder>("email"),
});

constexpr ObjectCoding<QuickLink, 4> linkCoding({
    required<&QuickLink::id, UuidCoder>("id"),
    required<&QuickLink::kind, EnumCoder<quickLinkKindNames, kInvalidKind>>("kind"),
    required<&QuickLink::title, TextCoder>("title"),
    required<&QuickLink::url, TextCoder>("url"),
});

constexpr ObjectCoding<Interaction, 7> interactionCoding({
    required<&Interaction::id, UuidCoder>("id"),
    required<&Interaction::date, DateCoder>("date"),
    required<&Interaction::kind, EnumCoder<interactionKindNames, kInvalidKind>>("kind"),
    required<&Interaction::text, TextCoder>("text"),
    omittable<&Interaction::calendarEventHash, TextCoder>("calendarEventHash"),
    omittable<&Interaction::calendarEventAliases, ListCoder<TextCoder>>("calendarEventAliases"),
    required<&Interaction::source, ObjectCoder<sourceCoding>>("source"),
});

constexpr ObjectCoding<FieldChange, 6> changeCoding({
    required<&FieldChange::id, UuidCoder>("id"),
    required<&FieldChange::date, DateCoder>("date"),
    required<&FieldChange::field, TextCoder>("field"),
    omittable<&FieldChange::oldValue, TextCoder>("old"),
    omittable<&FieldChange::newValue, TextCoder>("new"),
    required<&FieldChange::source, ObjectCoder<sourceCoding>>("source"),
});

constexpr ObjectCoding<BriefingCache, 7> briefingCoding({
    required<&BriefingCache::contentHash, TextCoder>("contentHash"),
    required<&BriefingCache::summary, TextCoder>("summary"),
    required<&BriefingCache::opener, TextCoder>("opener"),
    required<&BriefingCache::generatedAt, DateCoder>("generatedAt"),
    required<&BriefingCache::model, TextCoder>("model"),
    defaulted<&BriefingCache::leftDevice, BoolCoder>("leftDevice"),
    defaulted<&BriefingCache::providerName, TextCoder>("providerName"),
});

// Every key is written, absent optionals as null; missing keys read as their defaults.
constexpr ObjectCoding<PemmoRecord, 14> recordCoding({
    defaulted<&PemmoRecord::schema, IntCoder>("schema"),
    defaulted<&PemmoRecord::tags, ListCoder<TextCoder>>("tags"),
    defaulted<&PemmoRecord::links, ListCoder<ObjectCoder<linkCoding>>>("links"),
    defaulted<&PemmoRecord::details, ObjectCoder<detailsCoding>>("details"),
    nullable<&PemmoRecord::birthday, DateComponentsCoder>("birthday"),
    nullable<&PemmoRecord::messageHandle, TextCoder>("messageHandle"),
    nullable<&PemmoRecord::findMyURL, TextCoder>("findMyURL"),
    nullable<&PemmoRecord::gmailTemplate, TextCoder>("gmailTemplate"),
    defaulted<&PemmoRecord::about, TextCoder>("about"),
    defaulted<&PemmoRecord::interactions, ListCoder<ObjectCoder<interactionCoding>>>("interactions"),
    defaulted<&PemmoRecord::changes, ListCoder<ObjectCoder<changeCoding>>>("changes"),
    defaulted<&PemmoRecord::aiCloudOptOut, BoolCoder>("aiCloudOptOut"),
    nullable<&PemmoRecord::briefingCache, ObjectCoder<briefingCoding>>("briefingCache"),
    defaulted<&PemmoRecord::updatedAt, DateCoder>("updatedAt"),
});

} // namespace

void encode(JsonWriter& w, const PemmoRecord& record) {
    writeObject(w, record, recordCoding);
}

QByteArray encode(const PemmoRecord& record) {
    JsonWriter writer;
    encode(writer, record);
    const std::string& out = writer.buffer();
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

PemmoRecord decode(element e, const QDateTime& now, const CodingPath& path) {
    PemmoRecord record;
    record.updatedAt = now;
    readMembers(record, e, path, recordCoding);
    return record;
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
