#include "Records/Person.h"

#include "Records/Text.h"

namespace pemmo {

QString Person::displayName() const {
    const QString given = Text::trimmed(givenName);
    const QString family = Text::trimmed(familyName);
    if (!given.isEmpty() && !family.isEmpty())
        return given + u' ' + family;
    if (!given.isEmpty())
        return given;
    if (!family.isEmpty())
        return family;
    if (organization) {
        const QString org = Text::trimmed(*organization);
        if (!org.isEmpty())
            return org;
    }
    return QStringLiteral("Unnamed");
}

QString Person::initials() const {
    const QString given = Text::trimmed(givenName);
    const QString family = Text::trimmed(familyName);
    if (!given.isEmpty() && !family.isEmpty())
        return (Text::firstCharacters(given, 1) + Text::firstCharacters(family, 1)).toUpper();
    if (!given.isEmpty() || !family.isEmpty())
        return Text::firstCharacters(given.isEmpty() ? family : given, 2).toUpper();
    if (organization && !Text::isBlank(*organization))
        return Text::firstCharacters(Text::trimmed(*organization), 1).toUpper();
    return QStringLiteral("?");
}

size_t qHash(const Person& p, size_t seed) {
    return qHashMulti(seed, p.id, p.givenName, p.familyName, p.nickname, p.organization.value_or(QString()),
                      p.jobTitle.value_or(QString()), p.hasFullImage);
}

} // namespace pemmo
