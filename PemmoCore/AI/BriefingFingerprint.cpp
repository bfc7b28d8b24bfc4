#include "AI/BriefingFingerprint.h"

#include "Records/WritableField.h"
#include "Support/Hashing.h"
#include "Support/IsoDate.h"

#include <QStringList>

namespace pemmo::BriefingFingerprint {
namespace {

QString optional(const std::optional<QString>& value) {
    return value.value_or(QString());
}

QString date(const std::optional<DateComponents>& components) {
    if (!components)
        return {};
    return (components->year ? QString::number(*components->year) : QString()) + u'-' +
           QString::number(components->month) + u'-' + QString::number(components->day);
}

} // namespace

QString text(const Profile& profile) {
    const Person& person = *profile.person;
    const PemmoRecord& record = *profile.record;

    // What the address book says of the person, as the context shows it.
    const QStringList descriptive{person.displayName(), optional(profile.role()),
                                  optional(profile.company())};

    QStringList texts;
    for (const WritableField field : WritableFields::all())
        texts.append(optional(WritableFields::slot(record, field)));
    texts.append(date(record.birthday));
    texts.append(record.about);

    QStringList timeline;
    for (const Interaction& entry : record.interactions) {
        timeline.append(IsoDate::format(entry.date) + u'|' +
                        entry.id.toString(QUuid::WithoutBraces).toUpper() + u'|' + kindName(entry.kind) +
                        u'|' + entry.text);
    }

    return QStringList{descriptive.join(u'|'), record.tags.join(u','), texts.join(u'|'), timeline.join(u'\n')}
        .join(u'|');
}

QString of(const Profile& profile) {
    return Hashing::fnv1a64Hex(text(profile));
}

} // namespace pemmo::BriefingFingerprint
