// A model that turns Pemmo's prompts into typed answers: the local model server or Claude. The
// service decides whether a call may be made at all; a provider only makes it.
#pragma once

#include "AI/AIAvailability.h"
#include "AI/Briefing.h"
#include "AI/CandidateSummary.h"
#include "AI/CaptureResult.h"
#include "AI/Channel.h"
#include "AI/ExtractedProfile.h"
#include "AI/PersonContext.h"
#include "AI/RankedCandidate.h"
#include "Settings/AIProviderID.h"

#include <QCoroTask>
#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

class AIProvider {
public:
    virtual ~AIProvider() = default;

    virtual AIProviderID id() const = 0;
    // True when the provider sends data off the computer.
    virtual bool leavesDevice() const = 0;
    virtual QString displayName() const = 0;
    // The model in use, as recorded in briefing caches and in the source of AI changes.
    virtual QString modelName() const = 0;

    virtual QCoro::Task<AIAvailability> availability() = 0;
    virtual QCoro::Task<Briefing> briefing(PersonContext context) = 0;
    virtual QCoro::Task<ExtractedProfile> extract(QString text) = 0;
    // `today` is the user's current date as "yyyy-MM-dd".
    virtual QCoro::Task<CaptureResult> capture(QString note, std::optional<PersonContext> context,
                                               QString today) = 0;
    virtual QCoro::Task<QString> draft(PersonContext context, Channel channel,
                                       std::optional<QString> intent) = 0;
    virtual QCoro::Task<QList<RankedCandidate>> rank(QString query, QList<CandidateSummary> candidates) = 0;
};

} // namespace pemmo
