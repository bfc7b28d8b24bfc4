#include "Profiles/RecordEdits.h"

#include "Records/FieldChange.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"

#include <QDate>
#include <algorithm>

namespace pemmo::RecordEdits {
namespace {

int customLinkCount(const PemmoRecord& record) {
    return static_cast<int>(
        std::count_if(record.links.cbegin(), record.links.cend(),
                      [](const QuickLink& link) { return link.kind == QuickLink::Kind::Custom; }));
}

template <class T> qsizetype indexOfID(const QList<T>& list, const QUuid& id) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].id == id)
            return i;
    }
    return -1;
}

template <class T> bool assign(T& slot, const T& value) {
    if (slot == value)
        return false;
    slot = value;
    return true;
}

} // namespace

bool setField(PemmoRecord& record, WritableField field, const std::optional<QString>& value,
              const Interaction::Source& source, const QDateTime& now) {
    std::optional<QString> normalized;
    if (value && !Text::isBlank(*value))
        normalized = Text::trimmed(*value);
    std::optional<QString>& slot = WritableFields::slot(record, field);
    if (slot == normalized)
        return false;
    FieldChange change;
    change.id = QUuid::createUuid();
    change.date = now;
    change.field = WritableFields::name(field);
    change.oldValue = slot;
    change.newValue = normalized;
    change.source = source;
    slot = normalized;
    record.changes.append(change);
    return true;
}

bool addTag(PemmoRecord& record, const QString& tagID) {
    if (record.tags.contains(tagID))
        return false;
    record.tags.append(tagID);
    return true;
}

bool removeTag(PemmoRecord& record, const QString& tagID) {
    return record.tags.removeAll(tagID) > 0;
}

bool addLink(PemmoRecord& record, QuickLink link) {
    if (link.kind == QuickLink::Kind::Custom && customLinkCount(record) >= customLinkLimit)
        throw PemmoError::customLinkLimitReached(customLinkLimit);
    if (link.id.isNull())
        link.id = QUuid::createUuid();
    record.links.append(link);
    return true;
}

bool updateLink(PemmoRecord& record, const QuickLink& link) {
    const qsizetype index = indexOfID(record.links, link.id);
    if (index < 0)
        return false;
    const bool becomesCustom =
        link.kind == QuickLink::Kind::Custom && record.links[index].kind != QuickLink::Kind::Custom;
    if (becomesCustom && customLinkCount(record) >= customLinkLimit)
        throw PemmoError::customLinkLimitReached(customLinkLimit);
    return assign(record.links[index], link);
}

bool removeLink(PemmoRecord& record, const QUuid& linkID) {
    const qsizetype index = indexOfID(record.links, linkID);
    if (index < 0)
        return false;
    record.links.removeAt(index);
    return true;
}

bool addInteraction(PemmoRecord& record, Interaction interaction) {
    if (interaction.id.isNull())
        interaction.id = QUuid::createUuid();
    record.interactions.append(interaction);
    return true;
}

bool updateInteraction(PemmoRecord& record, const Interaction& interaction) {
    const qsizetype index = indexOfID(record.interactions, interaction.id);
    if (index < 0)
        return false;
    return assign(record.interactions[index], interaction);
}

bool removeInteraction(PemmoRecord& record, const QUuid& interactionID) {
    const qsizetype index = indexOfID(record.interactions, interactionID);
    if (index < 0)
        return false;
    record.interactions.removeAt(index);
    return true;
}

bool appendAbout(PemmoRecord& record, const QString& text) {
    const QString addition = Text::trimmed(text);
    if (addition.isEmpty())
        return false;
    if (Text::isBlank(record.about))
        record.about = addition;
    else
        record.about = Text::trimmed(record.about) + QStringLiteral("\n\n") + addition;
    return true;
}

bool setAbout(PemmoRecord& record, const QString& text) {
    return assign(record.about, text);
}

bool setAICloudOptOut(PemmoRecord& record, bool optOut) {
    return assign(record.aiCloudOptOut, optOut);
}

bool isValidBirthday(const DateComponents& birthday) {
    if (birthday.year && (*birthday.year < 1 || *birthday.year > 9999))
        return false;
    // Without a year, 29 February is a birthday all the same: judge the day in a leap year.
    return QDate::isValid(birthday.year.value_or(2000), birthday.month, birthday.day);
}

bool setBirthday(PemmoRecord& record, const std::optional<DateComponents>& birthday) {
    if (birthday && !isValidBirthday(*birthday)) {
        // The input as text, "1990-02-30" or "--02-30" without a year, for whoever shows it.
        QString input = birthday->year ? QString::number(*birthday->year) : QStringLiteral("-");
        input += u"-%1-%2"_qs.arg(birthday->month, 2, 10, QLatin1Char('0'))
                     .arg(birthday->day, 2, 10, QLatin1Char('0'));
        throw PemmoError::invalidBirthday(input);
    }
    return assign(record.birthday, birthday);
}

bool setBriefing(PemmoRecord& record, const std::optional<BriefingCache>& briefing) {
    return assign(record.briefingCache, briefing);
}

} // namespace pemmo::RecordEdits
