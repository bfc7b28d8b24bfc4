// What of a profile the embedding index embeds: one text for the whole person and a list of
// memories embedded one by one, and the content hash that tells whether stored vectors are still
// current. Any change to what goes into them must change `hashPrefix`, so that vectors made the
// old way stop matching and are made again.
#pragma once

#include "Records/Profile.h"

#include <QString>
#include <QStringList>

namespace pemmo::ProfileEmbeddingText {

inline QString hashPrefix() {
    return QStringLiteral("memory-v2|");
}

// Name and nickname, circles, work, school, where they live, how you met, "about", then the
// timeline notes: one line each, empty ones left out.
QString text(const Profile& profile);

// The timeline notes the user or a model wrote, oldest first (entries Pemmo logged by itself,
// such as "Opened Messages", say nothing about the person), then what the user wrote about the
// person ("about", how you met), so that one sentence can match on its own.
QStringList memories(const Profile& profile);

// FNV-1a of hashPrefix() followed by text(), as 16 lower-case hexadecimal digits; the memories are
// made of the same values. Worked out without building the text, since every update hashes every
// profile.
QString contentHash(const Profile& profile);
quint64 contentHashValue(const Profile& profile);

// True when every value the text is made of is the very same shared data in both profiles (Qt's
// implicitly shared strings and lists): then the text is the same without reading it. Holding
// `seen` keeps its data from being changed in place, so a change always shows as other data.
bool sameSource(const Profile& seen, const Profile& profile);

} // namespace pemmo::ProfileEmbeddingText
