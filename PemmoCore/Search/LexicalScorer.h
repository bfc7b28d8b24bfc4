// Decides whether a person matches the words of a query, and how well: exact words beat prefixes,
// acronyms, typos and fragments, and the name counts more than a memory.
#pragma once

#include "Search/IndexEntry.h"
#include "Search/SearchHit.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::LexicalScorer {

// In order of preference; within a field the first that applies wins.
enum class MatchKind { Exact, Prefix, Acronym, Fuzzy, Substring };

constexpr double strength(MatchKind kind) {
    switch (kind) {
    case MatchKind::Exact:
        return 1.0;
    case MatchKind::Prefix:
        return 0.85;
    case MatchKind::Acronym:
        return 0.7;
    case MatchKind::Fuzzy:
        return 0.55;
    case MatchKind::Substring:
        return 0.4;
    }
    return 0.0;
}

// Terms need this many characters before a typo is forgiven, and acronyms this many.
inline constexpr int fuzzyMinimumLength = 4;
inline constexpr int acronymMinimumLength = 2;

// How `term` (folded) matches one field of `entry`, if at all.
std::optional<MatchKind> fieldMatch(const IndexEntry& entry, SearchField field, QStringView term);

// The whole test for one person; a hit of the lexical tier, or nothing.
std::optional<SearchHit> score(const IndexEntry& entry, const QStringList& terms,
                               const QStringList& tagFilters);

// Where the terms that matched the name exactly, as a prefix or as a fragment occur in the
// display name; overlapping and touching ranges merged. Needs the name alone: the name field
// of an entry is that name folded.
QList<TextRange> nameRanges(const QString& fullName, const QStringList& terms);

} // namespace pemmo::LexicalScorer
