#include "AI/PersonContextBuilder.h"

#include "Records/Text.h"

#include <QLocale>
#include <QTimeZone>
#include <nlohmann/json.hpp>

namespace pemmo::PersonContextBuilder {
namespace {

QString isoDay(const QDateTime& date) {
    return date.toTimeZone(QTimeZone::utc()).date().toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<QString> birthday(const std::optional<DateComponents>& components) {
    if (!components)
        return std::nullopt;
    // A year-less birthday still needs a real day: 2000 is a leap year, so 29 February passes.
    const QDate date(components->year.value_or(2000), components->month, components->day);
    if (!date.isValid())
        return std::nullopt;
    const QLocale posix = QLocale::c();
    return components->year ? posix.toString(date, QStringLiteral("MMM d, yyyy"))
                            : posix.toString(date, QStringLiteral("MMM d"));
}

std::optional<QString> cities(const Details& details) {
    QStringList parts;
    for (const auto& city : {details.hometown, details.currentCity}) {
        if (city && !Text::isBlank(*city))
            parts.append(Text::trimmed(*city));
    }
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join(u" \u2192 "_qs);
}

void put(nlohmann::json& object, const char* key, const std::optional<QString>& value) {
    if (value)
        object[key] = value->toStdString();
}

nlohmann::json list(const QStringList& values) {
    auto array = nlohmann::json::array();
    for (const QString& value : values)
        array.push_back(value.toStdString());
    return array;
}

} // namespace

std::optional<QString> schoolLine(const PemmoRecord& record) {
    const auto& school = record.details.school;
    const auto& year = record.details.graduationYear;
    const bool hasSchool = !Text::isBlank(school);
    const bool hasYear = !Text::isBlank(year);
    if (hasSchool && hasYear)
        return *school + u" \u00B7 Class of "_qs + *year;
    if (hasYear)
        return QStringLiteral("Class of ") + *year;
    if (hasSchool)
        return *school;
    return std::nullopt;
}

PersonContext build(const Profile& profile, int aboutLimit, int interactionLimit) {
    const PemmoRecord& record = *profile.record;
    PersonContext context;
    context.name = profile.person->displayName();
    context.role = profile.headline();
    context.company = profile.company();
    context.school = schoolLine(record);
    context.howWeMet = record.details.howWeMet;
    context.mutuals = record.details.mutuals;
    context.cities = cities(record.details);
    context.birthday = birthday(record.birthday);
    if (const auto last = profile.lastContacted())
        context.lastContacted = isoDay(*last);
    context.tags = record.tags;
    if (!Text::isBlank(record.about))
        context.about = Text::firstCharacters(Text::trimmed(record.about), aboutLimit);
    for (const Interaction& entry : record.interactions.first(
             std::min<qsizetype>(record.interactions.size(), std::max(0, interactionLimit)))) {
        const QString line = isoDay(entry.date) + u' ' + kindName(entry.kind) + u": "_qs + entry.text;
        context.recentInteractions.append(Text::firstCharacters(line, aboutLimit));
    }
    return context;
}

QString contextJSON(const PersonContext& context) {
    // nlohmann::json keeps its keys sorted.
    nlohmann::json object = nlohmann::json::object();
    put(object, "name", context.name);
    put(object, "role", context.role);
    put(object, "company", context.company);
    put(object, "school", context.school);
    put(object, "howWeMet", context.howWeMet);
    put(object, "mutuals", context.mutuals);
    put(object, "cities", context.cities);
    put(object, "birthday", context.birthday);
    put(object, "lastContacted", context.lastContacted);
    object["tags"] = list(context.tags);
    put(object, "about", context.about);
    object["recentInteractions"] = list(context.recentInteractions);
    try {
        return QString::fromStdString(object.dump(2, ' ', false, nlohmann::json::error_handler_t::strict));
    } catch (const nlohmann::json::exception&) {
        return QStringLiteral("{}");
    }
}

} // namespace pemmo::PersonContextBuilder
