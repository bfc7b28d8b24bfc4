#include "Shell/ActionPanelViewModel.h"

#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ProfileViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"

#include <QKeySequence>
#include <QPointer>
#include <algorithm>

namespace pemmo {
namespace {

QKeyCombination control(Qt::Key key) {
    return QKeyCombination(Qt::ControlModifier, key);
}

QString glyph(QKeyCombination key) {
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

QString displayName(AppEnvironment& env, const QString& id) {
    const auto profile = env.sync().profile(id);
    const QString name = profile ? profile->person->displayName() : QString();
    return name.isEmpty() ? QStringLiteral("this contact") : name;
}

} // namespace

ActionPanelViewModel::ActionPanelViewModel(const ActionContext& context, AppEnvironment& environment,
                                           QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_items(new ActionItemsModel(this))
    , m_env(environment) {
    // The footer follows the filter (what Escape does) and the selection (what Return runs).
    connect(this, &ActionPanelViewModel::filterChanged, this, &ActionPanelViewModel::hintsChanged);
    connect(this, &ActionPanelViewModel::selectionChanged, this, &ActionPanelViewModel::hintsChanged);
    build();
}

void ActionPanelViewModel::reopen(const ActionContext& context) {
    m_context = context;
    m_entries.clear();
    m_filter.clear();
    const QString title = m_title;
    build();
    if (m_title != title)
        Q_EMIT titleChanged();
}

void ActionPanelViewModel::build() {
    if (m_context.kind == ActionContext::Kind::Profile && m_context.contactID)
        buildProfile(*m_context.contactID);
    else
        buildSearch();
    applyFilter();
}

void ActionPanelViewModel::add(ActionItem item, std::function<void()> perform,
                               std::optional<QKeyCombination> key, bool opensConfirm) {
    if (key && !item.shortcut)
        item.shortcut = glyph(*key);
    m_entries.append(Entry{std::move(item), opensConfirm, std::move(perform), key});
}

void ActionPanelViewModel::buildSearch() {
    m_title = tr("Actions");
    AppEnvironment* env = &m_env;
    AppRouter* router = &m_env.router();
    const std::optional<QString> query =
        m_context.query && !m_context.query->trimmed().isEmpty() ? m_context.query : std::nullopt;
    const std::optional<QString> selected = m_context.contactID;

    add(
        {u"create-contact"_qs,
         tr("Create contact"),
         query ? std::optional(tr("Named \u201C%1\u201D").arg(*query)) : std::nullopt,
         u"person.badge.plus"_qs,
         {},
         false},
        [router, query] {
            router->setPendingSuggestedName(query);
            router->push(Route::contactFormCreate());
        },
        control(Qt::Key_H));
    if (selected) {
        const QString id = *selected;
        add(
            {u"log-interaction"_qs,
             QStringLiteral("Log interaction with ") + displayName(m_env, id),
             std::nullopt,
             u"square.and.pencil"_qs,
             {},
             false},
            [router, id] { router->push(Route::logInteraction(id)); }, control(Qt::Key_J));
    }
    add(
        {u"quick-capture"_qs, QStringLiteral("Quick capture"), std::nullopt, u"bolt"_qs, {}, false},
        [env, router, query, selected] {
            if (env->practiceRefusesQuickCapture())
                return;
            if (!env->settings().aiEnabled())
                router->showError(QStringLiteral("Turn on AI features in Settings to use Quick capture."));
            else
                router->push(Route::capture(query, selected));
        },
        control(Qt::Key_N));
    add({u"manage-tags"_qs, QStringLiteral("Manage circles"), std::nullopt, u"person.2"_qs, {}, false},
        [router] { router->push(Route::manageTags()); });
    add(
        {u"settings"_qs, QStringLiteral("Settings"), std::nullopt, u"gearshape"_qs, {}, false},
        [env, router] {
            if (env->openSettingsAction)
                env->openSettingsAction(QString());
            else
                router->showInfo(tr("The settings window cannot be opened from here."));
        },
        control(Qt::Key_Comma));
    add({u"diagnostics"_qs, QStringLiteral("Diagnostics"), std::nullopt, u"stethoscope"_qs, {}, false},
        [router] { router->push(Route::diagnostics()); });
    add(
        {u"clear-recents"_qs,
         QStringLiteral("Clear recently searched"),
         std::nullopt,
         u"clock.arrow.circlepath"_qs,
         {},
         false},
        [env, router] {
            ConfirmRequest request;
            request.title = QStringLiteral("Clear recently searched?");
            request.message =
                QStringLiteral("This removes the list of people you opened recently. Starred contacts stay.");
            request.confirmTitle = QStringLiteral("Clear");
            request.onConfirm = [env, router] {
                env->recents().clear();
                router->showSuccess(tr("Cleared the people you opened recently."));
            };
            router->present(request);
        },
        std::nullopt, true);
    // The tutorial again, from its first step; not inside the tutorial itself.
    if (!env->isPracticeDemo())
        add({u"setup-guide"_qs, QStringLiteral("Replay practice"), std::nullopt, u"sparkles"_qs, {}, false},
            [env, router] {
                if (env->openOnboardingAction)
                    env->openOnboardingAction();
                else
                    router->showInfo(tr("The practice run needs the first-run window, which this Pemmo "
                                        "does not have."));
            });
}

void ActionPanelViewModel::buildProfile(const QString& contactID) {
    AppEnvironment* env = &m_env;
    AppRouter* router = &m_env.router();
    const QString id = contactID;
    const QString name = displayName(m_env, id);
    const auto profile = m_env.sync().profile(id);
    m_title = name;
    QPointer<ProfileViewModel> card(&m_env.profileModel(id));
    const auto run = [card](ProfileAction action) {
        return [card, action] {
            if (card)
                card->perform(action);
        };
    };
    using K = ProfileAction::Kind;
    const auto plain = [&](K kind) { return run(ProfileAction::plain(kind)); };

    add({u"message"_qs, QStringLiteral("Message"), std::nullopt, u"message"_qs, {}, false}, plain(K::Message),
        control(Qt::Key_M));
    add({u"call"_qs, QStringLiteral("Call"), std::nullopt, u"phone"_qs, {}, false}, plain(K::Call),
        control(Qt::Key_P));
    add({u"mail"_qs, QStringLiteral("Mail"), std::nullopt, u"envelope"_qs, {}, false}, plain(K::Mail),
        control(Qt::Key_E));
    add({u"gmail"_qs, QStringLiteral("Gmail"), std::nullopt, u"envelope.badge"_qs, {}, false},
        plain(K::Gmail), control(Qt::Key_G));
    add({u"find-my"_qs, QStringLiteral("Find My"), std::nullopt, u"location"_qs, {}, false}, plain(K::FindMy),
        control(Qt::Key_F));
    add({u"draft"_qs, QStringLiteral("Draft"), tr("A message written by AI"), u"sparkles"_qs, {}, false},
        plain(K::Draft));
    add({u"log-interaction"_qs,
         QStringLiteral("Log interaction"),
         std::nullopt,
         u"square.and.pencil"_qs,
         {},
         false},
        plain(K::LogInteraction), control(Qt::Key_J));
    add({u"add-link"_qs, QStringLiteral("Add link"), std::nullopt, u"link"_qs, {}, false}, plain(K::AddLink),
        control(Qt::Key_L));
    add({u"edit-details"_qs, QStringLiteral("Edit details"), std::nullopt, u"pencil"_qs, {}, false},
        plain(K::EditDetails), control(Qt::Key_D));
    const bool hasCircles = profile && !profile->record->tags.isEmpty();
    add({u"edit-circles"_qs,
         hasCircles ? QStringLiteral("Edit circles") : tr("Add circle"),
         std::nullopt,
         u"tag"_qs,
         {},
         false},
        plain(K::AddTag), control(Qt::Key_T));
    const bool starred = m_env.starred().isStarred(id);
    add({u"toggle-star"_qs,
         (starred ? QStringLiteral("Unstar ") : QStringLiteral("Star ")) + name,
         std::nullopt,
         starred ? u"star.slash"_qs : u"star"_qs,
         {},
         false},
        plain(K::ToggleStar), control(Qt::Key_S));
    if (profile && !profile->record->interactions.isEmpty()) {
        // The entry selected on the card, else the newest one.
        QUuid entry;
        const auto selectedOnCard = card->selectedItem();
        if (selectedOnCard && selectedOnCard->action.kind == K::EditMemory) {
            entry = selectedOnCard->action.item;
        } else {
            const auto& entries = profile->record->interactions;
            entry =
                std::max_element(entries.cbegin(), entries.cend(),
                                 [](const Interaction& a, const Interaction& b) { return a.date < b.date; })
                    ->id;
        }
        add({u"edit-memory"_qs, QStringLiteral("Edit memory"), std::nullopt, u"pencil.line"_qs, {}, false},
            run(ProfileAction::editMemory(entry)));
        add({u"delete-memory"_qs, QStringLiteral("Delete memory"), std::nullopt, u"trash"_qs, {}, false},
            run(ProfileAction::deleteMemory(entry)), std::nullopt, true);
    }
    add({u"quick-capture"_qs, QStringLiteral("Quick capture"), std::nullopt, u"bolt"_qs, {}, false},
        plain(K::Capture), control(Qt::Key_N));
    add({u"generate-briefing"_qs, tr("Write briefing"), std::nullopt, u"text.quote"_qs, {}, false},
        plain(K::GenerateBriefing));
    if (card->hasReplacementPhoto()) {
        add({u"use-contacts-photo"_qs,
             QStringLiteral("Use address book photo"),
             std::nullopt,
             u"arrow.uturn.backward"_qs,
             {},
             false},
            plain(K::UseContactsPhoto));
    }
    const bool optedOut = profile && profile->record->aiCloudOptOut;
    add({u"keep-off-cloud-ai"_qs,
         QStringLiteral("Keep off cloud AI"),
         optedOut ? tr("On") : tr("Off"),
         u"lock.shield"_qs,
         {},
         false},
        [card, optedOut] {
            if (card)
                card->setAICloudOptOut(!optedOut);
        });
    add({u"enrich"_qs, QStringLiteral("Enrich from text\u2026"), std::nullopt, u"doc.text"_qs, {}, false},
        [env, router, id] {
            if (!env->settings().aiEnabled())
                router->showError(tr("Turn on AI features in Settings to enrich from text."));
            else
                router->push(Route::enrich(id));
        });
    add(
        {u"remove-data"_qs,
         QStringLiteral("Remove Pemmo data for ") + name,
         std::nullopt,
         u"eraser"_qs,
         {},
         true},
        [env, router, id, name] {
            ConfirmRequest request;
            request.title = QStringLiteral("Remove Pemmo data for ") + name;
            request.message = QStringLiteral("Circles, links, notes, and the timeline are deleted. The "
                                             "contact stays in your address book folders.");
            request.confirmTitle = tr("Remove");
            request.destructive = true;
            request.onConfirm = [env, router, id, name] {
                auto task = [](AppEnvironment* env, AppRouter* router, QString id,
                               QString name) -> QCoro::Task<void> {
                    bool failed = false;
                    try {
                        auto removing = env->sync().removeData(id);
                        co_await removing;
                    } catch (...) {
                        failed = true;
                    }
                    if (failed)
                        router->showError(tr("Pemmo's data for %1 could not be removed.").arg(name));
                    else
                        router->showSuccess(tr("Removed Pemmo's data for %1.").arg(name));
                };
                task(env, router, id, name);
            };
            router->present(request);
        },
        std::nullopt, true);
    add(
        {u"delete-contact"_qs, tr("Delete contact"), std::nullopt, u"trash"_qs, {}, true},
        [env, router, id, name] {
            ConfirmRequest request;
            request.title = tr("Delete %1?").arg(name);
            request.message =
                QStringLiteral("This deletes the contact from your address book folders and removes "
                               "everything Pemmo knows about them.");
            request.confirmTitle = tr("Delete");
            request.destructive = true;
            request.onConfirm = [env, router, id, name] {
                auto task = [](AppEnvironment* env, AppRouter* router, QString id,
                               QString name) -> QCoro::Task<void> {
                    bool failed = false;
                    try {
                        auto deleting = env->sync().deleteContact(id);
                        co_await deleting;
                    } catch (...) {
                        failed = true;
                    }
                    if (failed) {
                        router->showError(name + QStringLiteral(" could not be deleted."));
                        co_return;
                    }
                    router->removeRoutesFor(id);
                    router->showSuccess(tr("Deleted %1.").arg(name));
                };
                task(env, router, id, name);
            };
            router->present(request);
        },
        std::nullopt, true);
}

// MARK: The list

QString ActionPanelViewModel::selectedAccessibleName() const {
    if (m_selectedIndex < 0 || m_selectedIndex >= m_visible.size())
        return {};
    const ActionItem& item = m_entries[m_visible[m_selectedIndex]].item;
    QString text = item.title;
    if (item.subtitle)
        text += u", "_qs + *item.subtitle;
    if (item.shortcut)
        text += u", "_qs + *item.shortcut;
    return text;
}

QVariantList ActionPanelViewModel::hints() const {
    // The arrows and Return are offered only when a command is listed to select and run.
    QVariantList pairs;
    if (!m_visible.isEmpty())
        pairs.append(QStringList{u"↑↓"_qs, tr("Select")});
    if (m_selectedIndex >= 0 && m_selectedIndex < m_visible.size())
        pairs.append(QStringList{u"↵"_qs, m_entries[m_visible[m_selectedIndex]].item.title});
    pairs.append(QStringList{u"Esc"_qs, m_filter.isEmpty() ? tr("Close") : tr("Clear")});
    return pairs;
}

void ActionPanelViewModel::setFilter(const QString& filter) {
    if (m_filter == filter)
        return;
    m_filter = filter;
    applyFilter();
}

void ActionPanelViewModel::applyFilter() {
    // Every word typed must appear in the title or the subtitle, in any order.
    const QStringList words = m_filter.toLower().split(u' ', Qt::SkipEmptyParts);
    QList<int> visible;
    for (int i = 0; i < m_entries.size(); ++i) {
        const ActionItem& item = m_entries[i].item;
        const QString text = (item.title + u' ' + item.subtitle.value_or(QString())).toLower();
        if (std::all_of(words.cbegin(), words.cend(), [&](const QString& w) { return text.contains(w); }))
            visible.append(i);
    }
    m_visible = std::move(visible);
    m_selectedIndex = m_visible.isEmpty() ? -1 : 0;
    QList<ActionItem> items;
    for (const int i : m_visible)
        items.append(m_entries[i].item);
    m_items->setItems(std::move(items), m_selectedIndex);
    Q_EMIT filterChanged();
    Q_EMIT selectionChanged();
}

void ActionPanelViewModel::select(int index) {
    if (index < -1 || index >= m_visible.size() || index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    m_items->setSelected(index);
    Q_EMIT selectionChanged();
}

void ActionPanelViewModel::moveSelection(int by) {
    if (m_visible.isEmpty())
        return;
    select(std::clamp(m_selectedIndex + by, 0, int(m_visible.size()) - 1));
}

void ActionPanelViewModel::perform(int index) {
    if (index < 0 || index >= m_visible.size())
        return;
    run(m_visible[index]);
}

bool ActionPanelViewModel::performID(const QString& id) {
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].item.id == id) {
            run(i);
            return true;
        }
    }
    return false;
}

void ActionPanelViewModel::run(int entry) {
    // The panel closes first: the command may push a screen, show a banner, or put its own
    // confirmation where the panel was. This model may be gone once the overlay changes, so the
    // command is taken out before.
    const auto perform = m_entries[entry].perform;
    AppRouter& router = m_env.router();
    router.dismissErrorBanner();
    router.dismissOverlay();
    if (perform)
        perform();
}

KeyResult ActionPanelViewModel::handleKey(const KeyEvent& event) {
    if (event.isCommand(u'k')) {
        m_env.router().dismissOverlay();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        if (!m_filter.isEmpty())
            setFilter(QString());
        else
            m_env.router().dismissOverlay();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Up) || event.isPlain(Qt::Key_Down)) {
        moveSelection(event.key == Qt::Key_Down ? 1 : -1);
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter)) {
        perform(m_selectedIndex);
        return KeyResult::Handled;
    }
    // The filter is the panel's only field: Tab would take the keyboard to the screen behind the
    // scrim, whose field would then take the typing meant for the filter.
    if (event.isPlain(Qt::Key_Tab) || event.isPlain(Qt::Key_Backtab))
        return KeyResult::Handled;
    if (event.hasControl()) {
        const QKeyCombination pressed = event.combination();
        for (int i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].key && *m_entries[i].key == pressed) {
                run(i);
                return KeyResult::Handled;
            }
        }
        // Editing keys belong to the filter field; other commands do not reach the screens below
        // while the panel is up.
        static const QList<int> editing = {Qt::Key_A,         Qt::Key_C,      Qt::Key_V,    Qt::Key_X,
                                           Qt::Key_Z,         Qt::Key_Y,      Qt::Key_Left, Qt::Key_Right,
                                           Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Home, Qt::Key_End};
        return editing.contains(event.key) ? KeyResult::Pass : KeyResult::Handled;
    }
    return KeyResult::Pass; // typing narrows the list through its field
}

} // namespace pemmo
