// One row of the search panel: a person, a circle, or (as the header of its section) a title.
#pragma once

#include "Search/SearchHit.h"
#include "Search/SearchSection.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

struct SearchRowItem {
    QString id; // unique within the panel: a contact id, "tag:" + a circle id, or a header id
    SearchSection section = SearchSection::Results;
    std::optional<QString> profileID;
    std::optional<QString> tagID;
    QString title;
    QString initials;             // a person's, for the avatar while their picture loads
    QList<TextRange> titleRanges; // the parts of the title to highlight
    std::optional<QString> subtitle;
    std::optional<QString> badge;
    std::optional<QString> reason; // why a semantic hit matched
    // For search hits: the ranked score and the tier that found the person.
    std::optional<double> score;
    std::optional<MatchTier> tier;

    bool operator==(const SearchRowItem&) const = default;
};

struct SearchSectionRows {
    SearchSection section = SearchSection::Results;
    QList<SearchRowItem> rows;

    bool operator==(const SearchSectionRows&) const = default;
};

} // namespace pemmo
