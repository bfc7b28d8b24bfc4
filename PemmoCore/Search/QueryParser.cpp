#include "Search/QueryParser.h"

#include "Lists/Tag.h"
#include "Search/TextFolding.h"

#include <array>

namespace pemmo::QueryParser {
namespace {

bool isWhiteSpace(QChar c) {
    return c.isSpace();
}

} // namespace

ParsedQuery parse(const QString& raw) {
    ParsedQuery query;
    query.raw = raw;
    const QString trimmed = raw.trimmed();
    qsizetype i = 0;
    while (i < trimmed.size()) {
        while (i < trimmed.size() && isWhiteSpace(trimmed[i]))
            ++i;
        const qsizetype start = i;
        while (i < trimmed.size() && !isWhiteSpace(trimmed[i]))
            ++i;
        if (i == start)
            break;
        const QStringView piece = QStringView(trimmed).sliced(start, i - start);
        if (piece.startsWith(u'#')) {
            if (piece.size() > 1)
                query.tagFilters.append(Tag::normalizedID(piece.sliced(1).toString()));
            continue;
        }
        query.terms.append(TextFolding::tokens(piece));
    }

    query.isQuestion = trimmed.endsWith(u'?');
    if (!query.isQuestion && query.terms.size() > 3) {
        const QSet<QString>& words = questionWords();
        for (const QString& term : std::as_const(query.terms)) {
            if (words.contains(term)) {
                query.isQuestion = true;
                break;
            }
        }
    }
    query.isEmpty = query.terms.isEmpty() && query.tagFilters.isEmpty();
    return query;
}

QString stripInterestPhrase(const QString& text) {
    static const std::array<QString, 7> phrases{
        QStringLiteral("people who like "),      QStringLiteral("people who enjoy "),
        QStringLiteral("people interested in "), QStringLiteral("someone who likes "),
        QStringLiteral("someone who enjoys "),   QStringLiteral("friends who like "),
        QStringLiteral("find people who like ")};
    const QString trimmed = text.trimmed();
    const QString lower = trimmed.toLower();
    for (const QString& phrase : phrases) {
        if (!lower.startsWith(phrase))
            continue;
        const QString rest = trimmed.mid(phrase.size()).trimmed();
        if (!rest.isEmpty())
            return rest;
    }
    return trimmed;
}

const QSet<QString>& memoryStopWords() {
    static const QSet<QString> words{
        QStringLiteral("people"),  QStringLiteral("person"),     QStringLiteral("who"),
        QStringLiteral("like"),    QStringLiteral("likes"),      QStringLiteral("the"),
        QStringLiteral("a"),       QStringLiteral("an"),         QStringLiteral("is"),
        QStringLiteral("are"),     QStringLiteral("with"),       QStringLiteral("that"),
        QStringLiteral("me"),      QStringLiteral("find"),       QStringLiteral("know"),
        QStringLiteral("someone"), QStringLiteral("interested"), QStringLiteral("in")};
    return words;
}

const QSet<QString>& questionWords() {
    static const QSet<QString> words{
        QStringLiteral("who"),    QStringLiteral("whose"),   QStringLiteral("which"), QStringLiteral("that"),
        QStringLiteral("from"),   QStringLiteral("met"),     QStringLiteral("haven"), QStringLiteral("since"),
        QStringLiteral("people"), QStringLiteral("someone"), QStringLiteral("anyone")};
    return words;
}

} // namespace pemmo::QueryParser
