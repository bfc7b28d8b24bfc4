// What search knows about one person: the folded text and tokens of every field, the circles, and
// the name run together, made once per change of the profiles rather than per keystroke.
#pragma once

#include "Records/Profile.h"
#include "Search/SearchField.h"
#include "Search/TextFolding.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace pemmo {

struct IndexEntry {
    QString id;
    QString fullName; // the display name, as the list shows it
    // The folded text of every field, field after field in one string; the text of field i is
    // text[textStart[i]] up to text[textStart[i + 1]], empty when the person has nothing there.
    // One string and one list per person rather than one per field: ten thousand people would
    // otherwise hold well over a hundred thousand small blocks.
    QString text;
    std::array<std::uint32_t, SearchFields::count + 1> textStart{};
    // The tokens of every field as spans of the field's own text, field after field in one list;
    // the spans of field i are spans[spanStart[i]] up to spans[spanStart[i + 1]].
    QList<TextFolding::TokenSpan> spans;
    std::array<std::uint32_t, SearchFields::count + 1> spanStart{};
    QStringList tagIDs; // the record's circles as it lists them
    // The folded name without white space, when the name has more than one token.
    std::optional<QString> nameJoined;

    static IndexEntry make(const Profile& profile);

    bool has(SearchField field) const { return !textOf(field).isEmpty(); }
    QStringView textOf(SearchField field) const {
        const auto i = static_cast<std::size_t>(field);
        return QStringView(text).sliced(textStart[i], textStart[i + 1] - textStart[i]);
    }
    std::span<const TextFolding::TokenSpan> spansOf(SearchField field) const {
        const auto i = static_cast<std::size_t>(field);
        return {spans.constData() + spanStart[i], spanStart[i + 1] - spanStart[i]};
    }
    QStringView token(SearchField field, qsizetype i) const {
        const TextFolding::TokenSpan span = spansOf(field)[static_cast<std::size_t>(i)];
        return textOf(field).sliced(span.start, span.length);
    }
    QStringList tokens(SearchField field) const;

    bool operator==(const IndexEntry&) const = default;
};

} // namespace pemmo
