// The addresses the AI providers may talk to, read from the settings: https anywhere, plain http
// only to this computer, so that neither a key nor a person's data crosses a network in clear.
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace pemmo::ServerAddress {

// The address typed in the settings, or absent when it is not one Pemmo will send to.
std::optional<QUrl> parse(const QString& text);
// The same for a server that must be on this computer (the local model server, which Pemmo tells
// the user keeps everything on this computer): a loopback address, http or https.
std::optional<QUrl> parseLocal(const QString& text);
// Whether a request to `from` may follow a redirect to `to`: never from https to plain http, and
// never from this computer to another.
bool mayRedirect(const QUrl& from, const QUrl& to);

// True for 127.0.0.0/8, ::1 and "localhost".
bool isLoopback(const QUrl& url);

// `base` with `path` appended to its own path (one slash between them).
QUrl withPath(const QUrl& base, const QString& path);

} // namespace pemmo::ServerAddress
