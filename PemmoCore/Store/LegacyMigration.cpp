#include "Store/LegacyMigration.h"

#include "Lists/Tag.h"
#include "Support/DecodingError.h"
#include "Support/IsoDate.h"

#include <QLocale>
#include <QUuid>
#include <array>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace pemmo::LegacyMigration {
namespace {

using nlohmann::json;

// Seconds between 1970-01-01 and 2001-01-01, the earlier app's reference date.
constexpr qint64 kReferenceDateOffset = 978307200;
// Year the address book uses for a birthday whose year is unknown.
constexpr int kNoYearMarker = 1604;

json parse(QByteArrayView bytes) {
    return json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

QString toQString(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A member's value as text: strings as they are, anything else (a number, a list) as its JSON,
// so that nothing of unexpected type is dropped. Absent for missing, null and blank values.
std::optional<QString> text(const json& object, const char* key) {
    if (!object.is_object())
        return std::nullopt;
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    const QString value = it->is_string() ? toQString(it->get<std::string>()) : toQString(it->dump());
    if (value.trimmed().isEmpty())
        return std::nullopt;
    return value;
}

const json& member(const json& object, const char* key) {
    static const json null;
    if (!object.is_object())
        return null;
    const auto it = object.find(key);
    return it == object.end() ? null : *it;
}

QString withoutGeneratedPrefix(const QString& name) {
    static const QString prefix = QStringLiteral("other_");
    return name.startsWith(prefix) ? name.mid(prefix.size()) : name;
}

// "Favourite food" from "favourite_food" and "favouriteFood".
QString humanise(const QString& name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c == u'_' || c == u'-') {
            out += u' ';
        } else if (c.isUpper() && i > 0 && name.at(i - 1).isLower()) {
            out += u' ';
            out += c.toLower();
        } else {
            out += c;
        }
    }
    out = out.simplified();
    if (!out.isEmpty())
        out[0] = out[0].toUpper();
    return out;
}

std::optional<QuickLink::Kind> socialKind(const QString& key) {
    const QString k = key.trimmed().toLower();
    if (k == u"instagram")
        return QuickLink::Kind::Instagram;
    if (k == u"linkedin")
        return QuickLink::Kind::LinkedIn;
    if (k == u"x" || k == u"twitter")
        return QuickLink::Kind::X;
    return std::nullopt;
}

QString socialTitle(QuickLink::Kind kind, const QString& key) {
    switch (kind) {
    case QuickLink::Kind::Instagram:
        return QStringLiteral("Instagram");
    case QuickLink::Kind::LinkedIn:
        return QStringLiteral("LinkedIn");
    case QuickLink::Kind::X:
        return QStringLiteral("X");
    case QuickLink::Kind::Custom:
        break;
    }
    const QString title = humanise(withoutGeneratedPrefix(key));
    return title.isEmpty() ? QStringLiteral("Link") : title;
}

// Members of a JSON object as (key, text) pairs in key order; values of other types as JSON.
std::vector<std::pair<QString, QString>> textMap(const json& object) {
    std::vector<std::pair<QString, QString>> out;
    if (!object.is_object())
        return out;
    std::map<std::string, const json*> sorted;
    for (auto it = object.begin(); it != object.end(); ++it)
        sorted.emplace(it.key(), &it.value());
    for (const auto& [key, value] : sorted) {
        if (value->is_null())
            continue;
        const QString v =
            value->is_string() ? toQString(value->get<std::string>()) : toQString(value->dump());
        if (!v.trimmed().isEmpty())
            out.emplace_back(toQString(key), v);
    }
    return out;
}

// A date text of the earlier layout as read: the instant, and for a date-only text ("12/31/1970")
// the calendar day it names, which no time zone may move.
struct LegacyDate {
    QDateTime instant; // invalid when no store file could hold it (a day of the year 1 east of UTC)
    std::optional<QDate> day;
    bool isNumber = false; // seconds since 2001-01-01, written as a bare number
};

// The dates a store file can hold; anything beyond them stays text, in `about`.
std::optional<QDateTime> storable(const QDateTime& date) {
    static const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    static const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    if (!date.isValid() || date < first || date > last)
        return std::nullopt;
    return date;
}

std::optional<LegacyDate> readDate(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (const auto date = IsoDate::parse(text)) {
        if (const auto instant = storable(*date))
            return LegacyDate{*instant, std::nullopt, false};
        return std::nullopt;
    }

    // A bare number: seconds since 2001-01-01, the earlier app's native date coding.
    bool isNumber = false;
    const double seconds = text.toDouble(&isNumber);
    if (isNumber) {
        if (!std::isfinite(seconds) || std::abs(seconds) >= 1e11)
            return std::nullopt;
        const auto instant = storable(QDateTime::fromSecsSinceEpoch(
            kReferenceDateOffset + static_cast<qint64>(std::floor(seconds)), Qt::UTC));
        if (!instant)
            return std::nullopt;
        return LegacyDate{*instant, std::nullopt, true};
    }

    // A date-only text names a calendar day. As an instant it is the start of that day where the
    // user is, so a timeline shows the same day in every time zone; date-times without a zone are
    // the user's local time.
    static const std::array<const char*, 7> dateFormats{
        "yyyy-MM-dd", "yyyy/MM/dd", "MM/dd/yyyy", "dd.MM.yyyy", "MMMM d, yyyy", "MMM d, yyyy", "d MMMM yyyy"};
    static const std::array<const char*, 4> dateTimeFormats{"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss",
                                                            "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm"};
    const QLocale posix(QLocale::C);
    for (const char* format : dateFormats) {
        const QDate day = posix.toDate(text, QString::fromLatin1(format));
        if (!day.isValid())
            continue;
        return LegacyDate{storable(day.startOfDay(Qt::LocalTime).toUTC()).value_or(QDateTime()), day, false};
    }
    for (const char* format : dateTimeFormats) {
        const QDateTime date = posix.toDateTime(text, QString::fromLatin1(format));
        if (!date.isValid())
            continue;
        if (const auto instant = storable(date.toUTC()))
            return LegacyDate{*instant, std::nullopt, false};
        return std::nullopt;
    }
    return std::nullopt;
}

// A birthday is a calendar day. A bare number is not read as one: seconds since 2001 cannot be
// told from a year, a day count or an age, so it stays text. Absent when the day falls outside
// the years a stored birthday may have (1 to 9999).
std::optional<DateComponents> birthdayComponents(const QString& text) {
    const std::optional<LegacyDate> date = readDate(text);
    if (!date || date->isNumber)
        return std::nullopt;
    // An instant is read in the user's time zone, where the earlier app showed it.
    const QDate day = date->day.value_or(date->instant.toLocalTime().date());
    if (day.year() < 1 || day.year() > 9999)
        return std::nullopt;
    DateComponents components;
    if (day.year() != kNoYearMarker)
        components.year = day.year();
    components.month = day.month();
    components.day = day.day();
    return components;
}

PemmoRecord convert(const json& legacy, const QDateTime& now) {
    PemmoRecord record = PemmoRecord::fresh(now);
    const json& data = member(legacy, "pemmoData");
    const json& metadata = member(data, "metadata");
    const json& quickActions = member(data, "quickActions");
    QStringList aboutLines;

    // Tags: a list of texts, which become circle ids as a typed circle name does ("Book  Club" and
    // "book club" are one circle); anything else is kept as an about line.
    const json& tags = member(data, "tags");
    if (tags.is_array()) {
        for (const json& tag : tags) {
            const QString t =
                tag.is_string() ? Tag::normalizedID(toQString(tag.get<std::string>())) : QString();
            if (!t.isEmpty() && !record.tags.contains(t))
                record.tags.append(t);
            else if (!tag.is_string() && !tag.is_null())
                aboutLines.append(QStringLiteral("Tag: ") + toQString(tag.dump()));
        }
    } else if (!tags.is_null()) {
        aboutLines.append(QStringLiteral("Tags: ") + toQString(tags.dump()));
    }

    Details& d = record.details;
    d.company = text(data, "company");
    d.school = text(metadata, "schoolName");
    d.major = text(metadata, "majorOrProgram");
    d.graduationYear = text(metadata, "graduationYear");
    d.jobTitle = text(metadata, "jobTitle");
    d.team = text(metadata, "teamOrDepartment");
    d.workLocation = text(metadata, "workLocation");
    d.hometown = text(metadata, "hometown");
    d.currentCity = text(metadata, "currentCity");
    d.howWeMet = text(metadata, "howWeMet");
    d.mutuals = text(metadata, "mutualConnections");
    d.email = text(metadata, "email");
    record.messageHandle = text(data, "iMessageHandle");
    record.findMyURL = text(quickActions, "findMyURL");
    record.gmailTemplate = text(quickActions, "gmailComposeURLTemplate");

    if (const auto notes = text(data, "notes"))
        aboutLines.append(*notes);
    if (const auto plainNote = text(legacy, "plainNote"); plainNote && !aboutLines.contains(*plainNote))
        aboutLines.append(*plainNote);
    for (const auto& [key, value] : textMap(member(data, "customFields")))
        aboutLines.append(humanise(withoutGeneratedPrefix(key)) + QStringLiteral(": ") + value);

    for (const auto& [key, url] : textMap(member(data, "socialLinks"))) {
        const QuickLink::Kind kind = socialKind(key).value_or(QuickLink::Kind::Custom);
        record.links.append(QuickLink{QUuid::createUuid(), kind, socialTitle(kind, key), url.trimmed()});
    }

    if (const auto birthday = text(data, "birthday")) {
        if (const auto components = birthdayComponents(*birthday))
            record.birthday = components;
        else
            aboutLines.append(QStringLiteral("Birthday: ") + *birthday);
    }

    if (const auto lastContacted = text(data, "lastContacted")) {
        if (const auto date = parseLegacyDate(*lastContacted)) {
            record.interactions.append(Interaction{QUuid::createUuid(), *date, Interaction::Kind::Other,
                                                   QStringLiteral("Last contacted (migrated)"), std::nullopt,
                                                   std::nullopt, Interaction::Source::automatic()});
        } else {
            aboutLines.append(QStringLiteral("Last contacted: ") + *lastContacted);
        }
    }

    record.about = aboutLines.join(QStringLiteral("\n\n"));
    if (const auto updated = text(legacy, "updatedAt")) {
        if (const auto date = parseLegacyDate(*updated))
            record.updatedAt = *date;
    }
    return record;
}

} // namespace

bool isLegacy(QByteArrayView bytes) {
    const json root = parse(bytes);
    if (!root.is_object() || root.contains("schema"))
        return false;
    for (const auto& [id, value] : root.items()) {
        if (value.is_object()) {
            const auto it = value.find("pemmoData");
            if (it != value.end() && !it->is_null())
                return true;
        }
    }
    return false;
}

RecordMap migrate(QByteArrayView bytes, const QDateTime& now) {
    const json root = parse(bytes);
    if (!root.is_object())
        throw DecodingError(DecodingError::Kind::TypeMismatch, {},
                            QStringLiteral("Expected the earlier layout: an object of records."));
    RecordMap records;
    for (const auto& [id, value] : root.items()) {
        // Members that are not records of the earlier layout carry nothing we could convert; the
        // untouched backup of the whole file still holds them.
        if (!value.is_object())
            continue;
        records.insert(toQString(id), convert(value, now));
    }
    return records;
}

std::optional<QDateTime> parseLegacyDate(const QString& text) {
    if (const auto date = readDate(text); date && date->instant.isValid())
        return date->instant;
    return std::nullopt;
}

} // namespace pemmo::LegacyMigration
