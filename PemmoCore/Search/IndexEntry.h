// What search knows about one person: the folded text and tokens of every field, the circles, and
// the name run together, made once per change of the profiles rather than per keystroke.
#pragma once

#include "Records/Profile.h"
#include "Search/SearchField.h"
#include "Search/TextFolding.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

namespace pemmo {

struct IndexEntry {
    QString id;
    QString fullName; // the display name, as the list shows it
    // Folded text per field; empty when the person has nothing in that field.
    std::array<QString, SearchFields::count> text;
    // The tokens of each field as spans of its text.
    std::array<QList<TextFolding::TokenSpan>, SearchFields::count> tokenSpans;
    QSet<QString> tagIDs;
    // The folded name without white space, when the name has more than one token.
    std::optional<QString> nameJoined;

    static IndexEntry make(const Profile& profile);

    bool has(SearchField field) const { return !text[static_cast<std::size_t>(field)].isEmpty(); }
    const QString& textOf(SearchField field) const { return text[static_cast<std::size_t>(field)]; }
    const QList<TextFolding::TokenSpan>& spansOf(SearchField field) const {
        return tokenSpans[static_cast<std::size_t>(field)];
    }
    QStringView token(SearchField field, qsizetype i) const {
        const TextFolding::TokenSpan span = spansOf(field)[i];
        return QStringView(textOf(field)).sliced(span.start, span.length);
    }
    QStringList tokens(SearchField field) const;

    bool operator==(const IndexEntry&) const = default;
};

} // namespace pemmo
