// Applies the checked items of a proposal to a record, every field change logged with the model
// as its source; and applies a proposal to a person through the sync engine's record mutation, so
// it is one step that never overwrites an edit made meanwhile.
#pragma once

#include "AI/Proposal.h"
#include "Records/PemmoRecord.h"
#include "Support/Clock.h"

#include <QCoroTask>
#include <QDateTime>

namespace pemmo {
class ProfileSyncEngine;
}

namespace pemmo::ProposalApplier {

// The record with the selected items applied in list order; items that would change nothing
// leave it as it was. `updatedAt` becomes `now` when anything changed.
PemmoRecord apply(const Proposal& proposal, PemmoRecord record, const QDateTime& now);

// Applies the proposal to its person's published record and writes it through, under the record
// mutation lock. Throws PemmoError::notFound when the person is gone (or was never chosen), and the
// store's error when the write fails; either way nothing is changed.
QCoro::Task<void> commit(ProfileSyncEngine& sync, Proposal proposal, Clock clock = systemClock());

} // namespace pemmo::ProposalApplier
