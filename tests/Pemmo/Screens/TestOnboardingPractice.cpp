// The first-run tutorial. Its practice run: what the global shortcut opens while it is going on,
// how the three tasks are judged done, which addresses it takes, and what it refuses. The window's
// model: what the contacts step says about the address book folders, the folders it connects, and
// what its ways out write for the next start.
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Screens/FirstRunViewModel.h"
#include "Screens/OnboardingPractice.h"
#include "Screens/ProfileAction.h"
#include "Screens/ProfileViewModel.h"
#include "Search/SearchViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"
#include "TestSupport/Await.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QWindow>

using namespace pemmo;
using test::await;
using Task = OnboardingPractice::Task;
using Tasks = std::set<Task>;
using State = FirstRunViewModel::ContactsState;
using Folders = QList<FirstRunViewModel::FolderState>;

Q_DECLARE_METATYPE(Tasks)
Q_DECLARE_METATYPE(std::optional<Task>)
Q_DECLARE_METATYPE(Folders)

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
    std::unique_ptr<FirstRunViewModel> model(OnboardingPractice& practice,
                                             QList<FirstRunViewModel::Candidate> found = {}) {
        return std::make_unique<FirstRunViewModel>(*m_live, practice, std::move(found));
    }
    QString ownFolder() const { return AppEnvironment::defaultContactFolder(m_live->directory()); }

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

    // From Alex's card, every way of reaching him but Messages says what to do, whether or not the
    // card has an address for it (he has a number, no e-mail address).
    void theCardReachesAlexOnlyByMessages_data() {
        QTest::addColumn<ProfileAction::Kind>("action");
        QTest::newRow("call") << ProfileAction::Kind::Call;
        QTest::newRow("mail") << ProfileAction::Kind::Mail;
        QTest::newRow("gmail") << ProfileAction::Kind::Gmail;
        QTest::newRow("find my") << ProfileAction::Kind::FindMy;
    }
    void theCardReachesAlexOnlyByMessages() {
        QFETCH(ProfileAction::Kind, action);
        auto practice = readyPractice();
        ProfileViewModel card(*practice->demo(), AppEnvironment::practiceContactID());
        await(card.perform(ProfileAction::plain(action)));
        QCOMPARE(banner(*practice), u"The tutorial only messages Alex. Press Ctrl+M."_qs);
        QVERIFY(!practice->messaged());
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

    // MARK: The first-run window's model

    void theContactsStateFollowsWhatTheFoldersHold_data() {
        QTest::addColumn<Folders>("folders");
        QTest::addColumn<State>("state");
        QTest::newRow("no folder") << Folders{} << State::NotConnected;
        QTest::newRow("none readable") << Folders{{false, 0}, {false, 0}} << State::Off;
        // The book is read whole or not at all: the readable folder's contacts are out of reach too.
        QTest::newRow("some readable") << Folders{{true, 4}, {false, 0}} << State::Off;
        QTest::newRow("readable with contacts") << Folders{{true, 0}, {true, 2}} << State::Ready;
        QTest::newRow("readable and empty") << Folders{{true, 0}} << State::Empty;
    }
    void theContactsStateFollowsWhatTheFoldersHold() {
        QFETCH(Folders, folders);
        QFETCH(State, state);
        QCOMPARE(FirstRunViewModel::contactsState(folders), state);
    }

    // The folder is counted as the address book reads it: its own cards, and those of its
    // address-book subfolders, where vdirsyncer keeps them and the folder itself holds none.
    void aFolderCountsTheCardsOfItsAddressBooks_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("contacts");
        QTest::newRow("empty") << QStringList{} << 0;
        QTest::newRow("cards of its own") << QStringList{u"a.vcf"_qs, u"b.VCF"_qs} << 2;
        QTest::newRow("cards in address books")
            << QStringList{u"work/a.vcf"_qs, u"work/b.vcf"_qs, u"personal/c.vcf"_qs} << 3;
        QTest::newRow("both") << QStringList{u"a.vcf"_qs, u"personal/b.vcf"_qs} << 2;
        QTest::newRow("other files") << QStringList{u"notes.txt"_qs, u"work/.hidden.vcf"_qs} << 0;
    }
    void aFolderCountsTheCardsOfItsAddressBooks() {
        QFETCH(QStringList, files);
        QFETCH(int, contacts);
        test::TempDir dir;
        for (const QString& name : files) {
            QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(name)).path()));
            QFile card(dir.filePath(name));
            QVERIFY(card.open(QIODevice::WriteOnly));
            card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n");
        }
        const FirstRunViewModel::FolderState state = FirstRunViewModel::folderState(dir.path());
        QVERIFY(state.readable);
        QCOMPARE(state.contacts, contacts);
        QCOMPARE(FirstRunViewModel::folderState(dir.filePath(u"missing"_qs)).readable, false);
    }

    // Nothing else found: Pemmo's own folder is offered checked, made on connecting, and read from
    // then on; a vCard in it makes the address book ready.
    void connectingMakesPemmosOwnFolderAndReadsIt() {
        auto practice = makePractice();
        auto m = model(*practice);
        QCOMPARE(m->candidates().size(), 1);
        QVERIFY(m->candidates().first().checked);
        QCOMPARE(m->contactsState(), State::NotConnected);
        QVERIFY(m->connectFolders());
        QVERIFY(QFileInfo(ownFolder()).isDir());
        QCOMPARE(m_live->settings().contactFolders(), QStringList{ownFolder()});
        QCOMPARE(m->contactsState(), State::Empty);
        QFile card(ownFolder() + u"/a.vcf"_qs);
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n");
        card.close();
        QCOMPARE(m->contactsState(), State::Ready);
        // Connecting again adds nothing twice.
        QVERIFY(m->connectFolders());
        QCOMPARE(m_live->settings().contactFolders(), QStringList{ownFolder()});
    }

    // Found folders are offered checked and Pemmo's own folder is then left unchecked; what the
    // user unchecks stays out, what they choose joins.
    void foundAndChosenFoldersAreConnectedAsChecked() {
        test::TempDir dir;
        const QString found = dir.filePath(u"vdir/friends"_qs);
        const QString chosen = dir.filePath(u"chosen"_qs);
        QVERIFY(QDir().mkpath(found));
        QVERIFY(QDir().mkpath(chosen));
        auto practice = makePractice();
        auto m = model(*practice, {{found, u"vdirsyncer"_qs, true}});
        QCOMPARE(m->candidates().size(), 2);
        QVERIFY(!m->candidates().at(0).checked);
        QVERIFY(m->candidates().at(1).checked);
        m->askForFolder = [&] { return chosen; };
        m->chooseFolder();
        m->chooseFolder(); // the same folder again is not offered twice
        QCOMPARE(m->candidates().size(), 3);
        m->setChecked(1, false);
        QVERIFY(m->connectFolders());
        QCOMPARE(m_live->settings().contactFolders(), QStringList{chosen});
        QVERIFY(!QFileInfo::exists(ownFolder()));
    }

    void aFolderThatCannotBeMadeIsSaidAndNothingIsConnected() {
        test::TempDir dir;
        const QString file = dir.filePath(u"plain-file"_qs);
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        auto practice = makePractice();
        auto m = model(*practice);
        m->askForFolder = [&] { return file + u"/below"_qs; };
        m->chooseFolder();
        QVERIFY(!m->connectFolders());
        QVERIFY(!m->notice().isEmpty());
        QVERIFY(m_live->settings().contactFolders().isEmpty());
    }

    // Completed or skipped, the tutorial's version is written, and the next start opens no window.
    void theWaysOutAreWrittenForTheNextStart_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("search my contacts") << u"finish"_qs << true << false;
        QTest::newRow("skip") << u"skip"_qs << false << true;
        QTest::newRow("closed during the practice") << u"close"_qs << false << true;
        QTest::newRow("closed on the contacts step") << u"close-contacts"_qs << true << false;
    }
    void theWaysOutAreWrittenForTheNextStart() {
        QFETCH(QString, how);
        QFETCH(bool, completed);
        QFETCH(bool, skipped);
        QVERIFY(AppStartup::shouldShowOnboarding(m_live->settings()));
        auto practice = readyPractice();
        auto m = model(*practice);
        std::optional<bool> done;
        m->onDone = [&](bool openPanel) { done = openPanel; };
        if (how == u"finish")
            m->finish(true);
        else if (how == u"skip")
            m->skip();
        else {
            if (how == u"close-contacts")
                m->continueToContacts();
            m->closed();
        }
        QCOMPARE(done, std::optional(how == u"finish"));
        QCOMPARE(m_live->settings().hasCompletedOnboarding(), completed);
        QCOMPARE(m_live->settings().hasSkippedOnboarding(), skipped);
        QCOMPARE(m_live->settings().onboardingVersion(), 3);
        QVERIFY(!AppStartup::shouldShowOnboarding(m_live->settings()));
        QVERIFY(!practice->isActive());
        // Only once: a later close changes nothing.
        m->closed();
        QCOMPARE(m_live->settings().hasSkippedOnboarding(), skipped);
    }
};

QTEST_MAIN(TestOnboardingPractice)
#include "TestOnboardingPractice.moc"
