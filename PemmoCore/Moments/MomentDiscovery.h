// Which calendar events become Moments, and when: one-on-one events the user attended with one
// known contact, from the moment they ended (after a delay) until 48 hours later. Pure functions.
#pragma once

#include "Calendar/CalendarEventSnapshot.h"
#include "Moments/MomentCandidate.h"
#include "Records/Profile.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace pemmo::MomentDiscovery {

// How long after its end an event is still offered.
inline constexpr qint64 windowSeconds = 172'800;

// The part of the occurrence hashes that tells occurrences apart: "single" for a one-off event;
// for a repeating one its pattern start (else its start) as seconds since 1970, the shortest
// decimal that reads back to the same number, always with a fraction ("1767225600.0").
QString occurrenceToken(const CalendarEventSnapshot& event);

// The Moments among `events` at `now`: events that ended after `since`, at least `delaySeconds`
// ago (a negative delay counts as none) and less than 48 hours ago. Latest end first; equal ends
// by id. An occurrence read twice (its hashes overlap) is offered once, as first read. An invalid
// `since` sets no lower bound.
QList<MomentCandidate> candidates(const QList<CalendarEventSnapshot>& events, const QList<Profile>& profiles,
                                  const QDateTime& now, const QDateTime& since,
                                  const QHash<QString, QString>& knownEmails, double delaySeconds);

} // namespace pemmo::MomentDiscovery
