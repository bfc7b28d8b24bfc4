// A contact joined with Pemmo's record of them: what search, screens, AI and Moments work on.
#pragma once

#include "Records/PemmoRecord.h"
#include "Records/Person.h"
#include "Support/Shared.h"

#include <QDateTime>
#include <optional>

namespace pemmo {

// The person and the record are handles to bodies shared with the address book and the store:
// a profile costs two reference counts, not a copy of either. Change one by making a new body.
struct Profile {
    Shared<Person> person;
    Shared<PemmoRecord> record;

    const QString& id() const { return person->id; }

    bool operator==(const Profile&) const = default;

    // The job title Pemmo holds, else the address book's.
    std::optional<QString> role() const;
    // The company Pemmo holds, else the address book's organisation.
    std::optional<QString> company() const;
    // "role @ company", or whichever of the two exists.
    std::optional<QString> headline() const;
    // When the user was last in touch: the date of the newest timeline entry, if any.
    std::optional<QDateTime> lastContacted() const;

    // Where a message goes: the record's handle when not blank (as stored), else the first phone
    // number that is not blank, else the first such e-mail address.
    std::optional<QString> messageHandle() const;
    // The first phone number and e-mail address that are not blank.
    std::optional<QString> phone() const;
    std::optional<QString> email() const;
};

} // namespace pemmo
