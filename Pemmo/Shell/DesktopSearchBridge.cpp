#include "Shell/DesktopSearchBridge.h"

#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"

#include <algorithm>

namespace pemmo {

namespace {

// Whether the panel holds something the user is working on: a form, a review of proposals, the
// circles or the diagnostics. The search screen and cards hold nothing that could be lost.
bool holdsWork(const AppRouter& router) {
    return std::any_of(router.stack().cbegin(), router.stack().cend(), [](const Route& route) {
        return route.routeKind() != Route::Kind::Search && route.routeKind() != Route::Kind::Profile;
    });
}

// Makes way for what the desktop's search asked for: back to the start when nothing would be lost,
// otherwise only the overlay goes (a question left unanswered keeps its form) and the work stays
// underneath.
void makeWay(AppRouter& router) {
    if (holdsWork(router))
        router.dismissOverlay();
    else
        router.reset();
}

} // namespace

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
    // The card opens as when the person is picked in the panel; over a form, so that Escape
    // goes back to what was being typed.
    makeWay(m_env.router());
    if (describe(id))
        m_commands.openProfile(id);
    if (PanelController* panel = m_env.panel())
        panel->show();
}

void DesktopSearchBridge::searchFor(const QString& query) {
    // Over a form the words wait in the search field underneath, for when the form is left.
    makeWay(m_env.router());
    m_env.router().setInitialQuery(query);
    if (PanelController* panel = m_env.panel())
        panel->show();
}

} // namespace pemmo
