// One person found for a query, with what to highlight in their name and which tier found them.
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

// Ordered by value: the semantic tier ranks below the lexical one.
enum class MatchTier { Semantic = 0, Lexical = 1 };

// A stretch of a text in UTF-16 code units, as QString and QML index it.
struct TextRange {
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const TextRange&) const = default;
};

struct SearchHit {
    QString id;
    double score = 0.0;
    QList<TextRange> nameRanges; // in the person's display name
    MatchTier tier = MatchTier::Lexical;
    std::optional<QString> reason; // why a semantic hit matched; lexical hits carry none

    bool operator==(const SearchHit&) const = default;
};

} // namespace pemmo
