// People for tests: an address-book contact with just an id and names, and a note the user wrote.
#pragma once

#include "Records/Interaction.h"
#include "Records/Person.h"

#include <QUuid>

namespace pemmo::test {

inline Person person(const QString& id, const QString& given, const QString& family = {}) {
    Person p;
    p.id = id;
    p.givenName = given;
    p.familyName = family;
    return p;
}

// A note the user wrote on `date`, with an id of its own.
inline Interaction note(const QString& text, const QDateTime& date) {
    return {QUuid::createUuid(), date, Interaction::Kind::Note, text, {}, {}, Interaction::Source::user()};
}

} // namespace pemmo::test
