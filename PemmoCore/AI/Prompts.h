// Every text Pemmo sends to a model, in one place; both providers send exactly these.
#pragma once

#include "AI/CandidateSummary.h"
#include "AI/Channel.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo::Prompts {

// The instructions every request carries beside its prompt.
QString system();

QString briefing(const QString& contextJSON);
QString extract(const QString& text);
// `today` as "yyyy-MM-dd"; `contextJSON` absent when no person is selected.
QString capture(const QString& note, const std::optional<QString>& contextJSON, const QString& today);
QString draft(const QString& contextJSON, Channel channel, const std::optional<QString>& intent);
QString rank(const QString& query, const QList<CandidateSummary>& candidates);

} // namespace pemmo::Prompts
