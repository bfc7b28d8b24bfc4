// Answers the desktop's own search from the panel's: the people and index the search screen
// keeps, and the router and panel to show a card or a search when the user picks one.
#pragma once

#include "Platform/DesktopSearchBackend.h"
#include "Search/DesktopSearch.h"
#include "Shell/SearchCommands.h"

namespace pemmo {

class AppEnvironment;

class DesktopSearchBridge : public DesktopSearchBackend {
public:
    // The environment is not owned and must outlive the bridge; its panel, when it has one, is
    // what open() and searchFor() show.
    explicit DesktopSearchBridge(AppEnvironment& environment);

    QList<DesktopSearch::Result> find(const QString& query) override;
    std::optional<DesktopSearch::Result> describe(const QString& id) override;
    void open(const QString& id) override;
    void searchFor(const QString& query) override;

private:
    AppEnvironment& m_env;
    SearchCommands m_commands;
    DesktopSearch m_search;
};

} // namespace pemmo
