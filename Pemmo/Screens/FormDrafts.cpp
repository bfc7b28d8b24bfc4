#include "Screens/FormDrafts.h"

#include "Records/Text.h"

namespace pemmo {

namespace {

QString entryKey(const QString& contactID, const std::optional<QUuid>& entryID) {
    return contactID + u'\n' + (entryID ? entryID->toString(QUuid::WithoutBraces) : QString());
}

QString textKey(FormDrafts::TextForm form, const QString& contactID) {
    return (form == FormDrafts::TextForm::Capture ? u"capture\n"_qs : u"enrich\n"_qs) + contactID;
}

} // namespace

FormDrafts::FormDrafts(QObject* parent)
    : QObject(parent) {}

FormDrafts& FormDrafts::of(QObject& owner) {
    if (auto* drafts = owner.findChild<FormDrafts*>(QString(), Qt::FindDirectChildrenOnly))
        return *drafts;
    return *new FormDrafts(&owner);
}

std::optional<FormDrafts::Entry> FormDrafts::entry(const QString& contactID,
                                                   const std::optional<QUuid>& entryID) const {
    const auto it = m_entries.constFind(entryKey(contactID, entryID));
    if (it == m_entries.constEnd())
        return std::nullopt;
    return *it;
}

void FormDrafts::keepEntry(const QString& contactID, const std::optional<QUuid>& entryID, Entry draft) {
    m_entries.insert(entryKey(contactID, entryID), std::move(draft));
}

void FormDrafts::dropEntry(const QString& contactID, const std::optional<QUuid>& entryID) {
    m_entries.remove(entryKey(contactID, entryID));
}

QString FormDrafts::text(TextForm form, const QString& contactID) const {
    return m_texts.value(textKey(form, contactID));
}

void FormDrafts::keepText(TextForm form, const QString& contactID, const QString& text) {
    if (Text::isBlank(text))
        m_texts.remove(textKey(form, contactID));
    else
        m_texts.insert(textKey(form, contactID), text);
}

} // namespace pemmo
