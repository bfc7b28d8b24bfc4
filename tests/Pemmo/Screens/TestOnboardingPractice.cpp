// The practice run of the first-run tutorial: what the global shortcut opens while it is going on,
// how the three tasks are judged done, which addresses it takes, and what it refuses.
#include "App/AppEnvironment.h"
#include "Screens/OnboardingPractice.h"
#include "Screens/ProfileAction.h"
#include "Screens/ProfileViewModel.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"
#include "TestSupport/Await.h"

#include <QTest>
#include <QWindow>

using namespace pemmo;
using test::await;
using Task = OnboardingPractice::Task;
using Tasks = std::set<Task>;

Q_DECLARE_METATYPE(Tasks)
Q_DECLARE_METATYPE(std::optional<Task>)

namespace {

// A panel over a plain window: what the shell's practice panel is, without the QML.
struct TestPanel : QObject {
    QWindow window;
    PanelController controller{&window};
};

AppEnvironment::Timings quick() {
    AppEnvironment::Timings t;
    t.writeDelay = std::chrono::milliseconds(1);
    return t;
}

} // namespace

class TestOnboardingPractice : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_live;
    TestPanel m_livePanel;
    int m_panelsMade = 0;

    std::unique_ptr<OnboardingPractice> makePractice() {
        return std::make_unique<OnboardingPractice>(
            [this](AppEnvironment& env) {
                ++m_panelsMade;
                auto panel = std::make_unique<TestPanel>();
                env.setPanel(&panel->controller);
                return panel;
            },
            [] { return AppEnvironment::practice(quick()); });
    }
    std::unique_ptr<OnboardingPractice> readyPractice() {
        auto practice = makePractice();
        practice->start(*m_live);
        [&] { QTRY_VERIFY(practice->isReady()); }();
        return practice;
    }
    static QString banner(const OnboardingPractice& practice) {
        return practice.demo()->router().bannerMessage();
    }

private Q_SLOTS:
    void init() {
        m_live = AppEnvironment::inMemory({}, u"PemmoLive"_qs, quick());
        m_live->setPanel(&m_livePanel.controller);
        m_panelsMade = 0;
    }
    void cleanup() {
        m_livePanel.controller.hide();
        m_live.reset();
    }

    void theShortcutOpensThePracticePanelNeverTheLiveOneAndThenHidesIt() {
        auto practice = readyPractice();
        QCOMPARE(practice->step(), OnboardingPractice::Step::Practice);
        QVERIFY(practice->handleShortcut());
        QVERIFY(practice->isPracticePanelVisible());
        QVERIFY(!m_livePanel.controller.isVisible());
        QVERIFY(practice->openedPanel());
        QVERIFY(practice->handleShortcut());
        QVERIFY(!practice->isPracticePanelVisible());
        QVERIFY(practice->handleShortcut());
        QVERIFY(practice->isPracticePanelVisible());
        QCOMPARE(m_panelsMade, 1);
        QVERIFY(!m_livePanel.controller.isVisible());
    }

    // Before the practice contact is loaded the shortcut is remembered, and a second press takes
    // the request back; a request still standing opens the panel once the practice is ready.
    void theShortcutBeforeReadyIsRememberedUntilReady_data() {
        QTest::addColumn<int>("presses");
        QTest::addColumn<bool>("opens");
        QTest::newRow("once") << 1 << true;
        QTest::newRow("twice") << 2 << false;
        QTest::newRow("three times") << 3 << true;
    }
    void theShortcutBeforeReadyIsRememberedUntilReady() {
        QFETCH(int, presses);
        QFETCH(bool, opens);
        auto practice = makePractice();
        practice->start(*m_live);
        QVERIFY(!practice->isReady());
        for (int i = 0; i < presses; ++i)
            QVERIFY(practice->handleShortcut());
        QCOMPARE(practice->pending() == OnboardingPractice::Request::Panel, opens);
        QTRY_VERIFY(practice->isReady());
        QCOMPARE(practice->isPracticePanelVisible(), opens);
        QVERIFY(!practice->pending());
        QVERIFY(!m_livePanel.controller.isVisible());
    }

    void nothingIsHandledWhenThePracticeIsNotEngaged() {
        auto practice = makePractice();
        QVERIFY(!practice->handleShortcut());
        QVERIFY(!practice->handleQuickCapture());
        QVERIFY(!practice->refuseSettings());
        practice->start(*m_live);
        QTRY_VERIFY(practice->isReady());
        practice->moveToContacts();
        QVERIFY(!practice->isEngaged());
        QVERIFY(!practice->handleShortcut());
        QVERIFY(!practice->handleQuickCapture());
        QVERIFY(!practice->isPracticePanelVisible());
        // The settings wait for the whole run, the contacts step included.
        QCOMPARE(practice->refuseSettings(), std::optional(u"Finish practice to change your settings."_qs));
        practice->stop();
        QVERIFY(!practice->isActive() && !practice->isReady() && !practice->hasStarted());
        QVERIFY(!practice->refuseSettings());
        QVERIFY(!m_live->practiceRun());
    }

    void completedTasksFollowThePanelTheSelectionAndTheMessage_data() {
        QTest::addColumn<bool>("openPanel");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("message");
        QTest::addColumn<Tasks>("completed");
        QTest::addColumn<std::optional<Task>>("current");
        QTest::newRow("nothing yet") << false << QString() << false << Tasks{}
                                     << std::optional(Task::OpenPemmo);
        QTest::newRow("panel open") << true << QString() << false << Tasks{Task::OpenPemmo}
                                    << std::optional(Task::FindAlex);
        QTest::newRow("Alex selected")
            << true << u"alex"_qs << false << Tasks{Task::OpenPemmo, Task::FindAlex}
            << std::optional(Task::Message);
        QTest::newRow("someone else typed")
            << true << u"zebulon"_qs << false << Tasks{Task::OpenPemmo} << std::optional(Task::FindAlex);
        QTest::newRow("messaged") << true << u"alex"_qs << true
                                  << Tasks{Task::OpenPemmo, Task::FindAlex, Task::Message}
                                  << std::optional<Task>();
        // Messaging counts for finding Alex whatever the search shows afterwards.
        QTest::newRow("messaged, query cleared")
            << true << QString() << true << Tasks{Task::OpenPemmo, Task::FindAlex, Task::Message}
            << std::optional<Task>();
    }
    void completedTasksFollowThePanelTheSelectionAndTheMessage() {
        QFETCH(bool, openPanel);
        QFETCH(QString, query);
        QFETCH(bool, message);
        QFETCH(Tasks, completed);
        QFETCH(std::optional<Task>, current);
        auto practice = readyPractice();
        if (openPanel)
            QVERIFY(practice->openPracticePanel());
        SearchViewModel& search = practice->demo()->search();
        if (!query.isEmpty()) {
            search.setQuery(query);
            QTRY_VERIFY(!search.isSearching());
        }
        if (message) {
            // Control-M on the search screen: Alex's Messages address, built from the card.
            await(practice->demo()
                      ->profileModel(AppEnvironment::practiceContactID())
                      .perform(ProfileAction::plain(ProfileAction::Kind::Message)));
            QVERIFY(practice->messaged());
            // Nothing is logged on the practice timeline.
            QVERIFY(practice->demo()
                        ->sync()
                        .profile(AppEnvironment::practiceContactID())
                        ->record->interactions.isEmpty());
            search.setQuery(query == u"alex"_qs ? QString() : query);
        }
        QTRY_COMPARE(practice->completedTasks(), completed);
        QCOMPARE(practice->currentTask(), current);
        QCOMPARE(practice->taskList().size(), 3);
    }

    // Only Alex's Messages address counts; every other address opens nothing and says what to do.
    void addressesOtherThanAlexsConversationAreRefused_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Alex's conversation") << u"imessage://%28202%29%20555%2D0123"_qs << true;
        QTest::newRow("Alex's number as a call") << u"tel://2025550123"_qs << false;
        QTest::newRow("someone else's conversation") << u"imessage://%2B12025550199"_qs << false;
        QTest::newRow("a web page") << u"https://example.com"_qs << false;
        QTest::newRow("mail") << u"mailto:alex@example.com"_qs << false;
    }
    void addressesOtherThanAlexsConversationAreRefused() {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QCOMPARE(OnboardingPractice::practiceMessagesAddress() == address, accepted);
        auto practice = readyPractice();
        practice->openAddress(address);
        QCOMPARE(practice->messaged(), accepted);
        QCOMPARE(banner(*practice),
                 accepted ? QString() : u"The tutorial only messages Alex. Press Ctrl+M."_qs);
    }

    void quickCaptureWaitsAndTheRefusalReplacesTheBanner() {
        auto practice = readyPractice();
        practice->openPracticePanel();
        practice->openAddress(u"tel://1"_qs);
        QVERIFY(m_live->practiceRefusesQuickCapture());
        QCOMPARE(banner(*practice), u"Quick capture is waiting until practice is done."_qs);
        QCOMPARE(practice->pending(), std::optional(OnboardingPractice::Request::Capture));
        QCOMPARE(practice->demo()->router().depth(), 1);
        QVERIFY(!m_livePanel.controller.isVisible());
    }

    void stoppingEndsTheRunAndAReplayStartsAfresh() {
        auto practice = readyPractice();
        practice->openPracticePanel();
        practice->openAddress(OnboardingPractice::practiceMessagesAddress());
        QVERIFY(practice->messaged());
        QCOMPARE(m_live->practiceRun(), practice.get());
        practice->stop();
        QVERIFY(!practice->demo());
        practice->start(*m_live);
        QCOMPARE(practice->step(), OnboardingPractice::Step::Welcome);
        QVERIFY(!practice->messaged() && !practice->openedPanel());
        QTRY_VERIFY(practice->isReady());
        QCOMPARE(practice->currentTask(), std::optional(Task::OpenPemmo));
    }

    // A run ended while its environment was still loading leaves nothing behind: the late load
    // neither makes the next run ready early nor touches what is gone.
    void stoppingWhileLoadingIsSafe() {
        auto practice = makePractice();
        practice->start(*m_live);
        practice->stop();
        QVERIFY(!practice->isReady());
        practice->start(*m_live);
        QTRY_VERIFY(practice->isReady());
        QCOMPARE(practice->demo()->sync().profiles().size(), 1);
    }
};

QTEST_MAIN(TestOnboardingPractice)
#include "TestOnboardingPractice.moc"
