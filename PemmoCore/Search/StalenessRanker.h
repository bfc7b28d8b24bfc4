// The reach-out suggestions of an empty query: people whose last contact is overdue for the
// cadence of their circles, most overdue first.
#pragma once

#include "Records/Profile.h"
#include "Search/StaleProfile.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

namespace pemmo::StalenessRanker {

// Days expected between contacts for someone in none of the known circles.
inline constexpr int defaultCadenceDays = 60;
// The ratio given to someone never contacted: above most of the merely late.
inline constexpr double neverContactedRatio = 2.0;

// The shortest cadence among `tagIDs` ("family" 14, "friends" 30, "work" 45, "school" 90), else 60.
int expectedDays(const QStringList& tagIDs);

QList<StaleProfile> rank(const QList<Profile>& profiles, const QDateTime& now, int limit);

} // namespace pemmo::StalenessRanker
