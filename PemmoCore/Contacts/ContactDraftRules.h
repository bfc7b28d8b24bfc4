// How the contact form's values land on a contact: the same rules for every address book, as pure
// functions over values.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Records/DateComponents.h"
#include "Records/LabeledValue.h"
#include "Records/Person.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo::ContactDraftRules {

// The labels a new e-mail address and a new phone number get.
inline QString workLabel() {
    return QStringLiteral("work");
}
inline QString mobileLabel() {
    return QStringLiteral("mobile");
}

// Trimmed text, absent when nothing is left.
std::optional<QString> optionalText(const QString& text);

// The e-mail and phone rule: an empty `value` (after trimming) leaves the entries alone; otherwise
// the first entry takes the trimmed value and keeps its label (`defaultLabel` when it had none),
// or a single entry labelled `defaultLabel` is added when there were none.
QList<LabeledValue> applyToFirstEntry(QList<LabeledValue> entries, const QString& value,
                                      const QString& defaultLabel);

// Clearing wins over a given birthday; a given one replaces; otherwise the old one stays.
std::optional<DateComponents> applyBirthday(std::optional<DateComponents> current, const ContactDraft& draft);

// The draft applied to `person`: names, organisation and job title trimmed (empty clears them),
// then the e-mail, phone and birthday rules. The id, thumbnail and photo flag are untouched.
Person apply(Person person, const ContactDraft& draft);

} // namespace pemmo::ContactDraftRules
