// The first start as a new user meets it: a real `pemmo` on an empty home, on its own X server
// with a window manager, driven by synthetic key presses (xdotool). The first-run window opens,
// the shortcut opens the practice panel, the practice contact is found and messaged without
// anything leaving the computer (a stand-in `xdg-open` writes down every address it is given),
// the contacts step makes Pemmo's own address book folder, and the next start opens no window.
#include "EndToEndTest.h"
#include "Settings/SettingsStore.h"

using namespace pemmo;

class TestFirstRunEndToEnd : public test::EndToEndTest {
    Q_OBJECT

public:
    TestFirstRunEndToEnd()
        : EndToEndTest(u"firstrun"_qs) {}

private:
    QString ownContactsFolder() const { return m_home->filePath(u"data/Pemmo/Contacts"_qs); }
    QJsonObject firstRun() { return state()[u"firstRun"_qs].toObject(); }
    QJsonObject window() { return firstRun()[u"window"_qs].toObject(); }
    QJsonObject practiceScreen() { return firstRun()[u"practicePanel"_qs][u"screen"_qs].toObject(); }
    void startPemmo() {
        EndToEndTest::startPemmo([](const QJsonObject& s) { return s.contains(u"firstRun"_qs); });
    }

private Q_SLOTS:
    void initTestCase() {
        if (const QString missing = missingPrerequisite(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        // An empty home: no settings, no records, no address book.
        makeHome();
        installOpener();
        startDesktop(200, 260, u"1600x1000x24"_qs);
        if (QTest::currentTestFailed())
            return;
        startPemmo();
    }

    void cleanupTestCase() { stopAll(); }

    void theFirstStartOpensTheFirstRunWindow() {
        QTRY_VERIFY_WITH_TIMEOUT(firstRun()[u"open"_qs].toBool(), 10000);
        QVERIFY(firstRun()[u"engaged"_qs].toBool());
        QTRY_VERIFY(window()[u"ready"_qs].toBool());
        QCOMPARE(window()[u"currentTask"_qs].toInt(), 0);
        QCOMPARE(state()[u"visible"_qs].toBool(), false);
        screenshot(u"01-first-run-window"_qs);
    }

    void theShortcutOpensThePracticePanelNotTheLiveOne() {
        keys({u"ctrl+k"_qs});
        // The practice panel's first opening loads its own QML engine: slow under the sanitizers
        // on a busy machine.
        QTRY_VERIFY2_WITH_TIMEOUT(firstRun()[u"practicePanelVisible"_qs].toBool(), stateDump().constData(),
                                  30000);
        QCOMPARE(state()[u"visible"_qs].toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(window()[u"currentTask"_qs].toInt(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(practiceScreen()[u"focused"_qs].toBool(), 10000);
    }

    void typingAlexSelectsThePracticeContact() {
        type(u"alex"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(practiceScreen()[u"selectedID"_qs].toString(), u"pemmo-practice-alex"_qs,
                                  15000);
        QCOMPARE(practiceScreen()[u"selectedTitle"_qs].toString(), u"Alex Morgan"_qs);
        QTRY_COMPARE(window()[u"currentTask"_qs].toInt(), 2);
        screenshot(u"02-practice-panel"_qs);
    }

    void controlMCompletesThePracticeAndOpensNothing() {
        keys({u"ctrl+m"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(window()[u"messaged"_qs].toBool(), 15000);
        QCOMPARE(window()[u"currentTask"_qs].toInt(), -1);
        QTRY_VERIFY(!firstRun()[u"practicePanelVisible"_qs].toBool());
        screenshot(u"03-practice-done"_qs);
        QCOMPARE(opened(), QStringList());
    }

    void theContactsStepMakesPemmosOwnFolder() {
        QVERIFY(!QFileInfo::exists(ownContactsFolder()));
        // Continue has the keyboard once Alex is messaged; then Connect does.
        keys({u"Return"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(window()[u"step"_qs].toInt(), 2, 5000);
        QVERIFY(!firstRun()[u"engaged"_qs].toBool());
        QCOMPARE(window()[u"contactsText"_qs].toString(),
                 u"Pemmo will set up an address book folder for you. You can also connect later."_qs);
        screenshot(u"04-contacts-step"_qs);
        keys({u"Return"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(ownContactsFolder()).isDir(), 5000);
        QTRY_COMPARE(window()[u"contactsText"_qs].toString(),
                     u"No contacts found yet. Add someone to your address book folders, then search for them "
                     u"in Pemmo."_qs);
        QCOMPARE(DefaultsFileStore(defaultsPath()).textList(SettingsStore::contactFoldersKey()),
                 std::optional(QStringList{ownContactsFolder()}));
        QCOMPARE(opened(), QStringList());
    }

    void searchMyContactsEndsTheTutorialAndTheNextStartOpensNoWindow() {
        // Choose folder…, Later, Search my contacts.
        keys({u"Tab"_qs, u"Tab"_qs, u"Tab"_qs, u"Return"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(!firstRun()[u"open"_qs].toBool(), 5000);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        {
            DefaultsFileStore defaults(defaultsPath());
            SettingsStore settings(defaults);
            QVERIFY(settings.hasCompletedOnboarding());
            QVERIFY(!settings.hasSkippedOnboarding());
            QCOMPARE(settings.onboardingVersion(), 3);
        }
        // With the practice over, the shortcut is the live panel's again.
        keys({u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"visible"_qs].toBool(), 5000);
        QVERIFY(!firstRun()[u"practicePanelVisible"_qs].toBool());

        quitPemmo();
        startPemmo();
        QCOMPARE(state()[u"firstRunDecided"_qs].toBool(), false);
        QCOMPARE(firstRun()[u"open"_qs].toBool(), false);
        QCOMPARE(opened(), QStringList());
    }
};

QTEST_MAIN(TestFirstRunEndToEnd)
#include "TestFirstRunEndToEnd.moc"
