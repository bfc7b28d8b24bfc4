// The people Ask sends to a model and how they are shown to it: which come first, the one line of
// facts per person, the saved memory that bears on the question, and the reason shown back.
#pragma once

#include "AI/CandidateSummary.h"
#include "Records/Profile.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo::AskCandidates {

// At most this many people go to the model.
constexpr int limit = 40;

// `profiles` with those sharing most of the question's words first (their order kept otherwise),
// so that the people cut off after the first 40 are the least likely answers.
QList<Profile> ordered(const QList<Profile>& profiles, const QString& question);

// The person's newest saved memory that shares a word with the question (beyond the filler words).
std::optional<QString> memoryFor(const Profile& profile, const QString& question);

// id, display name, and "role @ company · school · circles · how we met", each part only when
// there is one, plus " · Saved user memories: " and the memory that bears on the question.
CandidateSummary summarize(const Profile& profile, const QString& question);

// The reason shown for a ranked person: when it rests on the memory that was sent (it names a word
// of the question that the memory holds and nothing else on the person's line does), the user's
// own words, "You wrote: “…”"; otherwise the model's reason.
QString groundedReason(const QString& reason, const Profile& profile, const QString& question);

} // namespace pemmo::AskCandidates
