// What the AI providers read out of a server's answer: the model's text, or the failure the user is
// shown. Pure functions of the status and body, so that anything a server sends can be tried
// against them.
#pragma once

#include "Records/PemmoError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::ProviderResponses {

// The answer text of an Anthropic Messages API response, trimmed and never empty; throws the
// PemmoError the user sees for anything else (an HTTP failure, a refusal, a cut-off or unreadable
// answer).
QString messagesText(int status, const QByteArray& body);

// The answer text of a local model server's chat response, trimmed and never empty; throws the
// PemmoError the user sees for anything else, naming the server by `server` (its address).
// `notInstalled` is the message for a model the server does not have.
QString chatText(int status, const QByteArray& body, const QString& server, const QString& notInstalled);

// The model names a local model server lists (`GET /api/tags`), trimmed, each once, sorted without
// regard to case; absent when the answer is not such a list.
std::optional<QStringList> installedModels(int status, const QByteArray& body);

// "Couldn't parse the model's response", followed by the first 200 characters of what it said.
PemmoError parseFailure(const QString& shown);

} // namespace pemmo::ProviderResponses
