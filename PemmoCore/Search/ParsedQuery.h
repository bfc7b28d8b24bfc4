// What one keystroke's query text asks for: the words to match, the circles to filter by, and
// whether it reads as a question for Ask.
#pragma once

#include <QString>
#include <QStringList>

namespace pemmo {

struct ParsedQuery {
    QString raw;            // exactly as typed
    QStringList terms;      // folded tokens, in input order
    QStringList tagFilters; // circle ids from words beginning with "#"
    bool isQuestion = false;
    bool isEmpty = true; // no terms and no circle filters

    bool operator==(const ParsedQuery&) const = default;
};

} // namespace pemmo
