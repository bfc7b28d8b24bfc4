#include "Screens/InteractionDrafts.h"

namespace pemmo {

InteractionDrafts::InteractionDrafts(QObject* parent)
    : QObject(parent) {}

InteractionDrafts& InteractionDrafts::of(QObject& owner) {
    if (auto* drafts = owner.findChild<InteractionDrafts*>(QString(), Qt::FindDirectChildrenOnly))
        return *drafts;
    return *new InteractionDrafts(&owner);
}

QString InteractionDrafts::key(const QString& contactID, const std::optional<QUuid>& entryID) {
    return contactID + u'\n' + (entryID ? entryID->toString(QUuid::WithoutBraces) : QString());
}

std::optional<InteractionDrafts::Draft> InteractionDrafts::value(const QString& contactID,
                                                                 const std::optional<QUuid>& entryID) const {
    const auto it = m_drafts.constFind(key(contactID, entryID));
    if (it == m_drafts.constEnd())
        return std::nullopt;
    return *it;
}

void InteractionDrafts::keep(const QString& contactID, const std::optional<QUuid>& entryID, Draft draft) {
    m_drafts.insert(key(contactID, entryID), std::move(draft));
}

void InteractionDrafts::drop(const QString& contactID, const std::optional<QUuid>& entryID) {
    m_drafts.remove(key(contactID, entryID));
}

} // namespace pemmo
