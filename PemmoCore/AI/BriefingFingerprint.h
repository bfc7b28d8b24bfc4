// The fingerprint of everything a briefing is made from: a cached briefing is used again only
// while the fingerprint of the profile is still the one it was made from.
#pragma once

#include "Records/Profile.h"

#include <QString>

namespace pemmo::BriefingFingerprint {

// FNV-1a (16 lower-case hex digits) of the text below.
QString of(const Profile& profile);

// The text that is hashed: the person's descriptive text, the circles, the record's texts and the
// timeline, separated by "|" (the timeline one entry per line).
QString text(const Profile& profile);

} // namespace pemmo::BriefingFingerprint
