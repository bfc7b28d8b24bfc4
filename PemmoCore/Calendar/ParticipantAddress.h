// The e-mail address in a calendar participant's address ("mailto:ada%40example.com?subject=x"):
// only "mailto:" addresses (in any case) have one.
#pragma once

#include <QString>

namespace pemmo::ParticipantAddress {

// Drops the scheme and anything from the first "?" or ",", decodes percent escapes (keeping the
// text as it is when they do not decode to UTF-8), then trims and lower-cases. Empty for any other
// kind of address (telephone, web).
QString email(const QString& address);

// Whether two participant addresses name the same participant: the same e-mail address for
// "mailto:" ones, else the same text.
bool same(const QString& a, const QString& b);

} // namespace pemmo::ParticipantAddress
