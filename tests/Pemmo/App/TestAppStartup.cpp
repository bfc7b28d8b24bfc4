// The launch sequence: the first-run decision, and the lists kept in step with every publish.
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentMaintenance.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/MomentsWorld.h"
#include "TestSupport/People.h"

#include <QFile>
#include <QTest>

using namespace pemmo;
using test::await;

namespace {

using pemmo::test::person;

InMemoryContactRepository& book(AppEnvironment& env) {
    return dynamic_cast<InMemoryContactRepository&>(env.contacts());
}

} // namespace

class TestAppStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRunDecision_data() {
        QTest::addColumn<bool>("completed");
        QTest::addColumn<bool>("skipped");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("shows");
        QTest::newRow("first launch") << false << false << 0 << true;
        QTest::newRow("skipped at 3") << false << true << 3 << false;
        QTest::newRow("completed at 3") << true << false << 3 << false;
        QTest::newRow("completed at 2") << true << false << 2 << true;
        QTest::newRow("skipped at 2") << false << true << 2 << true;
        QTest::newRow("neither, yet at 4") << false << false << 4 << true;
        QTest::newRow("completed at 4") << true << false << 4 << false;
    }

    void firstRunDecision() {
        QFETCH(bool, completed);
        QFETCH(bool, skipped);
        QFETCH(int, version);
        QFETCH(bool, shows);
        const auto env = AppEnvironment::inMemory({}, u"PemmoTest"_qs);
        env->settings().setHasCompletedOnboarding(completed);
        env->settings().setHasSkippedOnboarding(skipped);
        env->settings().setOnboardingVersion(version);
        QCOMPARE(AppStartup(*env).shouldShowOnboarding(), shows);
    }

    void thePublishPrunesTheListsAndRegistersCircles() {
        const auto env = AppEnvironment::inMemory({person(u"A"_qs, u"Ada"_qs), person(u"B"_qs, u"Bea"_qs)},
                                                  u"PemmoTest"_qs, test::quickTimings());
        env->starred().toggle(u"A"_qs);
        env->starred().toggle(u"Z"_qs);
        env->starred().toggle(u"B"_qs);
        env->recents().record(u"Z"_qs);
        env->recents().record(u"A"_qs);
        AppStartup startup(*env);
        await(startup.start());
        QCOMPARE(env->starred().ids(), (QStringList{u"A"_qs, u"B"_qs}));
        QCOMPARE(env->recents().ids(), QStringList{u"A"_qs});

        // A circle that reaches a record by another way than the catalogue gets a catalogue entry.
        await(env->sync().addTag(u"B"_qs, u"rock climbing"_qs));
        QCOMPARE(env->tags().tagWithID(u"rock climbing"_qs)->name, u"Rock Climbing"_qs);

        // Someone leaves the address book: they leave the lists on the next publish, their record
        // stays in the store.
        book(*env).setPeople({person(u"A"_qs, u"Ada"_qs)});
        await(env->sync().refresh());
        QCOMPARE(env->starred().ids(), QStringList{u"A"_qs});
        QVERIFY(await(env->store().record(u"B"_qs)).has_value());
        env->sync().stop();
    }

    // Starting finds the moments; coming back to Pemmo refreshes them and the address book.
    void startingKeepsMomentsFreshAndActivationRefreshes() {
        Person ada = person(u"A"_qs, u"Ada"_qs, u"Lovelace"_qs);
        ada.emails.append({u"work"_qs, u"ada@example.com"_qs});
        const auto env = AppEnvironment::inMemory({ada}, u"PemmoTest"_qs, test::quickTimings());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        test::connectCalendar(*env, {test::meeting(u"coffee"_qs, now.addSecs(-3600), now.addSecs(-1800))});

        AppStartup startup(*env);
        await(startup.start());
        QTRY_COMPARE(env->moments().pending().size(), 1);
        QCOMPARE(env->moments().pending().first().profileID, u"A"_qs);

        const int refreshes = startup.momentMaintenance()->refreshCount();
        const int fetches = book(*env).fetchCount();
        QTRY_VERIFY(!startup.momentMaintenance()->isRunning());
        book(*env).setPeople({ada, person(u"C"_qs, u"Cy"_qs)});
        startup.refreshOnActivation();
        QCOMPARE(startup.momentMaintenance()->refreshCount(), refreshes + 1);
        QTRY_COMPARE(env->sync().profiles().size(), 2);
        QCOMPARE(book(*env).fetchCount(), fetches + 1);
        env->sync().stop();
    }

    // Access granted after a refused start: coming back to Pemmo shows the people at once. Until
    // then nothing is pruned from the lists.
    void activationRefreshesAfterAFailedFirstLoad() {
        const auto env =
            AppEnvironment::inMemory({person(u"A"_qs, u"Ada"_qs)}, u"PemmoTest"_qs, test::quickTimings());
        env->starred().toggle(u"Z"_qs);
        book(*env).setStatus(ContactsAuthorization::Denied);
        AppStartup startup(*env);
        // Before the start there is no store to read the records from yet: nothing is fetched.
        startup.refreshOnActivation();
        QCOMPARE(book(*env).fetchCount(), 0);

        await(startup.start());
        QVERIFY(env->sync().state().isError());
        QVERIFY(!env->sync().hasLoaded());
        QCOMPARE(env->starred().ids(), QStringList{u"Z"_qs});

        book(*env).setStatus(ContactsAuthorization::Authorized);
        startup.refreshOnActivation();
        QTRY_VERIFY(env->sync().hasLoaded());
        QCOMPARE(env->sync().profiles().size(), 1);
        QVERIFY(!env->sync().state().isError());
        env->sync().stop();
    }

    // Coming back to Pemmo is when the user may have fixed what kept the store read-only: here a
    // newer Pemmo's file was put back by an older one.
    void activationLoadsAReadOnlyStoreAgain() {
        const auto env =
            AppEnvironment::inMemory({person(u"A"_qs, u"Ada"_qs)}, u"PemmoTest"_qs, test::quickTimings());
        const QString path = env->store().storeFilePath();
        const auto write = [&](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        };
        write(R"({"schema":3,"records":{"A":{"about":"newer"}}})");
        AppStartup startup(*env);
        await(startup.start());
        QVERIFY(!env->sync().readOnlyReason().isEmpty());

        write(R"({"schema":2,"records":{"A":{"about":"current"}}})");
        startup.refreshOnActivation();
        QTRY_COMPARE(env->sync().readOnlyReason(), QString());
        QTRY_COMPARE(env->sync().profile(u"A"_qs)->record->about, u"current"_qs);
        env->sync().stop();
    }
};

QTEST_GUILESS_MAIN(TestAppStartup)
#include "TestAppStartup.moc"
