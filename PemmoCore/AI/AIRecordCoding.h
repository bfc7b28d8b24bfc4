// Reads the models' structured answers into the AI records. A plain, strict reading: a required
// key that is missing or a value of the wrong type fails the whole answer; unknown keys are ignored.
#pragma once

#include "AI/Briefing.h"
#include "AI/CaptureResult.h"
#include "AI/ExtractedProfile.h"
#include "AI/RankedCandidate.h"

#include <QByteArrayView>
#include <QList>
#include <optional>

namespace pemmo::AIRecordCoding {

// Whether the lists of an answer must be there (the cloud schemas require them) or may be left
// out or null and then read as empty (the local model's shapes mark them optional).
enum class Lists { Required, MayBeAbsent };

std::optional<Briefing> decodeBriefing(QByteArrayView json);
std::optional<ExtractedProfile> decodeExtractedProfile(QByteArrayView json, Lists lists = Lists::Required);
std::optional<CaptureResult> decodeCaptureResult(QByteArrayView json, Lists lists = Lists::Required);
// The "items" of a ranking answer.
std::optional<QList<RankedCandidate>> decodeRanking(QByteArrayView json, Lists lists = Lists::Required);

} // namespace pemmo::AIRecordCoding
