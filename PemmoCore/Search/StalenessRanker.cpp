#include "Search/StalenessRanker.h"

#include "Profiles/ProfileOrder.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace pemmo::StalenessRanker {
namespace {

constexpr qint64 kSecondsPerDay = 86400;

} // namespace

int expectedDays(const QStringList& tagIDs) {
    static const std::array<std::pair<QString, int>, 4> cadences{{{QStringLiteral("family"), 14},
                                                                  {QStringLiteral("friends"), 30},
                                                                  {QStringLiteral("work"), 45},
                                                                  {QStringLiteral("school"), 90}}};
    std::optional<int> shortest;
    for (const auto& [tag, days] : cadences) {
        if (tagIDs.contains(tag) && (!shortest || days < *shortest))
            shortest = days;
    }
    return shortest.value_or(defaultCadenceDays);
}

QList<StaleProfile> rank(const QList<Profile>& profiles, const QDateTime& now, int limit) {
    struct Candidate {
        StaleProfile stale;
        QString name;
    };
    std::vector<Candidate> included;
    for (const Profile& profile : profiles) {
        StaleProfile stale;
        stale.id = profile.id();
        stale.expectedDays = expectedDays(profile.record->tags);
        if (const auto last = profile.lastContacted()) {
            // In UTC every day has 86,400 seconds: whole days are whole multiples of that.
            const int days = static_cast<int>(last->secsTo(now) / kSecondsPerDay);
            stale.daysSince = days;
            stale.ratio = static_cast<double>(days) / static_cast<double>(stale.expectedDays);
            if (stale.ratio < 1.0)
                continue;
        } else {
            stale.ratio = neverContactedRatio;
        }
        included.push_back({std::move(stale), profile.person->displayName()});
    }
    const auto less = [](const Candidate& a, const Candidate& b) {
        if (a.stale.ratio != b.stale.ratio)
            return a.stale.ratio > b.stale.ratio;
        if (const int byName = ProfileOrder::compareNames(a.name, b.name); byName != 0)
            return byName < 0;
        return a.stale.id < b.stale.id;
    };
    const auto count = std::min<std::ptrdiff_t>(std::max(limit, 0), std::ssize(included));
    std::partial_sort(included.begin(), included.begin() + count, included.end(), less);
    QList<StaleProfile> result;
    result.reserve(count);
    for (std::ptrdiff_t i = 0; i < count; ++i)
        result.append(included[static_cast<std::size_t>(i)].stale);
    return result;
}

} // namespace pemmo::StalenessRanker
