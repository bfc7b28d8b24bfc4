// Lays the search panel out: which sections an empty or a typed query shows, their limits, and the
// rows in them. Pure functions over values, so the panel, the command line and the benchmarks
// share them.
#pragma once

#include "Lists/Tag.h"
#include "Moments/MomentCandidate.h"
#include "Records/Profile.h"
#include "Search/ParsedQuery.h"
#include "Search/SearchHit.h"
#include "Search/SearchIndex.h"
#include "Search/SearchRowItem.h"
#include "Search/StaleProfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::SearchLayout {

inline constexpr int justHappenedLimit = 3;
inline constexpr int starredLimit = 5;
inline constexpr int recentLimit = 6;
inline constexpr int reachOutLimit = 3;
inline constexpr int tagsLimit = 5;
inline constexpr int resultsLimit = 50;

// The people the panel knows, looked up by id through the index built from the same list.
struct People {
    const QList<Profile>& profiles;
    const SearchIndex& index;

    const Profile* find(const QString& id) const;
};

// Empty query: Moments that just happened, starred, recent, then people to reach out to. Someone
// already shown in an earlier section is not repeated, so every row id stays unique. `stale` is
// StalenessRanker's list, longer than needed so that repeats can be skipped. `moments`: the
// pending Moments, latest first; their rows ("moment:" + the Moment's id) open the Moment, not the
// person, so they do not keep the person out of the sections below.
QList<SearchSectionRows> forEmptyQuery(const People& people, const QStringList& starred,
                                       const QStringList& recent, const QList<StaleProfile>& stale,
                                       const QList<MomentCandidate>& moments = {});

// The id of a Moment's row, and the Moment id in a row id (absent for other rows).
QString momentRowID(const QString& momentID);
std::optional<QString> momentID(const QString& rowID);

// Typed query: matching circles, then the hits of both tiers (lexical ones under results, semantic
// ones under alsoMatches), then Ask's ranking when there is one for this query.
QList<SearchSectionRows> forQuery(const People& people, const ParsedQuery& query, const QList<Tag>& circles,
                                  const QList<SearchHit>& hits, const QList<SearchRowItem>& ranked = {});

// The text under the panel when there is nothing to show; absent when there are rows.
std::optional<QString> emptyText(const QString& query, bool hasRows);

// "1 person", "2 people".
QString peopleCount(qsizetype count);

// "You wrote: “…”" with the person's newest memory that shares a word (beyond the filler words)
// with the query.
std::optional<QString> memoryReason(const Profile& profile, const ParsedQuery& query);

// The selectable rows in display order (headers are not rows).
QList<SearchRowItem> flat(const QList<SearchSectionRows>& sections);

} // namespace pemmo::SearchLayout
