// Turns a model's answer into a Proposal against the person's current record: only what is new,
// nothing blank, nothing the record already says. Building never fails; what does not fit is left
// out.
#pragma once

#include "AI/CaptureResult.h"
#include "AI/ExtractedProfile.h"
#include "AI/Proposal.h"
#include "Records/PemmoRecord.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace pemmo::ProposalBuilder {

// A captured note. `record` absent counts as a record with nothing in it; `contactID` absent when
// the note is not about a person the user had chosen. An interaction without a readable date is
// dated `now`.
Proposal fromCapture(const CaptureResult& capture, const std::optional<PemmoRecord>& record,
                     const std::optional<QString>& contactID, const QString& modelName, bool leftDevice,
                     const QDateTime& now);

// Facts pulled out of pasted text for the person whose record it is.
Proposal fromExtract(const ExtractedProfile& extracted, const PemmoRecord& record, const QString& contactID,
                     const QString& modelName, bool leftDevice);

// Gives a captured note's proposal the person the user picked, and checks its items against that
// person's record: what the record already holds is dropped, the rest keep their check marks.
Proposal forPerson(Proposal proposal, const QString& contactID, const PemmoRecord& record);

// The web address a typed or extracted link stands for: trimmed, "https://" in front when it has no
// scheme; absent when blank, holding white space, or without a host.
std::optional<QString> normalizedURL(const QString& text);
// What two links are compared by: the normalised address (the text itself when it is none),
// without trailing slashes, lower-cased.
QString linkKey(const QString& url);

// The saved link for an extracted one: its kind from the model's hint ("linkedin", "instagram",
// "x" and their aliases; anything else is a custom link), its title the kind's name or the site.
QuickLink quickLink(const QString& url, const QString& kindHint);

} // namespace pemmo::ProposalBuilder
