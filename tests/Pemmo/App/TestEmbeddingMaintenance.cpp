// Keeping the semantic index in step with the people: after the first load, after a change, when
// the setting comes on, and "Rebuild semantic index"; and the environment without a word table.
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "App/EmbeddingMaintenance.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/ProfileEmbeddingText.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;
using test::person;

namespace {

QList<Person> people() {
    return {person(u"a"_qs, u"Ada"_qs, u"Lovelace"_qs), person(u"b"_qs, u"Bob"_qs, u"Stone"_qs),
            person(u"c"_qs, u"Cy"_qs, u"Young"_qs)};
}

// Whether every present profile has an entry whose hash is its current content hash, and no one
// else has one.
bool current(AppEnvironment& env) {
    const auto entries = await(env.embeddings()->entries());
    const QList<Profile> profiles = env.sync().profiles();
    if (entries.size() != profiles.size())
        return false;
    for (const Profile& p : profiles) {
        if (entries.value(p.id()).hash != ProfileEmbeddingText::contentHash(p))
            return false;
    }
    return true;
}

void waitIdle(EmbeddingMaintenance& maintenance) {
    QSignalSpy idle(&maintenance, &EmbeddingMaintenance::idle);
    if (maintenance.isUpdating())
        QVERIFY(idle.wait(5000));
}

// Ada, Bob and Cy in memory, started, with the first embedding done.
struct Started {
    Started() {
        await(startup.start());
        waitIdle(startup.embeddingMaintenance());
    }
    std::unique_ptr<AppEnvironment> env =
        AppEnvironment::inMemory(people(), u"PemmoTest"_qs, test::quickTimings());
    AppStartup startup{*env};
};

} // namespace

class TestEmbeddingMaintenance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theFirstLoadFillsTheIndex() {
        const auto env = AppEnvironment::inMemory(people(), u"PemmoTest"_qs, test::quickTimings());
        AppStartup startup(*env);
        EmbeddingMaintenance& maintenance = startup.embeddingMaintenance();
        QVERIFY(maintenance.isAvailable());
        startup.startMaintenance();
        QVERIFY(maintenance.isObserving());
        // Before the load the profile list is not the address book yet: nothing is embedded.
        QVERIFY(!maintenance.isUpdating());
        QCOMPARE(await(env->embeddings()->stats()).entries, 0);
        QSignalSpy changed(&maintenance, &EmbeddingMaintenance::indexChanged);
        await(env->sync().start());
        waitIdle(maintenance);
        QVERIFY(current(*env));
        QCOMPARE(changed.size(), 1);
    }

    // After the first load the index follows a change, a departure and a rebuild.
    void theIndexFollowsThePeople() {
        auto [env, startup] = Started();
        EmbeddingMaintenance& maintenance = startup.embeddingMaintenance();
        const auto before = await(env->embeddings()->entries());
        await(env->sync().setAbout(u"b"_qs, u"Plays jazz cello"_qs));
        waitIdle(maintenance);
        QVERIFY(current(*env));
        const auto after = await(env->embeddings()->entries());
        QVERIFY(after.value(u"b"_qs).hash != before.value(u"b"_qs).hash);
        QCOMPARE(after.value(u"a"_qs), before.value(u"a"_qs));
        QCOMPARE(after.value(u"b"_qs).vectors.size(), std::size_t(2 * 32)); // the profile and its "about"

        dynamic_cast<InMemoryContactRepository&>(env->contacts()).setPeople(people().mid(1));
        await(env->sync().refresh());
        waitIdle(maintenance);
        QVERIFY(current(*env));
        QVERIFY(!await(env->embeddings()->entries()).contains(u"a"_qs));

        QSignalSpy changed(&maintenance, &EmbeddingMaintenance::indexChanged);
        maintenance.rebuild();
        QTRY_COMPARE(changed.size(), 1);
        waitIdle(maintenance);
        QVERIFY(current(*env));
    }

    void nothingIsEmbeddedWhileTheSettingIsOff() {
        const auto env = AppEnvironment::inMemory(people(), u"PemmoTest"_qs, test::quickTimings());
        env->settings().setSemanticSearchEnabled(false);
        AppStartup startup(*env);
        await(startup.start());
        QVERIFY(!startup.embeddingMaintenance().isUpdating());
        QCOMPARE(await(env->embeddings()->stats()).entries, 0);
        // Switching it on brings the index up to date at once.
        env->settings().setSemanticSearchEnabled(true);
        QTRY_VERIFY(!startup.embeddingMaintenance().isUpdating() && current(*env));
    }

    void aBurstOfChangesEndsCurrent() {
        const auto env = AppEnvironment::inMemory(people(), u"PemmoTest"_qs, test::quickTimings());
        AppStartup startup(*env);
        await(startup.start());
        for (int i = 0; i < 5; ++i)
            await(env->sync().setAbout(u"c"_qs, u"Note number %1"_qs.arg(i)));
        waitIdle(startup.embeddingMaintenance());
        QVERIFY(current(*env));
    }

    void withoutAWordTableThereIsNoSemanticTier() {
        test::LiveHome home;
        const auto env = home.environment();
        QVERIFY(!env->embeddings());
        AppStartup startup(*env);
        QVERIFY(!startup.embeddingMaintenance().isAvailable());
        startup.startMaintenance();
        QVERIFY(!startup.embeddingMaintenance().isObserving());
        startup.embeddingMaintenance().rebuild(); // nothing to rebuild, and no crash
        QVERIFY(!startup.embeddingMaintenance().isUpdating());
    }
};

QTEST_MAIN(TestEmbeddingMaintenance)
#include "TestEmbeddingMaintenance.moc"
