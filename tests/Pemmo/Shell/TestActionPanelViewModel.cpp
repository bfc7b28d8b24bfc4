// The action panel: which commands each context offers, how typing narrows them, and what choosing
// one does (close and run, or ask first).
#include "App/AppEnvironment.h"
#include "KeyPress.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ProfileViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/ActionPanelViewModel.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;

namespace {

QStringList ids(const QList<ActionItem>& items) {
    QStringList out;
    for (const ActionItem& item : items)
        out.append(item.id);
    return out;
}

const ActionItem* find(const QList<ActionPanelViewModel::Entry>& entries, const QString& id) {
    for (const auto& e : entries)
        if (e.item.id == id)
            return &e.item;
    return nullptr;
}

} // namespace

class TestActionPanelViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::shared_ptr<test::RecordingOpener::Log> m_opened;
    std::unique_ptr<ActionPanelViewModel> m_panel;

    ActionPanelViewModel& open(const ActionContext& context) {
        m_env->router().present(context);
        m_panel = std::make_unique<ActionPanelViewModel>(context, *m_env);
        return *m_panel;
    }

private Q_SLOTS:
    void init() {
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.phones = {{u"mobile"_qs, u"+49 170 1234567"_qs}};
        m_env = test::startedEnvironment({anna, test::person(u"bo"_qs, u"Bo"_qs)});
        m_opened = test::recordOpenings(*m_env);
    }
    void cleanup() {
        m_panel.reset();
        m_env.reset();
    }

    void searchContextOffersItsCatalogue_data() {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nobody selected")
            << QString()
            << QStringList{u"create-contact"_qs, u"quick-capture"_qs, u"manage-tags"_qs, u"settings"_qs,
                           u"diagnostics"_qs,    u"clear-recents"_qs, u"setup-guide"_qs};
        QTest::newRow("a person selected")
            << u"anna"_qs << QStringList{u"create-contact"_qs, u"log-interaction"_qs, u"quick-capture"_qs,
                                         u"manage-tags"_qs,    u"settings"_qs,        u"diagnostics"_qs,
                                         u"clear-recents"_qs,  u"setup-guide"_qs};
    }
    void searchContextOffersItsCatalogue() {
        QFETCH(QString, selected);
        QFETCH(QStringList, expected);
        int replays = 0;
        m_env->openOnboardingAction = [&replays] { ++replays; };
        auto& panel = open(
            ActionContext::search(std::nullopt, selected.isEmpty() ? std::nullopt : std::optional(selected)));
        QCOMPARE(ids(panel.visibleItems()), expected);
        QVERIFY(panel.performID(u"setup-guide"_qs));
        QCOMPARE(replays, 1);
        if (!selected.isEmpty()) {
            QCOMPARE(find(panel.entries(), u"log-interaction"_qs)->title,
                     u"Log interaction with Anna Berg"_qs);
        }
        // The two commands without a key.
        QVERIFY(!find(panel.entries(), u"manage-tags"_qs)->shortcut);
        QVERIFY(!find(panel.entries(), u"setup-guide"_qs)->shortcut);
        QVERIFY(find(panel.entries(), u"create-contact"_qs)->shortcut);
    }

    void profileContextFollowsThePersonsState() {
        auto& plain = open(ActionContext::profile(u"anna"_qs));
        QStringList shown = ids(plain.visibleItems());
        QVERIFY(!shown.contains(u"edit-memory"_qs));
        QVERIFY(!shown.contains(u"use-contacts-photo"_qs));
        QCOMPARE(find(plain.entries(), u"toggle-star"_qs)->title, u"Star Anna Berg"_qs);
        QCOMPARE(find(plain.entries(), u"toggle-star"_qs)->systemImage, u"star"_qs);
        QCOMPARE(find(plain.entries(), u"remove-data"_qs)->title, u"Remove Pemmo data for Anna Berg"_qs);
        QVERIFY(find(plain.entries(), u"remove-data"_qs)->destructive);
        QVERIFY(find(plain.entries(), u"delete-contact"_qs)->destructive);
        QVERIFY(!find(plain.entries(), u"message"_qs)->destructive);
        QCOMPARE(shown.mid(0, 5),
                 (QStringList{u"message"_qs, u"call"_qs, u"mail"_qs, u"gmail"_qs, u"find-my"_qs}));

        m_env->starred().toggle(u"anna"_qs);
        await(m_env->sync().addInteraction(u"anna"_qs, test::note(u"x"_qs, QDateTime::currentDateTimeUtc())));
        await(m_env->sync().setPhoto(u"anna"_qs, QByteArray("jpeg")));
        QTRY_VERIFY(m_env->profileModel(u"anna"_qs).hasReplacementPhoto());
        auto& rich = open(ActionContext::profile(u"anna"_qs));
        shown = ids(rich.visibleItems());
        QVERIFY(shown.contains(u"edit-memory"_qs));
        QVERIFY(shown.contains(u"delete-memory"_qs));
        QVERIFY(shown.contains(u"use-contacts-photo"_qs));
        QCOMPARE(find(rich.entries(), u"toggle-star"_qs)->title, u"Unstar Anna Berg"_qs);
        QCOMPARE(find(rich.entries(), u"toggle-star"_qs)->systemImage, u"star.slash"_qs);
    }

    void typingNarrowsTheListAndEscapeClearsItFirst() {
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        const int all = panel.count();
        panel.setFilter(u"sta an"_qs); // every word, any order
        QCOMPARE(ids(panel.visibleItems()), QStringList{u"toggle-star"_qs});
        QCOMPARE(panel.selectedIndex(), 0);
        panel.setFilter(u"zzz"_qs);
        QCOMPARE(panel.count(), 0);
        QCOMPARE(panel.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(panel.count(), all);
        QVERIFY(m_env->router().hasOverlay());
        QCOMPARE(panel.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QVERIFY(!m_env->router().hasOverlay());
    }

    // While the panel is up the footer speaks for it, not for the screen below: Return runs the
    // selected command, Escape clears the filter before it closes.
    void theFooterSaysWhatTheKeysDoInThePanel() {
        const auto hint = [](ActionPanelViewModel& panel, const QString& keys) -> std::optional<QString> {
            for (const QVariant& pair : panel.hints()) {
                const QStringList p = pair.toStringList();
                if (p.value(0) == keys)
                    return p.value(1);
            }
            return std::nullopt;
        };
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        QCOMPARE(hint(panel, u"↑↓"_qs), std::optional<QString>(u"Select"_qs));
        QCOMPARE(hint(panel, u"↵"_qs), std::optional<QString>(u"Message"_qs));
        QCOMPARE(hint(panel, u"Esc"_qs), std::optional<QString>(u"Close"_qs));
        QSignalSpy changed(&panel, &ActionPanelViewModel::hintsChanged);
        panel.setFilter(u"sta an"_qs);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(hint(panel, u"↵"_qs), std::optional<QString>(u"Star Anna Berg"_qs));
        QCOMPARE(hint(panel, u"Esc"_qs), std::optional<QString>(u"Clear"_qs));
        panel.moveSelection(1); // one command only: stays on it
        QCOMPARE(hint(panel, u"↵"_qs), std::optional<QString>(u"Star Anna Berg"_qs));
        panel.setFilter(u"zzz"_qs);
        QCOMPARE(hint(panel, u"↵"_qs), std::nullopt);  // nothing to run
        QCOMPARE(hint(panel, u"↑↓"_qs), std::nullopt); // nor to select
        QCOMPARE(panel.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(hint(panel, u"Esc"_qs), std::optional<QString>(u"Close"_qs));
        QVERIFY(m_env->router().hasOverlay());
    }

    // The panel's model is kept between openings: each opening shows its own context's commands
    // from an empty filter, and an opening with the same commands changes rows rather than
    // resetting them, so the list keeps its delegates.
    void reopeningShowsTheNewContextAndKeepsTheRows() {
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        ActionItemsModel* rows = panel.itemsModel();
        panel.setFilter(u"star"_qs);
        QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
        QSignalSpy changes(rows, &QAbstractItemModel::dataChanged);

        panel.reopen(ActionContext::profile(u"bo"_qs));
        QCOMPARE(panel.filter(), QString());
        QCOMPARE(panel.itemsModel(), rows);
        QCOMPARE(panel.selectedIndex(), 0);
        QCOMPARE(find(panel.entries(), u"toggle-star"_qs)->title, u"Star Bo"_qs);
        QCOMPARE(resets.count(), 1); // from the narrowed list back to every command

        resets.clear();
        m_env->starred().toggle(u"bo"_qs);
        panel.reopen(ActionContext::profile(u"bo"_qs));
        QCOMPARE(resets.count(), 0);
        QVERIFY(!changes.isEmpty());
        const int star = int(ids(panel.visibleItems()).indexOf(u"toggle-star"_qs));
        QCOMPARE(rows->data(rows->index(star), ActionItemsModel::TitleRole).toString(), u"Unstar Bo"_qs);

        panel.reopen(ActionContext::search(std::nullopt, std::nullopt));
        QCOMPARE(panel.title(), u"Actions"_qs);
        QVERIFY(find(panel.entries(), u"remove-data"_qs) == nullptr); // a card's command
    }

    void aCommandsKeyRunsItFromTheOpenPanel() {
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        QCOMPARE(panel.handleKey(test::key(Qt::Key_M, Qt::ControlModifier)), KeyResult::Handled);
        QTRY_COMPARE(m_opened->addresses(), QStringList{u"imessage://%2B49%20170%201234567"_qs});
        QVERIFY(!m_env->router().hasOverlay());
    }

    void settingsOpensOnThePaneLastShown() {
        QStringList panes;
        m_env->openSettingsAction = [&panes](const QString& pane) { panes.append(pane); };
        auto& panel = open(ActionContext::search(std::nullopt, std::nullopt));
        QVERIFY(panel.performID(u"settings"_qs));
        QCOMPARE(panes, QStringList{QString()});
    }

    void controlKClosesThePanelAndTypingPassesToItsField() {
        auto& panel = open(ActionContext::search(std::nullopt, std::nullopt));
        QCOMPARE(panel.handleKey(test::key(Qt::Key_A)), KeyResult::Pass);
        QCOMPARE(panel.handleKey(test::key(Qt::Key_A, Qt::ControlModifier)), KeyResult::Pass); // select all
        QCOMPARE(panel.handleKey(test::key(Qt::Key_2, Qt::ControlModifier)),
                 KeyResult::Handled); // not a screen's
        QCOMPARE(panel.handleKey(KeyEvent::command(u'k')), KeyResult::Handled);
        QVERIFY(!m_env->router().hasOverlay());
    }

    // The filter is the panel's only field: Tab stays in it, so typing after it still narrows the
    // panel's list and never reaches the search field behind the scrim.
    void tabStaysInTheFilter_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers();
        QTest::newRow("Shift-Tab") << int(Qt::Key_Backtab) << Qt::KeyboardModifiers(Qt::ShiftModifier);
    }
    void tabStaysInTheFilter() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        QCOMPARE(panel.handleKey(test::key(key, modifiers)), KeyResult::Handled);
        QVERIFY(m_env->router().showsActions());
    }

    void clearingRecentsAsksAndLeavesStarredAlone() {
        m_env->recents().record(u"anna"_qs);
        m_env->recents().record(u"bo"_qs);
        m_env->starred().toggle(u"bo"_qs);
        auto& panel = open(ActionContext::search(std::nullopt, std::nullopt));
        QVERIFY(panel.performID(u"clear-recents"_qs));
        AppRouter& router = m_env->router();
        QVERIFY(router.showsConfirm()); // the panel's place is taken by the question
        QCOMPARE(router.confirmRequest().title, u"Clear recently searched?"_qs);
        QCOMPARE(m_env->recents().ids().size(), 2);
        router.confirm();
        QVERIFY(m_env->recents().ids().isEmpty());
        QCOMPARE(m_env->starred().ids(), QStringList{u"bo"_qs});
    }

    // An earlier failure goes when another command runs: it works, or says so itself.
    void aCommandTakesAnEarlierFailureAway() {
        m_env->router().showError(u"No Find My link for Anna"_qs);
        auto& panel = open(ActionContext::search(std::nullopt, std::nullopt));
        QVERIFY(panel.performID(u"clear-recents"_qs));
        QVERIFY(!m_env->router().hasBanner());
    }

    void quickCaptureIsRefusedWhileAIIsOff() {
        auto& panel = open(ActionContext::search(u"met Anna"_qs, u"anna"_qs));
        QVERIFY(panel.performID(u"quick-capture"_qs));
        QCOMPARE(m_env->router().bannerMessage(),
                 u"Turn on AI features in Settings to use Quick capture."_qs);
        QCOMPARE(m_env->router().depth(), 1);
        m_env->settings().setAiEnabled(true);
        auto& again = open(ActionContext::search(u"met Anna"_qs, u"anna"_qs));
        again.performID(u"quick-capture"_qs);
        QCOMPARE(m_env->router().topRoute(), Route::capture(u"met Anna"_qs, u"anna"_qs));
    }

    void createContactStartsWithTheQueryAsTheName() {
        auto& panel = open(ActionContext::search(u"Carla Diaz"_qs, std::nullopt));
        panel.performID(u"create-contact"_qs);
        QCOMPARE(m_env->router().topRoute(), Route::contactFormCreate());
        QCOMPARE(m_env->router().pendingSuggestedName(), std::optional<QString>(u"Carla Diaz"_qs));
    }

    void removingPemmosDataAsksThenKeepsTheContact() {
        await(m_env->sync().setField(u"anna"_qs, WritableField::Company, u"Acme"_qs));
        auto& panel = open(ActionContext::profile(u"anna"_qs));
        panel.performID(u"remove-data"_qs);
        AppRouter& router = m_env->router();
        QCOMPARE(router.confirmRequest().title, u"Remove Pemmo data for Anna Berg"_qs);
        QVERIFY(router.confirmRequest().destructive);
        router.confirm();
        QTRY_VERIFY(m_env->sync().profile(u"anna"_qs)->record->details.company == std::nullopt);
        QVERIFY(m_env->sync().profile(u"anna"_qs));
    }

    void deletingTheContactLeavesItsScreens() {
        m_env->router().push(Route::profile(u"bo"_qs));
        auto& panel = open(ActionContext::profile(u"bo"_qs));
        panel.performID(u"delete-contact"_qs);
        m_env->router().confirm();
        QTRY_VERIFY(!m_env->sync().profile(u"bo"_qs));
        QTRY_COMPARE(m_env->router().depth(), 1);
        QCOMPARE(m_env->router().bannerStyle(), u"success"_qs);
    }
};

QTEST_MAIN(TestActionPanelViewModel)
#include "TestActionPanelViewModel.moc"
