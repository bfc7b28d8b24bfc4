// Asking the running Pemmo to answer a command that only reads (`pemmo search`, `pemmo list`)
// from what it already holds in memory, over its local socket: the request, the answer, and the
// client that gives up quickly so that the command can answer alone instead.
#pragma once

#include "Shell/SingleInstance.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <chrono>
#include <optional>

namespace pemmo::RunningPemmo {

// How long a command waits for the running Pemmo's answer before answering alone. Its answer
// takes a few milliseconds; a Pemmo that takes longer is busy or stuck, and answering alone
// costs well under a second.
inline constexpr std::chrono::milliseconds defaultTimeout{1000};

// The line sent: the command's name, a space, and its arguments as one line of JSON.
QByteArray request(QByteArrayView name, const QJsonObject& arguments);
// The arguments of `line` when it is a request for `name`; absent otherwise.
std::optional<QJsonObject> parseRequest(QByteArrayView line, QByteArrayView name);

// The answer with the bytes the command prints on standard output, one line.
QByteArray answer(const QByteArray& output);
// The answer of a Pemmo that cannot answer exactly as the command would (still loading, another
// data folder): the command then answers alone.
QByteArray declined(const QString& reason);
// The printed bytes of an answer; absent for a refusal or anything that is not an answer.
std::optional<QByteArray> parseAnswer(QByteArrayView answer);

// Sends the request to the Pemmo listening in `folder` and returns what the command prints;
// absent when none answered within `timeout`, or it declined, or it answered something else.
std::optional<QByteArray> ask(const QByteArray& request, std::chrono::milliseconds timeout = defaultTimeout,
                              const QString& folder = SingleInstance::defaultFolder());

} // namespace pemmo::RunningPemmo
