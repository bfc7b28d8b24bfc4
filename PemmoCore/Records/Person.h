// The address-book half of a person: what the user's contacts hold. Never persisted by Pemmo.
#pragma once

#include "Records/DateComponents.h"
#include "Records/LabeledValue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

struct Person {
    QString id;
    QString givenName;
    QString familyName;
    QString nickname;
    std::optional<QString> organization;
    std::optional<QString> jobTitle;
    QList<LabeledValue> emails;
    QList<LabeledValue> phones;
    std::optional<DateComponents> birthday;
    std::optional<QByteArray> thumbnail;
    bool hasFullImage = false;

    bool operator==(const Person&) const = default;

    // Given and family name joined; else the organisation; else "Unnamed".
    QString displayName() const;
    // One or two user-perceived characters for an avatar; "?" when there is nothing to go on.
    QString initials() const;
};

size_t qHash(const Person& p, size_t seed = 0);

} // namespace pemmo
