// The people the desktop's own search (GNOME Shell's overview, KRunner) shows for what the user
// typed there: the words searched as the panel searches them, each person given as an id, a name
// and a headline. Pure: it is handed the index and people the panel already keeps.
#pragma once

#include "Search/SearchBoosts.h"
#include "Search/SearchEngine.h"
#include "Search/SearchLayout.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo {

class DesktopSearch {
public:
    // A desktop shows a handful of rows per application; more is noise there.
    static constexpr int defaultLimit = 10;

    // One person as the desktop shows them.
    struct Result {
        QString id; // the contact's id: what the desktop hands back to open the card
        QString name;
        QString headline; // "role @ company", or empty
        // 1.0 for the best hit down to just above 0 for the last, for desktops that merge the
        // results of many sources.
        double relevance = 0.0;
        // The whole query is the person's name (KRunner then ranks it as an exact match).
        bool exact = false;

        bool operator==(const Result&) const = default;
    };

    // GNOME hands over the words split on spaces, KRunner the text as typed: both become one query.
    static QString queryText(const QStringList& terms);

    // The best `limit` people for `query`, in the panel's order. Circle filters ("#work") and the
    // semantic tier are the panel's own: here only words match, so that each keystroke answers at
    // once. Keeps the engine's buffers for the next call.
    QList<Result> find(const QString& query, const SearchLayout::People& people, const SearchBoosts& boosts,
                       int limit = defaultLimit);

    // The person with that id, or none (someone deleted since the desktop asked).
    static std::optional<Result> describe(const QString& id, const SearchLayout::People& people);

private:
    SearchEngine m_engine;
};

} // namespace pemmo
