// The settings window's model: starting at login through the autostart entry, re-recording the
// global shortcut (a combination another program holds is refused and the old one stays), the
// address book folders, export and import of the records, erasing them, and the update feed.
#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/KeyValueStore.h"
#include "Settings/SecretStore.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsViewModel.h"
#include "Shell/AppDelegate.h"
#include "Store/PemmoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;

class TestSettingsViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;

    int recordCount() { return int(await(m_env->store().allRecords()).size()); }

private Q_SLOTS:
    void init() {
        m_env = AppEnvironment::inMemory(
            {test::person(u"anna"_qs, u"Anna"_qs), test::person(u"bo"_qs, u"Bo"_qs)}, u"PemmoSettingsTest"_qs,
            {std::chrono::milliseconds(1), std::chrono::hours(1), std::chrono::seconds(5)});
        await(m_env->sync().start());
    }
    void cleanup() { m_env.reset(); }

    void launchAtLoginWritesAndRemovesTheEntryInXdgConfigHome() {
        test::TempDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        SettingsViewModel model(*m_env);
        QVERIFY(!model.launchAtLogin());
        QVERIFY(model.setLaunchAtLogin(true));
        QVERIFY(home.exists(u"autostart/pemmo.desktop"_qs));
        QVERIFY(model.launchAtLogin());
        QVERIFY(model.setLaunchAtLogin(false));
        QVERIFY(!home.exists(u"autostart/pemmo.desktop"_qs));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void aShortcutTheDesktopTakesIsStoredForTheNextStart() {
        SettingsViewModel model(*m_env);
        QList<QKeySequence> bound;
        model.setShortcutBinder([&](const QKeySequence& shortcut) -> std::optional<QString> {
            bound.append(shortcut);
            return std::nullopt;
        });
        const QKeySequence wanted(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Space);
        QVERIFY(model.recordShortcut(wanted));
        QCOMPARE(bound, QList<QKeySequence>{wanted});
        QCOMPARE(AppDelegate::storedShortcut(m_env->keyValueStore()), wanted);
        QCOMPARE(model.shortcut(), wanted);
    }

    void aShortcutAnotherProgramHoldsIsRefusedAndTheOldStays() {
        SettingsViewModel model(*m_env);
        const QString held =
            u"Another program already uses Ctrl+Shift+Space as its shortcut, so Pemmo cannot."_qs;
        model.setShortcutBinder([&](const QKeySequence&) -> std::optional<QString> { return held; });
        QSignalSpy changed(&model, &SettingsViewModel::shortcutChanged);
        QVERIFY(!model.recordShortcut(QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Space)));
        QCOMPARE(AppDelegate::storedShortcut(m_env->keyValueStore()), AppDelegate::defaultShortcut());
        QVERIFY(!m_env->keyValueStore().contains(AppDelegate::shortcutKey()));
        QVERIFY2(model.message().startsWith(held), qPrintable(model.message()));
        QCOMPARE(changed.count(), 0);
    }

    void aCombinationThatCannotBeAShortcutNeverReachesTheDesktop_data() {
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("a letter alone") << QKeySequence(Qt::Key_K);
        QTest::newRow("shift and a letter") << QKeySequence(Qt::ShiftModifier | Qt::Key_K);
        QTest::newRow("two keys in a row")
            << QKeySequence(Qt::ControlModifier | Qt::Key_K, Qt::ControlModifier | Qt::Key_J);
        QTest::newRow("nothing") << QKeySequence();
    }
    void aCombinationThatCannotBeAShortcutNeverReachesTheDesktop() {
        QFETCH(QKeySequence, shortcut);
        SettingsViewModel model(*m_env);
        bool asked = false;
        model.setShortcutBinder([&](const QKeySequence&) -> std::optional<QString> {
            asked = true;
            return std::nullopt;
        });
        QVERIFY(!model.recordShortcut(shortcut));
        QVERIFY(!asked);
        QVERIFY(!model.message().isEmpty());
        QCOMPARE(model.shortcut(), AppDelegate::defaultShortcut());
    }

    void foldersAreAddedOnceRemovedAndTheFirstTakesNewContacts() {
        test::TempDir disk;
        QDir(disk.path()).mkpath(u"work"_qs);
        QDir(disk.path()).mkpath(u"family"_qs);
        const QString work = disk.filePath(u"work"_qs);
        const QString family = disk.filePath(u"family"_qs);
        SettingsViewModel model(*m_env);
        QSignalSpy changed(&model, &SettingsViewModel::contactFoldersChanged);

        QVERIFY(model.addContactFolder(work));
        QVERIFY(model.addContactFolder(family + u'/'));
        QCOMPARE(m_env->settings().contactFolders(), (QStringList{work, family}));
        QVERIFY(changed.count() >= 2);
        // The same folder however it is spelled, and something that is no folder, are refused.
        QVERIFY(!model.addContactFolder(disk.path() + u"/family/../work"_qs));
        QVERIFY(!model.addContactFolder(disk.filePath(u"missing"_qs)));
        QCOMPARE(m_env->settings().contactFolders().size(), 2);

        model.useForNewContacts(family);
        QCOMPARE(m_env->settings().contactFolders(), (QStringList{family, work}));
        model.removeContactFolder(family);
        QCOMPARE(m_env->settings().contactFolders(), QStringList{work});
    }

    void eachFolderIsCountedAsTheDoctorCountsIt() {
        test::TempDir disk;
        disk.write(u"a.vcf"_qs,
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a\r\nFN:Ada\r\nN:;Ada;;;\r\nEND:VCARD\r\n");
        SettingsViewModel model(*m_env);
        QVERIFY(model.addContactFolder(disk.path()));
        await(model.refreshFolderStates());
        QCOMPARE(model.folderState(disk.path()), u"1 contact"_qs);
        QDir(disk.path()).removeRecursively();
        await(model.refreshFolderStates());
        QCOMPARE(model.folderState(disk.path()), u"does not exist"_qs);
    }

    void selfAddressesAreSplitAndRepeatsDropped() {
        SettingsViewModel model(*m_env);
        model.setSelfAddresses(u" me@example.org, Me@example.org;work@example.com\n "_qs);
        QCOMPARE(m_env->settings().calendarSelfAddresses(),
                 (QStringList{u"me@example.org"_qs, u"work@example.com"_qs}));
        model.setSelfAddresses(QString());
        QVERIFY(m_env->settings().calendarSelfAddresses().isEmpty());
    }

    void anExportComesBackByImportAndABadFileChangesNothing() {
        await(
            m_env->sync().updateRecord(u"anna"_qs, [](PemmoRecord& r) { r.about = u"Plays the cello"_qs; }));
        await(m_env->store().flush());
        test::TempDir disk;
        SettingsViewModel model(*m_env);
        QCOMPARE(await(model.exportTo(disk.filePath(u"pemmo-export.json"_qs))),
                 u"Exported to pemmo-export.json."_qs);
        QVERIFY(disk.read(u"pemmo-export.json"_qs).contains("Plays the cello"));

        const QString erased = await(model.eraseAllData());
        QVERIFY2(erased.startsWith(u"Erased 1 record"_qs), qPrintable(erased));
        QCOMPARE(recordCount(), 0);

        disk.write(u"not-an-export.json"_qs, "{\"hello\": 1}");
        const QString refused = await(model.importFrom(disk.filePath(u"not-an-export.json"_qs)));
        QVERIFY(!refused.startsWith(u"Merged"_qs));
        QCOMPARE(recordCount(), 0);

        QCOMPARE(await(model.importFrom(disk.filePath(u"pemmo-export.json"_qs))), u"Merged 1 record."_qs);
        QCOMPARE(await(m_env->store().record(u"anna"_qs))->about, u"Plays the cello"_qs);
    }

    void erasingClearsTheStarredAndRecentLists() {
        m_env->starred().toggle(u"anna"_qs);
        m_env->recents().record(u"bo"_qs);
        SettingsViewModel model(*m_env);
        await(model.eraseAllData());
        QVERIFY(m_env->starred().ids().isEmpty());
        QVERIFY(m_env->recents().ids().isEmpty());
    }

    void theUpdateFeedIsStoredTrimmedAndABlankOneRemovesIt() {
        SettingsViewModel model(*m_env);
        model.setUpdateFeedURL(u"  https://example.org/appcast.xml "_qs);
        QCOMPARE(m_env->keyValueStore().text(SettingsViewModel::updateFeedKey()),
                 u"https://example.org/appcast.xml"_qs);
        QCOMPARE(model.updateFeedURL(), u"https://example.org/appcast.xml"_qs);
        model.setUpdateFeedURL(u" "_qs);
        QVERIFY(!m_env->keyValueStore().contains(SettingsViewModel::updateFeedKey()));
    }

    void theCloudKeyGoesToTheKeyring() {
        SettingsViewModel model(*m_env);
        QVERIFY(!model.hasCloudKey());
        QVERIFY(model.saveCloudKey(u" sk-test "_qs));
        QCOMPARE(m_env->secrets().read(u"anthropic"_qs), u"sk-test"_qs);
        QVERIFY(model.hasCloudKey());
        QVERIFY(model.saveCloudKey(QString()));
        QVERIFY(!model.hasCloudKey());
    }
};

QTEST_MAIN(TestSettingsViewModel)
#include "TestSettingsViewModel.moc"
