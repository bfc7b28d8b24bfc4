// People for tests: an address-book contact with just an id and names, their profile, and a note the
// user wrote.
#pragma once

#include "Records/Interaction.h"
#include "Records/Person.h"
#include "Records/Profile.h"
#include "Support/Shared.h"

#include <QList>
#include <QStringList>
#include <QUuid>

namespace pemmo::test {

inline Person person(const QString& id, const QString& given, const QString& family = {}) {
    Person p;
    p.id = id;
    p.givenName = given;
    p.familyName = family;
    return p;
}

// That contact with a fresh record of Pemmo's, made at `now`.
inline Profile profile(const QString& id, const QString& given, const QString& family = {},
                       const QDateTime& now = QDateTime::fromSecsSinceEpoch(0, Qt::UTC)) {
    return {person(id, given, family), PemmoRecord::fresh(now)};
}

// The values behind a list of handles, to compare with plain values.
template <class T> QList<T> values(const QList<Shared<T>>& handles) {
    QList<T> result;
    result.reserve(handles.size());
    for (const Shared<T>& handle : handles)
        result.append(*handle);
    return result;
}

// The ids of the things in a list, in its order: people, profiles, hits, Moments.
template <class List> QStringList ids(const List& list) {
    QStringList result;
    for (const auto& item : list) {
        if constexpr (requires { item.id(); })
            result.append(item.id());
        else
            result.append(item.id);
    }
    return result;
}

// A note the user wrote on `date`, with an id of its own.
inline Interaction note(const QString& text, const QDateTime& date) {
    return {QUuid::createUuid(), date, Interaction::Kind::Note, text, {}, {}, Interaction::Source::user()};
}

} // namespace pemmo::test
