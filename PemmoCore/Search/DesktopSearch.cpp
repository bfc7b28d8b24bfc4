#include "Search/DesktopSearch.h"

#include "Search/QueryParser.h"
#include "Search/TextFolding.h"

namespace pemmo {

namespace {

DesktopSearch::Result resultFor(const Profile& profile) {
    return {profile.id(), profile.person->displayName(), profile.headline().value_or(QString()), 0.0, false};
}

} // namespace

QString DesktopSearch::queryText(const QStringList& terms) {
    QStringList words;
    for (const QString& term : terms) {
        const QString word = term.simplified();
        if (!word.isEmpty())
            words.append(word);
    }
    return words.join(u' ');
}

QList<DesktopSearch::Result> DesktopSearch::find(const QString& query, const SearchLayout::People& people,
                                                 const SearchBoosts& boosts, int limit) {
    ParsedQuery parsed = QueryParser::parse(query);
    // The panel's circle filters have no place in a desktop search: a "#" word matches nothing.
    parsed.tagFilters.clear();
    if (parsed.terms.isEmpty() || limit <= 0)
        return {};
    const QList<SearchHit> hits = m_engine.search(parsed, people.index, boosts, limit);
    const QStringList queryWords = TextFolding::tokens(query);
    QList<Result> results;
    results.reserve(hits.size());
    for (const SearchHit& hit : hits) {
        const Profile* profile = people.find(hit.id);
        if (!profile)
            continue;
        Result result = resultFor(*profile);
        result.exact = TextFolding::tokens(result.name) == queryWords;
        results.append(result);
    }
    for (qsizetype i = 0; i < results.size(); ++i)
        results[i].relevance = 1.0 - double(i) / double(results.size() + 1);
    return results;
}

std::optional<DesktopSearch::Result> DesktopSearch::describe(const QString& id,
                                                             const SearchLayout::People& people) {
    const Profile* profile = people.find(id);
    if (!profile)
        return std::nullopt;
    return resultFor(*profile);
}

} // namespace pemmo
