// What the contact form holds, as plain values: the one thing every address book and the vCard
// editor agree on.
#pragma once

#include "Records/DateComponents.h"

#include <QString>
#include <optional>

namespace pemmo {

// Plain texts, possibly empty.
struct ContactDraft {
    QString givenName;
    QString familyName;
    QString nickname;
    QString organization;
    QString jobTitle;
    QString email; // empty: leave the e-mail addresses alone
    QString phone; // empty: leave the phone numbers alone
    std::optional<DateComponents> birthday;
    bool clearBirthday = false;

    bool operator==(const ContactDraft&) const = default;
};

} // namespace pemmo
