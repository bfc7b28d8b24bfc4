#include "Search/SearchSection.h"

namespace pemmo::SearchSections {

QString name(SearchSection section) {
    switch (section) {
    case SearchSection::Starred:
        return QStringLiteral("starred");
    case SearchSection::Recent:
        return QStringLiteral("recent");
    case SearchSection::ReachOut:
        return QStringLiteral("reachOut");
    case SearchSection::Tags:
        return QStringLiteral("tags");
    case SearchSection::Results:
        return QStringLiteral("results");
    case SearchSection::AlsoMatches:
        return QStringLiteral("alsoMatches");
    case SearchSection::Ranked:
        return QStringLiteral("ranked");
    case SearchSection::JustHappened:
        return QStringLiteral("justHappened");
    }
    return {};
}

QString headerID(SearchSection section) {
    return QStringLiteral("section:") + name(section);
}

} // namespace pemmo::SearchSections
