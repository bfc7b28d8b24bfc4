// Turns the text typed into the panel into a ParsedQuery, and holds the small word lists the
// semantic tier shares with it.
#pragma once

#include "Search/ParsedQuery.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace pemmo::QueryParser {

ParsedQuery parse(const QString& raw);

// "people who like jazz" asks about jazz: the leading phrase is dropped before the text goes to
// the semantic index. Texts without such a phrase come back trimmed.
QString stripInterestPhrase(const QString& text);

// Words that do not make a memory worth quoting as the reason for a match.
const QSet<QString>& memoryStopWords();

// Words that make a longer query a question even without a question mark.
const QSet<QString>& questionWords();

} // namespace pemmo::QueryParser
