#include "Contacts/ContactDraftRules.h"

#include "Records/Text.h"

namespace pemmo::ContactDraftRules {

std::optional<QString> optionalText(const QString& text) {
    QString trimmed = Text::trimmed(text);
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

QList<LabeledValue> applyToFirstEntry(QList<LabeledValue> entries, const QString& value,
                                      const QString& defaultLabel) {
    const QString trimmed = Text::trimmed(value);
    if (trimmed.isEmpty())
        return entries;
    if (entries.isEmpty()) {
        entries.append(LabeledValue{defaultLabel, trimmed});
        return entries;
    }
    LabeledValue& first = entries.first();
    first.value = trimmed;
    if (first.label.isEmpty())
        first.label = defaultLabel;
    return entries;
}

std::optional<DateComponents> applyBirthday(std::optional<DateComponents> current,
                                            const ContactDraft& draft) {
    if (draft.clearBirthday)
        return std::nullopt;
    if (draft.birthday)
        return draft.birthday;
    return current;
}

Person apply(Person person, const ContactDraft& draft) {
    person.givenName = Text::trimmed(draft.givenName);
    person.familyName = Text::trimmed(draft.familyName);
    person.nickname = Text::trimmed(draft.nickname);
    person.organization = optionalText(draft.organization);
    person.jobTitle = optionalText(draft.jobTitle);
    person.emails = applyToFirstEntry(std::move(person.emails), draft.email, workLabel());
    person.phones = applyToFirstEntry(std::move(person.phones), draft.phone, mobileLabel());
    person.birthday = applyBirthday(person.birthday, draft);
    return person;
}

} // namespace pemmo::ContactDraftRules
