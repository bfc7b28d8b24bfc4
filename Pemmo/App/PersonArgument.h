// How the command line names a person: by contact id, by full name, or by a name search that
// finds exactly one person. Anything that could mean two people is refused, never guessed.
#pragma once

#include "Records/Profile.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo::PersonArgument {

struct Resolution {
    std::optional<Profile> profile;
    QString error; // what to tell the user when there is no profile
};

// 1. a contact id, exactly; 2. a display name, ignoring case and accents; 3. the people whose
// name the panel's search matches. One person found is the answer; none or several is an error
// that lists the candidates with their ids.
Resolution resolve(const QString& text, const QList<Profile>& profiles);

} // namespace pemmo::PersonArgument
