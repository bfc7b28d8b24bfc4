// The first-run window's model: what the contacts step says about the address book folders, the
// folders it connects, and what its ways out write for the next start.
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Screens/FirstRunViewModel.h"
#include "Screens/OnboardingPractice.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace pemmo;
using State = FirstRunViewModel::ContactsState;
using Folders = QList<FirstRunViewModel::FolderState>;

Q_DECLARE_METATYPE(Folders)

class TestFirstRunViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_live;
    std::unique_ptr<OnboardingPractice> m_practice;

    std::unique_ptr<FirstRunViewModel> model(QList<FirstRunViewModel::Candidate> found = {}) {
        return std::make_unique<FirstRunViewModel>(*m_live, *m_practice, std::move(found));
    }
    QString ownFolder() const { return AppEnvironment::defaultContactFolder(m_live->directory()); }

private Q_SLOTS:
    void init() {
        m_live = AppEnvironment::inMemory({}, u"PemmoLive"_qs);
        m_practice = std::make_unique<OnboardingPractice>(OnboardingPractice::PanelFactory{});
    }
    void cleanup() {
        m_practice.reset();
        m_live.reset();
    }

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
        auto m = model();
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
        auto m = model({{found, u"vdirsyncer"_qs, true}});
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
        auto m = model();
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
        m_practice->start(*m_live);
        QTRY_VERIFY(m_practice->isReady());
        auto m = model();
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
        QVERIFY(!m_practice->isActive());
        // Only once: a later close changes nothing.
        m->closed();
        QCOMPARE(m_live->settings().hasSkippedOnboarding(), skipped);
    }
};

QTEST_MAIN(TestFirstRunViewModel)
#include "TestFirstRunViewModel.moc"
