// The search screen's keys: moving and opening, the action panel, and the Control-commands that
// reach the selected person without opening their card.
#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "KeyPress.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Search/SearchLayout.h"
#include "Search/SearchViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/SearchCommands.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/MomentsWorld.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;
using test::await;

class TestSearchCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::shared_ptr<test::RecordingOpener::Log> m_opened;
    std::unique_ptr<SearchCommands> m_commands;

    void search(const QString& query) {
        m_env->search().setQuery(query);
        QTRY_VERIFY(!m_env->search().flat().isEmpty() || !m_env->search().emptyText().isEmpty());
        QTRY_VERIFY(m_env->search().selectedRow().has_value());
    }
    KeyResult press(const KeyEvent& event) { return m_commands->handleKey(event); }
    void settle() { QTest::qWait(20); }
    // "fam" typed and the Family circle's row selected.
    void selectTheFamilyCircle() {
        await(m_env->sync().addTag(u"anna"_qs, u"family"_qs));
        m_env->search().setQuery(u"fam"_qs);
        QTRY_VERIFY(m_env->search().selectedRow().has_value());
        m_env->search().select(u"tag:family"_qs);
    }

private Q_SLOTS:
    void init() {
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.phones = {{u"mobile"_qs, u"+49 (170) 123-4567"_qs}};
        anna.emails = {{u"home"_qs, u"anna@example.org"_qs}};
        m_env = test::startedEnvironment({anna, test::person(u"bo"_qs, u"Bo"_qs, u"Lind"_qs)});
        m_opened = test::recordOpenings(*m_env);
        m_commands = std::make_unique<SearchCommands>(*m_env);
    }
    void cleanup() {
        m_commands.reset();
        m_env.reset();
    }

    void commandKeysReachTheSelectedPerson_data() {
        QTest::addColumn<QChar>("letter");
        QTest::addColumn<QString>("opened");
        QTest::newRow("Control-M messages") << QChar(u'm') << u"imessage://%2B49%20%28170%29%20123%2D4567"_qs;
        QTest::newRow("Control-P calls") << QChar(u'p') << u"tel://+491701234567"_qs;
        QTest::newRow("Control-E mails") << QChar(u'e') << u"mailto:anna@example.org"_qs;
    }
    void commandKeysReachTheSelectedPerson() {
        QFETCH(QChar, letter);
        QFETCH(QString, opened);
        search(u"anna"_qs);
        QCOMPARE(press(KeyEvent::command(letter)), KeyResult::Handled);
        QTRY_COMPARE(m_opened->addresses(), QStringList{opened});
        QCOMPARE(m_env->router().depth(), 1); // the card did not open
    }

    // Return or a command key pressed before the typing pause acts on what was typed.
    void keysRightAfterTypingActOnTheTypedName() {
        search(u"bo"_qs);
        m_env->search().setQuery(u"anna"_qs);
        QCOMPARE(press(KeyEvent::command(u'e')), KeyResult::Handled);
        QTRY_COMPARE(m_opened->addresses(), QStringList{u"mailto:anna@example.org"_qs});
        m_env->search().setQuery(u"bo lind"_qs);
        QCOMPARE(press(test::key(Qt::Key_Return)), KeyResult::Handled);
        QCOMPARE(m_env->router().topRoute().contactID(), std::optional(u"bo"_qs));
    }

    void controlJLogsForTheSelectedPerson() {
        search(u"anna"_qs);
        press(KeyEvent::command(u'j'));
        QCOMPARE(m_env->router().topRoute(), Route::logInteraction(u"anna"_qs));
    }

    void aCommandWithNobodySelectedSaysSo() {
        m_env->search().setQuery(u"zzzz"_qs);
        QTRY_VERIFY(!m_env->search().emptyText().isEmpty());
        QCOMPARE(press(KeyEvent::command(u'm')), KeyResult::Handled);
        QVERIFY(m_opened->calls.isEmpty());
        QCOMPARE(m_env->router().bannerMessage(), u"Choose a person first."_qs);
    }

    void escapeClosesTheOverlayThenClearsTheQueryThenPasses() {
        search(u"anna"_qs);
        QCOMPARE(press(KeyEvent::command(u'k')), KeyResult::Handled);
        QVERIFY(m_env->router().showsActions());
        QCOMPARE(m_env->router().actionContext(), ActionContext::search(u"anna"_qs, u"anna"_qs));
        QCOMPARE(press(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QVERIFY(!m_env->router().hasOverlay());
        QCOMPARE(press(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(m_env->search().query(), QString());
        QCOMPARE(press(test::key(Qt::Key_Escape)), KeyResult::Pass);
    }

    void controlKClosesTheActionPanelItOpened() {
        press(KeyEvent::command(u'k'));
        QVERIFY(m_env->router().showsActions());
        press(KeyEvent::command(u'k'));
        QVERIFY(!m_env->router().hasOverlay());
    }

    void askKeysAreClaimedAndSayAIIsOff_data() {
        QTest::addColumn<QChar>("letter");
        QTest::newRow("Control-I") << QChar(u'i');
        QTest::newRow("Control-L") << QChar(u'l');
        QTest::newRow("Control-N, quick capture") << QChar(u'n');
    }
    void askKeysAreClaimedAndSayAIIsOff() {
        QFETCH(QChar, letter);
        QCOMPARE(press(KeyEvent::command(letter)), KeyResult::Handled);
        QCOMPARE(m_env->router().bannerStyle(), u"error"_qs);
        QVERIFY(m_env->router().bannerMessage().contains(u"Turn on AI features in Settings"_qs));
    }

    void aOneWordCircleRowFiltersByTheCircle() {
        selectTheFamilyCircle();
        QVERIFY(m_commands->openSelected());
        QCOMPARE(m_env->search().query(), u"#family "_qs);
        QCOMPARE(m_env->router().depth(), 1);
    }

    // MARK: Ask

    void askFillsTheRankedSectionAndSelectsItsFirstPerson() {
        const auto local = test::useFakeAI(*m_env, AIProviderID::OnDevice).local;
        local->rankAnswer = {{u"bo"_qs, u"Climbs every week"_qs}, {u"nobody"_qs, u"not sent"_qs}};
        search(u"lind"_qs);
        QCOMPARE(press(KeyEvent::command(u'i')), KeyResult::Handled);
        QTRY_VERIFY(m_env->search().isShowingRanked());
        QVERIFY(!m_env->search().isAsking());
        QCOMPARE(local->lastText, u"lind"_qs);
        QCOMPARE(local->lastCandidates.size(), 2);
        const SearchSectionRows ranked = m_env->search().sections().constLast();
        QCOMPARE(ranked.section, SearchSection::Ranked);
        QCOMPARE(ranked.rows.size(), 1); // an id that was not sent is dropped
        QCOMPARE(ranked.rows.first().profileID, std::optional(u"bo"_qs));
        QCOMPARE(ranked.rows.first().reason, std::optional(u"Climbs every week"_qs));
        QTRY_COMPARE(m_env->search().selectedID(), std::optional(u"ranked:bo"_qs));
        QCOMPARE(m_env->search().rankedOrigin(), u"On-device · stayed on this computer"_qs);

        // Control-I again keeps the answer; Control-L asks afresh.
        press(KeyEvent::command(u'i'));
        settle();
        QCOMPARE(local->calls.size(), 1);
        press(KeyEvent::command(u'l'));
        QTRY_COMPARE(local->calls.size(), 2);
    }

    // A second Ask while one runs says so; an answer naming nobody is kept like any other.
    void askingAgainWhileAskingOrForNobody() {
        const auto local = test::useFakeAI(*m_env, AIProviderID::OnDevice).local;
        search(u"lind"_qs);
        press(KeyEvent::command(u'i'));
        press(KeyEvent::command(u'i'));
        QCOMPARE(m_env->router().bannerMessage(),
                 u"Pemmo is still asking the AI. Its answer will show here."_qs);
        QTRY_VERIFY(!m_env->search().isAsking());
        QCOMPARE(local->calls.size(), 1);
        QVERIFY(m_env->search().isShowingRanked()); // nobody, as the banner says
        QCOMPARE(m_env->router().bannerMessage(), u"The AI found no one for that question."_qs);
        press(KeyEvent::command(u'i'));
        settle();
        QCOMPARE(local->calls.size(), 1);
    }

    // Who is sent to the model is the AI service's own to decide (TestAIService).
    void askShowsFailures() {
        const auto cloud = test::useFakeAI(*m_env, AIProviderID::Claude).cloud;
        cloud->failure = std::make_exception_ptr(PemmoError::aiUnavailable(u"Claude is busy"_qs));
        search(u"lind"_qs);
        press(KeyEvent::command(u'i'));
        QTRY_COMPARE(cloud->calls.size(), 1);
        QTRY_VERIFY(!m_env->ai().lastErrorText().isEmpty());
        QTRY_COMPARE(m_env->router().bannerMessage(), m_env->ai().lastErrorText());
        QVERIFY(!m_env->search().isShowingRanked());
        QVERIFY(!m_env->search().isAsking());
    }

    void controlReturnOnACircleRowManagesIt() {
        selectTheFamilyCircle();
        QCOMPARE(press(test::key(Qt::Key_Return, Qt::ControlModifier)), KeyResult::Handled);
        QCOMPARE(m_env->router().topRoute(), Route::manageTags(u"family"_qs));
        QCOMPARE(m_env->search().query(), u"fam"_qs); // the search stays as it was underneath
    }

    // A Moment's row carries the person, but Return writes the memory rather than opening the card.
    void returnOnAMomentRowOpensItsCaptureScreen() {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        test::connectCalendar(
            *m_env,
            {test::meeting(u"coffee"_qs, now.addSecs(-3600), now.addSecs(-1800), u"anna@example.org"_qs)},
            QDateTime::currentDateTimeUtc());
        QCOMPARE(m_env->moments().pending().size(), 1);
        const QString momentID = m_env->moments().pending().first().id;

        const QString rowID = SearchLayout::momentRowID(momentID);
        QTRY_VERIFY(std::any_of(m_env->search().flat().cbegin(), m_env->search().flat().cend(),
                                [&rowID](const SearchRowItem& row) { return row.id == rowID; }));
        m_env->search().select(rowID);
        QCOMPARE(press(test::key(Qt::Key_Return)), KeyResult::Handled);
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::MomentCapture);
        QCOMPARE(m_env->router().topRoute().moment()->id, momentID);
        QCOMPARE(m_env->router().topRoute().contactID(), std::optional(u"anna"_qs));
        QVERIFY(m_env->recents().visible().isEmpty());

        // Gone before it was opened (another screen saved it): said, and nothing opens.
        m_env->router().pop();
        m_env->moments().dismiss(m_env->moments().pending().first());
        m_commands->openMoment(momentID);
        QCOMPARE(m_env->router().depth(), 1);
        QCOMPARE(m_env->router().bannerStyle(), u"error"_qs);
    }
};

QTEST_MAIN(TestSearchCommands)
#include "TestSearchCommands.moc"
