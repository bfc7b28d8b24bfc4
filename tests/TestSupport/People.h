// People for tests: an address-book contact with just an id and names.
#pragma once

#include "Records/Person.h"

namespace pemmo::test {

inline Person person(const QString& id, const QString& given, const QString& family = {}) {
    Person p;
    p.id = id;
    p.givenName = given;
    p.familyName = family;
    return p;
}

} // namespace pemmo::test
