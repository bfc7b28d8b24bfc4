#include "Shell/SearchCommands.h"

#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Moments/MomentError.h"
#include "Moments/MomentService.h"
#include "Screens/ProfileViewModel.h"
#include "Search/SearchLayout.h"
#include "Search/SearchViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"

#include <QPointer>

namespace pemmo {

SearchCommands::SearchCommands(AppEnvironment& environment, QObject* parent)
    : QObject(parent)
    , m_env(environment) {}

std::optional<QString> SearchCommands::selectedContactID() const {
    m_env.search().searchPendingNow();
    const auto row = m_env.search().selectedRow();
    return row ? row->profileID : std::nullopt;
}

bool SearchCommands::openSelected() {
    m_env.search().searchPendingNow();
    const auto row = m_env.search().selectedRow();
    if (!row)
        return false;
    if (const auto moment = SearchLayout::momentID(row->id)) {
        openMoment(*moment);
        return true;
    }
    if (row->profileID) {
        openProfile(*row->profileID);
        return true;
    }
    if (row->tagID) {
        // One-word circles become a "#" filter; longer names are searched as words, which the
        // circles field matches.
        const QString id = *row->tagID;
        m_env.search().setQuery(id.contains(u' ') ? QString(id + u' ') : QString(u'#' + id + u' '));
        m_env.router().focusSearch();
        return true;
    }
    return false;
}

void SearchCommands::openProfile(const QString& contactID) {
    if (contactID.isEmpty())
        return;
    m_env.recents().record(contactID);
    m_env.router().push(Route::profile(contactID));
}

void SearchCommands::openMoment(const QString& momentID) {
    const QList<MomentCandidate>& pending = m_env.moments().pending();
    const auto it = std::find_if(pending.cbegin(), pending.cend(),
                                 [&momentID](const MomentCandidate& m) { return m.id == momentID; });
    if (it == pending.cend()) {
        m_env.router().showError(MomentError::unavailable().message());
        return;
    }
    m_env.router().push(Route::momentCapture(std::make_shared<const MomentCandidate>(*it)));
}

bool SearchCommands::openStarred(int position) {
    const QStringList& starred = m_env.starred().ids();
    if (position < 1 || position > starredShortcuts || position > starred.size())
        return false;
    openProfile(starred.at(position - 1));
    return true;
}

void SearchCommands::toggleActions() {
    AppRouter& router = m_env.router();
    if (router.showsActions()) {
        router.dismissOverlay();
        return;
    }
    const QString query = m_env.search().query();
    router.present(
        ActionContext::search(query.isEmpty() ? std::nullopt : std::optional(query), selectedContactID()));
}

QCoro::Task<void> SearchCommands::ask(bool again) {
    AppRouter& router = m_env.router();
    if (!m_env.settings().aiEnabled()) {
        router.showError(tr("AI is off. Turn on AI features in Settings to ask Pemmo about people."));
        co_return;
    }
    SearchViewModel& search = m_env.search();
    if (search.query().trimmed().isEmpty()) {
        router.showInfo(tr("Type a question first, such as “who knows about climbing?”"));
        co_return;
    }
    if (search.isAsking()) {
        router.showInfo(tr("Pemmo is still asking the AI. Its answer will show here."));
        co_return;
    }
    QPointer<SearchCommands> self(this);
    AppEnvironment* env = &m_env;
    try {
        auto asking = search.ask(again);
        co_await asking;
    } catch (...) {
        env->router().showError(AIService::errorMessage(std::current_exception()));
        co_return;
    }
    if (self && search.rankedCount() == 0)
        env->router().showInfo(tr("The AI found no one for that question."));
}

bool SearchCommands::escape() {
    AppRouter& router = m_env.router();
    if (router.hasOverlay()) {
        router.dismissOverlay();
        return true;
    }
    if (!m_env.search().query().isEmpty()) {
        m_env.search().setQuery(QString());
        return true;
    }
    return false;
}

void SearchCommands::forSelected(int actionKind) {
    const auto kind = ProfileAction::Kind(actionKind);
    const auto id = selectedContactID();
    if (!id) {
        m_env.router().showInfo(tr("Choose a person first."));
        return;
    }
    if (kind == ProfileAction::Kind::LogInteraction) {
        m_env.router().push(Route::logInteraction(*id));
        return;
    }
    m_env.profileModel(*id).perform(ProfileAction::plain(kind));
}

KeyResult SearchCommands::handleKey(const KeyEvent& event) {
    using K = ProfileAction::Kind;
    if (!event.hasControl()) {
        if (event.isPlain(Qt::Key_Up) || event.isPlain(Qt::Key_Down)) {
            m_env.search().moveSelection(event.key == Qt::Key_Down ? 1 : -1);
            return KeyResult::Handled;
        }
        if (event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter)) {
            openSelected();
            return KeyResult::Handled;
        }
        if (event.isPlain(Qt::Key_Escape))
            return escape() ? KeyResult::Handled : KeyResult::Pass;
        return KeyResult::Pass; // typing goes to the search field
    }

    const auto selected = [this](K kind) {
        forSelected(int(kind));
        return KeyResult::Handled;
    };
    // Control-Return on a circle: manage it (Return filters by it).
    if (event.key == Qt::Key_Return || event.key == Qt::Key_Enter) {
        const auto row = m_env.search().selectedRow();
        if (row && row->tagID) {
            m_env.router().push(Route::manageTags(*row->tagID));
            return KeyResult::Handled;
        }
        return KeyResult::Pass;
    }
    if (event.isCommand(u'k')) {
        toggleActions();
        return KeyResult::Handled;
    }
    if (event.isCommand(u',')) {
        if (m_env.openSettingsAction)
            m_env.openSettingsAction(QString());
        else
            m_env.router().showInfo(tr("The settings window cannot be opened from here."));
        return KeyResult::Handled;
    }
    if (event.isCommand(u'h')) {
        const QString query = m_env.search().query().trimmed();
        m_env.router().setPendingSuggestedName(query.isEmpty() ? std::nullopt : std::optional(query));
        m_env.router().push(Route::contactFormCreate());
        return KeyResult::Handled;
    }
    if (event.isCommand(u'm'))
        return selected(K::Message);
    if (event.isCommand(u'p'))
        return selected(K::Call);
    if (event.isCommand(u'e'))
        return selected(K::Mail);
    if (event.isCommand(u'g'))
        return selected(K::Gmail);
    if (event.isCommand(u'f'))
        return selected(K::FindMy);
    if (event.isCommand(u'j'))
        return selected(K::LogInteraction);
    if (event.isCommand(u'n')) {
        if (m_env.practiceRefusesQuickCapture())
            return KeyResult::Handled;
        if (!m_env.settings().aiEnabled()) {
            m_env.router().showError(QStringLiteral("Turn on AI features in Settings to use Quick capture."));
        } else {
            const QString query = m_env.search().query();
            m_env.router().push(
                Route::capture(query.isEmpty() ? std::nullopt : std::optional(query), selectedContactID()));
        }
        return KeyResult::Handled;
    }
    if (event.isCommand(u'i') || event.isCommand(u'l')) {
        ask(event.isCommand(u'l'));
        return KeyResult::Handled;
    }
    // Control-1 to Control-5: the starred people, in their order.
    if (event.characters.size() == 1 && event.characters.at(0) >= u'1' && event.characters.at(0) <= u'5' &&
        !(event.modifiers & (Qt::AltModifier | Qt::MetaModifier)))
        return openStarred(event.characters.at(0).digitValue()) ? KeyResult::Handled : KeyResult::Pass;
    return KeyResult::Pass;
}

} // namespace pemmo
