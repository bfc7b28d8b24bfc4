// Which e-mail addresses are the user's own, guessed from their calendars: on Linux no calendar
// says which participant is the user, but the user takes part in nearly every event of their own
// calendars, and other people each in a few.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pemmo::SelfAddresses {

// `events`: the addresses taking part in each event or series (organiser included). `hints`:
// calendar names, which some servers set to the owner's address (Google's calendar folders).
//
// A hint that looks like an address and takes part in some event is the user's. Then, among the
// events with at least two participants that no address found so far takes part in, the address
// in the most of them is the user's too, if it is in at least two of them, in at least half of
// them, and in more than any other address; this repeats (a work and a personal address) until no
// address qualifies. Most frequent first.
QStringList infer(const QList<QSet<QString>>& events, const QStringList& hints = {});

} // namespace pemmo::SelfAddresses
