// The addresses a contact's card opens: web links checked and completed, the kind and default title
// of a saved link, and the Messages, phone, mail, web-mail and location-sharing addresses. Pure
// functions of their arguments.
//
// Addresses are text rather than QUrl: "imessage://%2B49…" and "tel://+49…" put a phone number
// where a host belongs, which QUrl rightly refuses, and the desktop side rewrites them anyway
// (DesktopAddress).
#pragma once

#include "Records/QuickLink.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::LinkRouter {

// The photo-sharing service, the professional network and the short-message service (current
// name first, then the former one).
QStringList domains(QuickLink::Kind kind);
// What the forms offer for a new web-mail compose template and location-sharing link.
QString defaultGmailTemplate();
QString defaultFindMyURL();

// The web address to store and open: trimmed, "https://" in front when no scheme was typed, and
// refused (absent) when blank, holding white space, or without a host.
std::optional<QString> normalizedURL(const QString& text);
// A named kind ("IG", "twitter", …) decides when it is one of the aliases; otherwise the host does.
QuickLink::Kind kind(const QString& url, const std::optional<QString>& namedKind = std::nullopt);
// "Instagram", "LinkedIn", "X", or for a custom link its host ("Example.org").
QString defaultTitle(QuickLink::Kind kind, const QString& url);

// "imessage://" and the handle with every character but letters and digits percent-encoded.
std::optional<QString> messagesURL(const QString& handle);
// The number as a phone dials it: a leading "+" when written, then every digit as an ASCII digit
// (full-width forms and other scripts' digits too); empty without a digit.
QString dialled(const QString& phone);
// "tel://" and the dialled number; absent without a digit.
std::optional<QString> callURL(const QString& phone);
// "mailto:" with the subject and body items that are not empty.
std::optional<QString> mailURL(const QString& address, const QString& subject = {}, const QString& body = {});
// The template with every "{email}" replaced by the address, checked as a web address.
std::optional<QString> gmailURL(const QString& templateText, const QString& address);
// A quick link's or the location-sharing link's address, checked as a web address.
std::optional<QString> webURL(const QString& text);

} // namespace pemmo::LinkRouter
