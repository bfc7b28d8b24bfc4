#include "AI/ProposalApplier.h"

#include "AI/ProposalBuilder.h"
#include "Links/QuickLinkPolicy.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"

#include <algorithm>

namespace pemmo::ProposalApplier {
namespace {

// Adds a link the way the card's own form does: one link per built-in kind (a new one takes the
// old one's place), never the same address twice. A sixth custom link fails the whole apply with
// the limit's message, and nothing is written: the user unchecks it and applies the rest.
bool addLink(PemmoRecord& record, const QuickLink& link) {
    const QString key = ProposalBuilder::linkKey(link.url);
    if (std::any_of(record.links.cbegin(), record.links.cend(), [&key](const QuickLink& existing) {
            return ProposalBuilder::linkKey(existing.url) == key;
        }))
        return false;
    record.links = QuickLinkPolicy::upsert(link, record.links);
    return true;
}

bool setField(PemmoRecord& record, const ProposalItem::SetField& item, const Interaction::Source& source,
              const QDateTime& now) {
    std::optional<QString>& slot = WritableFields::slot(record, item.field);
    if (slot == item.newValue)
        return false;
    slot = item.newValue;
    // The log keeps the value the user saw in the review.
    record.changes.append(FieldChange{QUuid::createUuid(), now, WritableFields::name(item.field),
                                      item.oldValue, item.newValue, source});
    return true;
}

// A paragraph the notes already hold is not added again (a proposal applied twice, say). Only a
// whole paragraph counts: "Loves climbing" is still added to "Loves climbing gyms in Berlin".
bool appendAbout(PemmoRecord& record, const QString& text) {
    const QString addition = Text::trimmed(text);
    const QStringList paragraphs = record.about.split(QStringLiteral("\n\n"));
    if (std::any_of(paragraphs.cbegin(), paragraphs.cend(), [&addition](const QString& paragraph) {
            return Text::trimmed(paragraph).compare(addition, Qt::CaseInsensitive) == 0;
        }))
        return false;
    return RecordEdits::appendAbout(record, addition);
}

bool addInteraction(PemmoRecord& record, const Interaction& interaction) {
    if (std::any_of(record.interactions.cbegin(), record.interactions.cend(),
                    [&interaction](const Interaction& e) { return e.id == interaction.id; }))
        return false;
    return RecordEdits::addInteraction(record, interaction);
}

} // namespace

PemmoRecord apply(const Proposal& proposal, PemmoRecord record, const QDateTime& now) {
    bool changed = false;
    for (const ProposalItem& item : proposal.items) {
        if (!proposal.selected.contains(item.id()))
            continue;
        if (const auto* c = item.as<ProposalItem::SetField>())
            changed |= setField(record, *c, proposal.source, now);
        else if (const auto* c = item.as<ProposalItem::AddTag>())
            changed |= RecordEdits::addTag(record, c->name);
        else if (const auto* c = item.as<ProposalItem::RemoveTag>())
            changed |= RecordEdits::removeTag(record, c->name);
        else if (const auto* c = item.as<ProposalItem::AddLink>())
            changed |= addLink(record, c->link);
        else if (const auto* c = item.as<ProposalItem::AddInteraction>())
            changed |= addInteraction(record, c->interaction);
        else if (const auto* c = item.as<ProposalItem::AppendAbout>())
            changed |= appendAbout(record, c->text);
    }
    if (changed)
        record.updatedAt = now;
    return record;
}

QCoro::Task<void> commit(ProfileSyncEngine& sync, Proposal proposal, Clock clock) {
    if (!proposal.personID)
        throw PemmoError::notFound(QString());
    const QString id = *proposal.personID;
    // Applied to the record as it is when the lock is ours, not as it was when the proposal was
    // built, so an edit that landed in between stays.
    ProfileSyncEngine::RecordChange change = [proposal = std::move(proposal), clock](PemmoRecord& record) {
        record = apply(proposal, record, clock());
    };
    auto committing = sync.commitRecord(id, std::move(change));
    co_await committing;
}

} // namespace pemmo::ProposalApplier
