// The groups the search panel shows its rows in, and the header row each one has.
#pragma once

#include <QString>
#include <array>

namespace pemmo {

enum class SearchSection { Starred, Recent, ReachOut, Tags, Results, AlsoMatches, Ranked, JustHappened };

namespace SearchSections {

inline constexpr std::array<SearchSection, 8> all{
    SearchSection::Starred, SearchSection::Recent,      SearchSection::ReachOut, SearchSection::Tags,
    SearchSection::Results, SearchSection::AlsoMatches, SearchSection::Ranked,   SearchSection::JustHappened};

// "starred", "reachOut", "alsoMatches" and so on.
QString name(SearchSection section);
// "section:" followed by the name: the id of the section's header row.
QString headerID(SearchSection section);

} // namespace SearchSections
} // namespace pemmo
