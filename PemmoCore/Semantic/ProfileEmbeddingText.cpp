#include "Semantic/ProfileEmbeddingText.h"

#include "Support/Hashing.h"

#include <algorithm>

namespace pemmo::ProfileEmbeddingText {
namespace {

void add(QStringList& lines, const std::optional<QString>& value) {
    if (value && !value->trimmed().isEmpty())
        lines.append(value->trimmed());
}

void add(QStringList& lines, const QString& value) {
    if (!value.trimmed().isEmpty())
        lines.append(value.trimmed());
}

// Joins the values that exist with ", ".
QString joined(std::initializer_list<std::optional<QString>> values) {
    QStringList parts;
    for (const auto& value : values)
        add(parts, value);
    return parts.join(QStringLiteral(", "));
}

QList<const Interaction*> notes(const Profile& profile) {
    QList<const Interaction*> list;
    for (const Interaction& entry : profile.record.interactions) {
        if (entry.source.kind != Interaction::Source::Kind::Auto && !entry.text.trimmed().isEmpty())
            list.append(&entry);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const Interaction* a, const Interaction* b) { return a->date < b->date; });
    return list;
}

} // namespace

QString text(const Profile& profile) {
    const Person& person = profile.person;
    const Details& details = profile.record.details;
    QStringList lines;
    add(lines, joined({person.givenName, person.familyName, person.nickname}));
    add(lines, profile.record.tags.join(QStringLiteral(", ")));
    add(lines, joined({profile.role(), profile.company(), details.team, details.workLocation}));
    add(lines, joined({details.school, details.major, details.graduationYear}));
    add(lines, joined({details.currentCity, details.hometown}));
    add(lines, details.howWeMet);
    add(lines, profile.record.about);
    for (const Interaction* note : notes(profile))
        add(lines, note->text);
    return lines.join(u'\n');
}

QStringList memories(const Profile& profile) {
    QStringList list;
    for (const Interaction* note : notes(profile))
        list.append(note->text.trimmed());
    add(list, profile.record.about);
    add(list, profile.record.details.howWeMet);
    return list;
}

QString contentHash(const Profile& profile) {
    return Hashing::fnv1a64Hex(hashPrefix() + text(profile));
}

} // namespace pemmo::ProfileEmbeddingText
