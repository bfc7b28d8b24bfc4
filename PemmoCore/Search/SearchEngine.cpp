#include "Search/SearchEngine.h"

#include "Search/LexicalScorer.h"

#include <QSet>
#include <algorithm>
#include <array>

namespace pemmo {
namespace {

bool within(const QDateTime& date, const QDateTime& now, qint64 seconds) {
    if (!date.isValid() || !now.isValid())
        return false;
    return std::abs(now.toMSecsSinceEpoch() - date.toMSecsSinceEpoch()) <= seconds * 1000;
}

// Multiplied in one fixed order, so that every path gives the same bits.
double factorFor(bool starred, bool opened, bool contacted) {
    double factor = 1.0;
    if (starred)
        factor *= SearchEngine::starredBoost;
    if (opened)
        factor *= SearchEngine::recentOpenBoost;
    if (contacted)
        factor *= SearchEngine::recentContactBoost;
    return factor;
}

} // namespace

double SearchEngine::boostFactor(const QString& id, const SearchBoosts& boosts) {
    const auto opened = boosts.recentOpens.constFind(id);
    const auto contacted = boosts.lastContacted.constFind(id);
    return factorFor(boosts.starred.contains(id),
                     opened != boosts.recentOpens.cend() &&
                         within(*opened, boosts.now, recentOpenWindowSeconds),
                     contacted != boosts.lastContacted.cend() &&
                         within(*contacted, boosts.now, recentContactWindowSeconds));
}

void SearchEngine::markBoosts(const SearchIndex& index, const SearchBoosts& boosts) {
    m_boosts.assign(index.size(), 0);
    for (const QString& id : boosts.starred) {
        if (const auto at = index.position(id))
            m_boosts[*at] |= Starred;
    }
    for (auto it = boosts.recentOpens.cbegin(); it != boosts.recentOpens.cend(); ++it) {
        if (!within(it.value(), boosts.now, recentOpenWindowSeconds))
            continue;
        if (const auto at = index.position(it.key()))
            m_boosts[*at] |= RecentOpen;
    }
    // Most people were last in touch long ago: the date test comes before the id lookup.
    for (auto it = boosts.lastContacted.cbegin(); it != boosts.lastContacted.cend(); ++it) {
        if (!within(it.value(), boosts.now, recentContactWindowSeconds))
            continue;
        if (const auto at = index.position(it.key()))
            m_boosts[*at] |= RecentContact;
    }
}

QList<SearchHit> SearchEngine::search(const ParsedQuery& query, const SearchIndex& index,
                                      const SearchBoosts& boosts, int limit) {
    if (query.isEmpty || limit <= 0)
        return {};
    std::vector<IndexScorer::Candidate>& candidates = m_scorer.score(index, query.terms, query.tagFilters);
    markBoosts(index, boosts);
    std::array<double, 8> factors{};
    for (int flags = 0; flags < 8; ++flags)
        factors[flags] = factorFor(flags & Starred, flags & RecentOpen, flags & RecentContact);
    for (IndexScorer::Candidate& c : candidates) {
        if (const std::uint8_t flags = m_boosts[c.entry])
            c.score *= factors[flags];
    }
    // Higher score first; equal scores by name as a reader sorts, then id: the name rank holds
    // both, and no two entries share one, so a partial sort gives the stable order.
    const auto end = candidates.begin() + std::min<std::ptrdiff_t>(limit, std::ssize(candidates));
    std::partial_sort(candidates.begin(), end, candidates.end(),
                      [&index](const IndexScorer::Candidate& a, const IndexScorer::Candidate& b) {
                          if (a.score != b.score)
                              return a.score > b.score;
                          return index.nameRank(a.entry) < index.nameRank(b.entry);
                      });
    QList<SearchHit> hits;
    hits.reserve(end - candidates.begin());
    for (auto it = candidates.begin(); it != end; ++it) {
        SearchHit hit;
        hit.id = index.id(it->entry);
        hit.score = it->score;
        hit.tier = MatchTier::Lexical;
        if (!query.terms.isEmpty())
            hit.nameRanges = LexicalScorer::nameRanges(index.displayName(it->entry), query.terms);
        hits.append(std::move(hit));
    }
    return hits;
}

QList<SearchHit> SearchEngine::mergeSemantic(const QList<SearchHit>& lexical,
                                             const QList<SemanticHit>& semantic, double minimumSimilarity,
                                             int limit) {
    QSet<QString> found;
    for (const SearchHit& hit : lexical)
        found.insert(hit.id);
    QList<SemanticHit> admitted;
    for (const SemanticHit& hit : semantic) {
        if (hit.similarity < minimumSimilarity || found.contains(hit.id))
            continue;
        admitted.append(hit);
    }
    std::stable_sort(admitted.begin(), admitted.end(),
                     [](const SemanticHit& a, const SemanticHit& b) { return a.similarity > b.similarity; });
    QList<SearchHit> result = lexical;
    for (qsizetype i = 0; i < admitted.size() && i < limit; ++i)
        result.append({admitted[i].id, admitted[i].similarity, {}, MatchTier::Semantic, std::nullopt});
    return result;
}

} // namespace pemmo
