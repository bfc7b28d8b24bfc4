#include "Records/Profile.h"

#include "Records/Text.h"

namespace pemmo {

std::optional<QString> Profile::role() const {
    if (!Text::isBlank(record->details.jobTitle))
        return record->details.jobTitle;
    if (!Text::isBlank(person->jobTitle))
        return person->jobTitle;
    return std::nullopt;
}

std::optional<QString> Profile::company() const {
    if (!Text::isBlank(record->details.company))
        return record->details.company;
    if (!Text::isBlank(person->organization))
        return person->organization;
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
    for (const Interaction& entry : record->interactions) {
        if (entry.date.isValid() && (!newest || entry.date > *newest))
            newest = entry.date;
    }
    return newest;
}

namespace {

std::optional<QString> firstNotBlank(const QList<LabeledValue>& values) {
    for (const LabeledValue& value : values) {
        if (!Text::isBlank(value.value))
            return value.value;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> Profile::messageHandle() const {
    if (!Text::isBlank(record->messageHandle))
        return record->messageHandle;
    if (auto number = phone())
        return number;
    return email();
}

std::optional<QString> Profile::phone() const {
    return firstNotBlank(person->phones);
}

std::optional<QString> Profile::email() const {
    return firstNotBlank(person->emails);
}

} // namespace pemmo
