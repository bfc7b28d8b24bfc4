// The composition root: what each kind of environment is built on, and where its files go.
#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "App/DataFolder.h"
#include "Calendar/ICalendarFolderRepository.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Contacts/VCardFolderRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentStore.h"
#include "Platform/FreedesktopNotificationCenter.h"
#include "Platform/SecretServiceStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ProfileViewModel.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/InMemorySecretStore.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"
#include "Updates/InMemoryNotificationCenter.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace pemmo;
using test::await;

using pemmo::test::person;

class TestAppEnvironment : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each in-memory environment has a temporary folder of its own, removed when it goes.
    // Another Pemmo holding the folder keeps this one from starting; a folder that cannot be made
    // at all (a file in its place) does not: the store says why it can only read.
    void theDataLockTellsAnotherPemmoFromAFolderThatCannotBeMade() {
        test::TempDir home;
        QLockFile::LockError error = QLockFile::NoError;
        const auto first = lockDataFolder(home.filePath(u"Pemmo"_qs), &error);
        QVERIFY(first);
        QCOMPARE(error, QLockFile::NoError);
        QVERIFY(!lockDataFolder(home.filePath(u"Pemmo"_qs), &error));
        QCOMPARE(error, QLockFile::LockFailedError);

        home.write(u"NotAFolder"_qs, "a file where the data folder should be");
        QVERIFY(!lockDataFolder(home.filePath(u"NotAFolder"_qs), &error));
        QVERIFY(error != QLockFile::LockFailedError && error != QLockFile::NoError);
    }

    void twoInMemoryEnvironmentsUseDifferentFoldersAndRemoveThem() {
        auto first = AppEnvironment::inMemory({}, u"PemmoTest"_qs);
        const auto second = AppEnvironment::inMemory({}, u"PemmoTest"_qs);
        QVERIFY(first->directory() != second->directory());
        QCOMPARE(first->store().directory(), first->directory());
        QCOMPARE(first->photos().directory(), first->directory() + u"/Photos"_qs);
        const QString folder = first->directory();
        QVERIFY(QFileInfo(folder).isDir());
        first.reset();
        QVERIFY(!QFileInfo::exists(folder));
    }

    void inMemoryEnvironmentsKeepEverythingOffTheDesktop_data() {
        QTest::addColumn<bool>("practice");
        QTest::addColumn<QString>("folder");
        QTest::newRow("in memory") << false << u"PemmoTest-"_qs;
        QTest::newRow("practice") << true << u"PemmoPractice-"_qs;
    }

    // The practice and the tests build the same later services as the application, over stores in
    // memory, with the reminder's notification going to a centre in memory; nothing there checks
    // for updates.
    void inMemoryEnvironmentsKeepEverythingOffTheDesktop() {
        QFETCH(bool, practice);
        QFETCH(QString, folder);
        const auto env = practice ? AppEnvironment::practice()
                                  : AppEnvironment::inMemory({person(u"1"_qs, u"Ada"_qs)}, u"PemmoTest"_qs);
        QCOMPARE(env->isPracticeDemo(), practice);
        QVERIFY(env->isInMemory());
        QVERIFY(env->directory().startsWith(QDir::tempPath() + u'/' + folder));
        QVERIFY(dynamic_cast<InMemoryKeyValueStore*>(&env->keyValueStore()));
        QVERIFY(dynamic_cast<InMemorySecretStore*>(&env->secrets()));
        QVERIFY(dynamic_cast<InMemoryContactRepository*>(&env->contacts()));
        QVERIFY(dynamic_cast<InMemoryCalendarRepository*>(&env->calendar()));
        QCOMPARE(env->momentStore().filePath(), env->directory() + u"/calendar-moments.json"_qs);
        QVERIFY(env->embeddings());
        QVERIFY(!env->updater());
        auto* center = dynamic_cast<InMemoryNotificationCenter*>(&env->notificationCenter());
        QVERIFY(center);
        QCOMPARE(center->delegate(), static_cast<NotificationCenterDelegate*>(&env->updateNotifications()));

        // A version a scheduled check held back is carried by the reminder and posted once.
        env->updateReminder().willHandleShowingUpdate(false, u"9.1.0"_qs);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(env->updateReminder().pendingVersionText(), u"9.1.0"_qs);
        QCOMPARE(center->posted().size(), 1);
        const QString identifier =
            env->updateNotifications().identifier(env->updateNotifications().generation());
        QCOMPARE(center->shown(), QStringList{identifier});
        // Once the user has seen the update, the notification is taken down.
        env->updateReminder().didReceiveUserAttention();
        QVERIFY(center->shown().isEmpty());
        QCOMPARE(env->updateReminder().pendingVersionText(), QString());

        // Nothing is loaded while building.
        QVERIFY(!env->sync().hasLoaded());
        await(env->sync().start());
        env->sync().stop();
        QCOMPARE(env->sync().profiles().size(), 1);
    }

    // The practice holds Alex alone, and what it does is never logged.
    void thePracticeEnvironmentHoldsOnlyThePracticeContact() {
        const auto env = AppEnvironment::practice();
        QVERIFY(!env->settings().autoLogInteractions());
        QVERIFY(!env->destinationOpener());
        await(env->sync().start());
        env->sync().stop();
        const Person& alex = *env->sync().profiles().first().person;
        QCOMPARE(alex.id, u"pemmo-practice-alex"_qs);
        QCOMPARE(alex.givenName, u"Alex"_qs);
        QCOMPARE(alex.familyName, u"Morgan"_qs);
        QCOMPARE(alex.phones, (QList<LabeledValue>{{u"mobile"_qs, u"(202) 555-0123"_qs}}));
    }

    void theAIFollowsTheSettingsAndTheEnvironmentsOwnKey() {
        const auto env = AppEnvironment::inMemory({}, u"PemmoTest"_qs);
        QCOMPARE(await(env->ai().availability()), AIAvailability::unavailable(u"AI is turned off"_qs));
        env->settings().setAiEnabled(true);
        env->settings().setAiProvider(AIProviderID::Claude);
        QCOMPARE(await(env->ai().availability()),
                 AIAvailability::unavailable(u"Add your Anthropic API key in Settings \u2192 AI"_qs));
        env->secrets().write(u"sk-test"_qs, u"anthropic"_qs);
        QCOMPARE(await(env->ai().availability()), AIAvailability::available());
        env->settings().setAiProvider(AIProviderID::OnDevice);
        QCOMPARE(env->ai().currentProvider()->displayName(), u"On-device"_qs);
        env->settings().setLocalModel(u"qwen2.5"_qs);
        QCOMPARE(env->ai().currentProvider()->modelName(), u"qwen2.5"_qs);
    }

    // A name changed in the address book reaches a card that is already open.
    void aRefreshThatChangesSomeoneReachesAnOpenCard() {
        const auto env =
            AppEnvironment::inMemory({person(u"A"_qs, u"Ada"_qs, u"Lovelace"_qs)}, u"PemmoTest"_qs);
        await(env->sync().start());
        ProfileViewModel& card = env->profileModel(u"A"_qs);
        card.setActive(true);
        QCOMPARE(card.name(), u"Ada Lovelace"_qs);
        const int before = env->changeCount();

        dynamic_cast<InMemoryContactRepository&>(env->contacts())
            .setPeople({person(u"A"_qs, u"Ada"_qs, u"King"_qs)});
        await(env->sync().refresh());
        env->sync().stop();

        QVERIFY(env->changeCount() > before);
        QCOMPARE(card.name(), u"Ada King"_qs);
    }

    // Circle names, record edits and the lists arrive through different services; whichever
    // comes first, the one counter moves on at each and never shows a value twice.
    void everyChangeMovesTheCounterOn() {
        const auto env = AppEnvironment::inMemory({person(u"A"_qs, u"Ada"_qs)}, u"PemmoTest"_qs);
        await(env->sync().start());
        QSignalSpy changed(env.get(), &AppEnvironment::changeCountChanged);
        const QList<std::function<void()>> changes{
            [&] { env->tags().findOrCreate(u"Climbing"_qs); },
            [&] { await(env->sync().addTag(u"A"_qs, u"climbing"_qs)); },
            [&] { env->tags().rename(u"climbing"_qs, u"Bouldering"_qs); },
            [&] { await(env->sync().setAbout(u"A"_qs, u"Climbs on Tuesdays"_qs)); },
            [&] { env->starred().toggle(u"A"_qs); },
            [&] { env->recents().record(u"A"_qs); },
            [&] { await(env->sync().removeData(u"A"_qs)); },
        };
        const int first = env->changeCount();
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const int before = env->changeCount();
            changes[i]();
            QVERIFY2(env->changeCount() > before, qPrintable(u"change %1"_qs.arg(i)));
        }
        env->sync().stop();
        QCOMPARE(changed.count(), env->changeCount() - first);
    }

    void theLiveEnvironmentReadsItsFoldersFromTheSettings() {
        test::LiveHome home({u"book"_qs});
        home.options.postsToDesktop = true;
        const QString data = home.options.directory;
        const auto env = home.environment();
        QVERIFY(!env->isInMemory());
        QVERIFY(QFileInfo(data).isDir());
        QVERIFY(dynamic_cast<DefaultsFileStore*>(&env->keyValueStore()));
        QVERIFY(dynamic_cast<SecretServiceStore*>(&env->secrets()));
        QVERIFY(dynamic_cast<FreedesktopNotificationCenter*>(&env->notificationCenter()));
        auto& folders = dynamic_cast<VCardFolderRepository&>(env->contacts());
        QCOMPARE(folders.folders(), QStringList{home.path(u"book"_qs)});
        QCOMPARE(folders.defaultFolder(), data + u"/Contacts"_qs);
        QCOMPARE(env->store().storeFilePath(), data + u"/pemmo-store.json"_qs);

        // A change in the settings is followed at once.
        QDir().mkpath(home.path(u"other"_qs));
        env->settings().setContactFolders({home.path(u"other"_qs)});
        QCOMPARE(folders.folders(), QStringList{home.path(u"other"_qs)});

        // The setting keeps the user's own spelling of a folder.
        env->settings().setContactFolders({u"~/pemmo-test-book"_qs});
        QCOMPARE(folders.folders(), QStringList{QDir::homePath() + u"/pemmo-test-book"_qs});
        QCOMPARE(env->settings().contactFolders(), QStringList{u"~/pemmo-test-book"_qs});
    }

    // A start whose folder could not be read, then a folder chosen in the settings: its people
    // show at once, without waiting for the next poll.
    void aFolderChosenAfterAFailedStartIsReadAtOnce() {
        test::LiveHome home({u"gone"_qs});
        QDir(home.path(u"gone"_qs)).removeRecursively(); // chosen, then gone
        const auto env = home.environment();
        await(env->sync().start());
        QVERIFY(env->sync().state().isError());
        QVERIFY(!env->sync().hasLoaded());

        home.dir.write(u"book/ada.vcf"_qs, test::vcard("ada", "Ada", "Lovelace"));
        env->settings().setContactFolders({home.path(u"book"_qs)});
        QTRY_VERIFY(env->sync().hasLoaded());
        QCOMPARE(env->sync().profiles().size(), 1);
        QCOMPARE(env->sync().profiles().first().id(), u"ada"_qs);
        env->sync().stop();
    }

    void theLiveCalendarFollowsTheSettings() {
        test::LiveHome home;
        const QString work = home.path(u"calendars/account/work"_qs);
        for (const char* other : {"ada", "alan"}) {
            home.dir.write(
                u"calendars/account/work/"_qs + QString::fromLatin1(other) + u".ics"_qs,
                QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:") + other +
                    "\r\nDTSTART:20260101T100000Z\r\nATTENDEE:mailto:me@example.com\r\nATTENDEE:mailto:" +
                    other + "@example.com\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        }
        const auto env = home.environment();
        auto& calendar = dynamic_cast<ICalendarFolderRepository&>(env->calendar());
        QCOMPARE(env->momentStore().filePath(), home.path(u"data/calendar-moments.json"_qs));
        QCOMPARE(await(calendar.authorization()), CalendarAccess::NotDetermined);

        // The calendars chosen in the settings are the ones read.
        env->settings().setCalendarIDs({work});
        QCOMPARE(calendar.calendarPaths(), QStringList{work});
        QCOMPARE(await(calendar.requestAccess()), CalendarAccess::FullAccess);

        // The user's address, found on the first read, is written down too.
        await(calendar.events(QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC),
                              QDateTime(QDate(2026, 1, 2), QTime(0, 0), Qt::UTC), {work}));
        QCOMPARE(env->settings().calendarSelfAddresses(), QStringList{u"me@example.com"_qs});

        // A change of the setting is followed at once.
        env->settings().setCalendarIDs({});
        QVERIFY(calendar.calendarPaths().isEmpty());
    }

    void theFolderOnboardingAdoptsIsRemembered() {
        test::LiveHome home;
        const QString adopted = home.path(u"data/Contacts"_qs);
        {
            const auto env = home.environment();
            QCOMPARE(env->contacts().authorizationStatus(), ContactsAuthorization::NotDetermined);
            QCOMPARE(await(env->contacts().requestAccess()), ContactsAuthorization::Authorized);
            QCOMPARE(env->settings().contactFolders(), QStringList{adopted});
        }
        DefaultsFileStore file(home.options.defaultsPath);
        QCOMPARE(SettingsStore(file).contactFolders(), QStringList{adopted});
    }

    // The command line's environment: folders given for one run leave the setting alone, and it
    // never posts on the desktop, nor takes down the running application's notification.
    void theCommandLinesEnvironmentLeavesTheSettingAndTheDesktopAlone() {
        test::LiveHome home;
        QDir().mkpath(home.path(u"book"_qs));
        home.options.contactFolders = QStringList{home.path(u"book"_qs)};
        const auto env = home.environment();
        QCOMPARE(dynamic_cast<VCardFolderRepository&>(env->contacts()).folders(),
                 QStringList{home.path(u"book"_qs)});
        QCOMPARE(env->settings().contactFolders(), QStringList());
        QVERIFY(!home.dir.exists(u"defaults.json"_qs) ||
                !home.dir.read(u"defaults.json"_qs).contains("pemmo.contacts.folders"));
        QVERIFY(dynamic_cast<InMemoryNotificationCenter*>(&env->notificationCenter()));
    }

    // "$DATA" stands for the data folder, whose Contacts folder is made when `hasDefault`.
    void contactFoldersAreTheChosenOnesCleanedOrTheDefaultWhenItExists_data() {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<bool>("hasDefault");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none, no default") << QStringList() << false << QStringList();
        QTest::newRow("none") << QStringList() << true << QStringList{u"$DATA/Contacts"_qs};
        QTest::newRow("blank") << QStringList{u"  "_qs} << true << QStringList{u"$DATA/Contacts"_qs};
        // Chosen folders win, even when they do not exist (the book then reports them unreadable).
        QTest::newRow("missing") << QStringList{u"/nowhere/book"_qs} << true
                                 << QStringList{u"/nowhere/book"_qs};
        QTest::newRow("cleaned, expanded, once")
            << QStringList{u"~/.contacts/personal/"_qs, u"/a/../b"_qs, u"/b"_qs} << false
            << QStringList{QDir::homePath() + u"/.contacts/personal"_qs, u"/b"_qs};
    }
    void contactFoldersAreTheChosenOnesCleanedOrTheDefaultWhenItExists() {
        QFETCH(QStringList, chosen);
        QFETCH(bool, hasDefault);
        QFETCH(QStringList, expected);
        test::TempDir data;
        if (hasDefault)
            QDir().mkpath(data.filePath(u"Contacts"_qs));
        expected.replaceInStrings(u"$DATA"_qs, data.path());
        QCOMPARE(AppEnvironment::contactFolders(chosen, data.path()), expected);
    }
};

QTEST_GUILESS_MAIN(TestAppEnvironment)
#include "TestAppEnvironment.moc"
