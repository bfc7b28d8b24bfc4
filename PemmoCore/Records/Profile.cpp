#include "Records/Profile.h"

#include "Records/Text.h"

namespace pemmo {

std::optional<QString> Profile::role() const {
    if (!Text::isBlank(record.details.jobTitle))
        return record.details.jobTitle;
    if (!Text::isBlank(person.jobTitle))
        return person.jobTitle;
    return std::nullopt;
}

std::optional<QString> Profile::company() const {
    if (!Text::isBlank(record.details.company))
        return record.details.company;
    if (!Text::isBlank(person.organization))
        return person.organization;
    return std::nullopt;
}

std::optional<QString> Profile::headline() const {
    const auto r = role();
    const auto c = company();
    if (r && c)
        return *r + QStringLiteral(" @ ") + *c;
    if (r)
        return r;
    return c;
}

std::optional<QDateTime> Profile::lastContacted() const {
    std::optional<QDateTime> newest;
    for (const Interaction& entry : record.interactions) {
        if (entry.date.isValid() && (!newest || entry.date > *newest))
            newest = entry.date;
    }
    return newest;
}

} // namespace pemmo
