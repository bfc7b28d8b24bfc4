#include "Search/SearchSection.h"

#include "Support/EnumTable.h"

namespace pemmo::SearchSections {
namespace {

constexpr auto kNames = enumTable<SearchSection>({
    {SearchSection::Starred, "starred"},
    {SearchSection::Recent, "recent"},
    {SearchSection::ReachOut, "reachOut"},
    {SearchSection::Tags, "tags"},
    {SearchSection::Results, "results"},
    {SearchSection::AlsoMatches, "alsoMatches"},
    {SearchSection::Ranked, "ranked"},
    {SearchSection::JustHappened, "justHappened"},
});
static_assert(kNames.values() == all, "every section has a name");

} // namespace

QString name(SearchSection section) {
    return kNames.name(section);
}

QString headerID(SearchSection section) {
    return QStringLiteral("section:") + name(section);
}

} // namespace pemmo::SearchSections
