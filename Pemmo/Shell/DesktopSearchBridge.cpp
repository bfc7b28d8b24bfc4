#include "Shell/DesktopSearchBridge.h"

#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"

namespace pemmo {

DesktopSearchBridge::DesktopSearchBridge(AppEnvironment& environment)
    : m_env(environment)
    , m_commands(environment) {}

QList<DesktopSearch::Result> DesktopSearchBridge::find(const QString& query) {
    const SearchViewModel& search = m_env.search();
    SearchBoosts boosts;
    const QStringList& starred = m_env.starred().ids();
    boosts.starred = QSet<QString>(starred.begin(), starred.end());
    boosts.recentOpens = m_env.recents().openings();
    boosts.now = m_env.clock()();
    return m_search.find(query, {search.profiles(), search.index()}, boosts);
}

std::optional<DesktopSearch::Result> DesktopSearchBridge::describe(const QString& id) {
    const SearchViewModel& search = m_env.search();
    return DesktopSearch::describe(id, {search.profiles(), search.index()});
}

void DesktopSearchBridge::open(const QString& id) {
    // Whatever the panel showed gives way to the card, as when the person is picked in the panel.
    m_env.router().reset();
    if (describe(id))
        m_commands.openProfile(id);
    if (PanelController* panel = m_env.panel())
        panel->show();
}

void DesktopSearchBridge::searchFor(const QString& query) {
    m_env.router().reset();
    m_env.router().setInitialQuery(query);
    if (PanelController* panel = m_env.panel())
        panel->show();
}

} // namespace pemmo
