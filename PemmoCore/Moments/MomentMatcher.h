// Who an event's other participant is: the normalisation of addresses and names, the merging of
// participants listed twice, and the match against the address book. Pure functions.
#pragma once

#include "Calendar/CalendarAttendee.h"
#include "Records/Profile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace pemmo::MomentMatcher {

// Trimmed, lower-cased, without a leading "mailto:". May be empty.
QString normalizedEmail(const QString& text);
// Case and width folded (accents kept), white space runs made one space, trimmed. May be empty.
QString normalizedName(const QString& text);

// The same participant listed more than once (by address, or once by address and once by a name
// only one addressed participant shares) becomes one entry, in order of first appearance.
QList<CalendarAttendee> mergedAttendees(const QList<CalendarAttendee>& attendees);

// The contact `attendee` is: by address when exactly one contact has it (two contacts sharing it
// is no match at all), else through `knownEmails` (normalised address to contact id), else by
// display name when exactly one contact has it. Only contacts with a given or family name count.
std::optional<QString> match(const CalendarAttendee& attendee, const QList<Profile>& profiles,
                             const QHash<QString, QString>& knownEmails);

} // namespace pemmo::MomentMatcher
