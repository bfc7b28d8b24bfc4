// The one normalisation search applies to the query and to what it searches, so that "Zoë", "ZOE"
// and full-width "ＺＯＥ" all meet as "zoe": case, accents and width ignored, no locale.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <string>

namespace pemmo::TextFolding {

// A run of letters and numbers in a folded text, in UTF-16 code units.
struct TokenSpan {
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const TokenSpan&) const = default;
};

// Case-, accent- and width-insensitive form of `text`, lower-cased.
QString fold(QStringView text);

// fold, appended to `out`: the same text as fold(text), without a string of its own.
void appendFolded(QString& out, QStringView text);

// fold without its shortcuts: ICU over the whole text at once. Gives the same text, slower.
QString foldWhole(QStringView text);

// The tokens of an already folded text: letters and numbers extend a token, anything else ends
// it. A combining mark right after a letter stays with it, as it belongs to the same character.
QList<TokenSpan> tokenSpans(QStringView folded);
// The same, appended to `spans`.
void appendTokenSpans(QList<TokenSpan>& spans, QStringView folded);

// fold, then tokenise.
QStringList tokens(QStringView text);

// A folded text that remembers where each of its code units came from, so that a match in the
// folded form can be shown on the original.
struct Traced {
    QString folded;
    // For every code unit of `folded`, the original code units [sourceStart, sourceEnd) of the
    // character it was folded from.
    QList<qsizetype> sourceStart;
    QList<qsizetype> sourceEnd;
};

Traced foldTraced(QStringView text);

// The code points of `text`: search counts lengths and edit distances in characters.
std::u32string toUtf32(QStringView text);
// The same into `out`, reusing its storage: for the per-keystroke and per-token loops.
void toUtf32(QStringView text, std::u32string& out);

} // namespace pemmo::TextFolding
