// Turns a parsed query into the ordered result list of the panel: lexical scores times the
// personal boosts, fixed tie-breaks, a limit, and room for the semantic tier after them.
#pragma once

#include "Search/IndexScorer.h"
#include "Search/ParsedQuery.h"
#include "Search/SearchBoosts.h"
#include "Search/SearchHit.h"
#include "Search/SearchIndex.h"
#include "Search/SemanticHit.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

namespace pemmo {

class SearchEngine {
public:
    static constexpr double starredBoost = 1.15;
    static constexpr double recentOpenBoost = 1.1;
    static constexpr double recentContactBoost = 1.05;
    static constexpr qint64 recentOpenWindowSeconds = 604800;     // 7 days
    static constexpr qint64 recentContactWindowSeconds = 2592000; // 30 days
    // What the search screen admits from the semantic tier.
    static constexpr double semanticMinimumSimilarity = 0.45;
    static constexpr int semanticLimit = 8;

    // The factor `id` earns from `boosts` (1.0 when none applies).
    static double boostFactor(const QString& id, const SearchBoosts& boosts);

    // The ranked lexical hits, at most `limit`. Keeps its buffers for the next call, so one engine
    // per caller (the search screen has its own).
    QList<SearchHit> search(const ParsedQuery& query, const SearchIndex& index, const SearchBoosts& boosts,
                            int limit);

    // `lexical` followed by the semantic hits it lacks, at least `minimumSimilarity` close, best
    // first, at most `limit` of them.
    static QList<SearchHit> mergeSemantic(const QList<SearchHit>& lexical, const QList<SemanticHit>& semantic,
                                          double minimumSimilarity, int limit);

private:
    enum Boost : std::uint8_t { Starred = 1, RecentOpen = 2, RecentContact = 4 };

    void markBoosts(const SearchIndex& index, const SearchBoosts& boosts);

    IndexScorer m_scorer;
    std::vector<std::uint8_t> m_boosts;
};

} // namespace pemmo
