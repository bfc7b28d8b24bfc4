// What the desktop's search interfaces (GNOME Shell's search provider, KRunner's runner) ask of
// the running application: people for a query, a person by id, and showing the panel.
#pragma once

#include "Search/DesktopSearch.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

class DesktopSearchBackend {
public:
    virtual ~DesktopSearchBackend() = default;

    virtual QList<DesktopSearch::Result> find(const QString& query) = 0;
    virtual std::optional<DesktopSearch::Result> describe(const QString& id) = 0;
    // Shows the panel on the person's card.
    virtual void open(const QString& id) = 0;
    // Shows the panel searching for `query`.
    virtual void searchFor(const QString& query) = 0;
};

} // namespace pemmo
