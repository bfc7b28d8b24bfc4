// The person card the panel shows: read again after every change of what it shows.
#include "App/AppEnvironment.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelContext.h"
#include "TestSupport/Await.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;
using test::person;

namespace {

AppEnvironment::Timings fast() {
    return {std::chrono::milliseconds(5), std::chrono::milliseconds(300'000),
            std::chrono::milliseconds(2'000)};
}

// A panel context over an in-memory environment whose engine has loaded.
struct Panel {
    explicit Panel(QList<Person> people)
        : env(AppEnvironment::inMemory(std::move(people), u"PemmoTest"_qs, fast()))
        , context(router, keys) {
        context.setServices({
            .profile = [this](const QString& id) { return env->sync().profile(id); },
            .recordRecent = {},
            .starredIDs = {},
            .circleName =
                [this](const QString& id) {
                    const auto tag = env->tags().tagWithID(id);
                    return tag ? tag->name : id;
                },
        });
        context.followChanges(env->sync(), env->tags());
        await(env->sync().start());
    }

    ~Panel() { env->sync().stop(); }

    InMemoryContactRepository& book() { return dynamic_cast<InMemoryContactRepository&>(env->contacts()); }
    QVariantMap card(const QString& id) const { return context.profileCard(id); }

    std::unique_ptr<AppEnvironment> env;
    AppRouter router;
    KeyEventRouter keys;
    PanelContext context;
};

} // namespace

class TestPanelContext : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A name or a phone number changed in the address book reaches a card that is already open.
    void aRefreshThatChangesSomeoneReachesTheCard() {
        Panel panel({person(u"A"_qs, u"Ada"_qs, u"Lovelace"_qs)});
        QCOMPARE(panel.card(u"A"_qs).value(u"name"_qs).toString(), u"Ada Lovelace"_qs);
        const int before = panel.context.dataVersion();

        Person renamed = person(u"A"_qs, u"Ada"_qs, u"King"_qs);
        renamed.phones = {{u"mobile"_qs, u"+41 79 123 45 67"_qs}};
        panel.book().setPeople({renamed});
        await(panel.env->sync().refresh());

        QVERIFY(panel.context.dataVersion() > before);
        const QVariantMap card = panel.card(u"A"_qs);
        QCOMPARE(card.value(u"name"_qs).toString(), u"Ada King"_qs);
        QCOMPARE(card.value(u"phones"_qs).toList().size(), 1);
    }

    // Circle names and record edits arrive through different services; whichever comes first,
    // the counter moves on at each one and never shows a value twice.
    void everyChangeMovesTheCounterOn() {
        Panel panel({person(u"A"_qs, u"Ada"_qs)});
        QSignalSpy changed(&panel.context, &PanelContext::dataVersionChanged);
        QList<int> versions{panel.context.dataVersion()};
        // Whether the counter moved on since the last look.
        const auto movedOn = [&] {
            const bool grew = panel.context.dataVersion() > versions.last();
            versions.append(panel.context.dataVersion());
            return grew;
        };

        panel.env->tags().findOrCreate(u"Climbing"_qs);
        QVERIFY(movedOn());
        await(panel.env->sync().addTag(u"A"_qs, u"climbing"_qs));
        QVERIFY(movedOn());
        QCOMPARE(panel.card(u"A"_qs).value(u"circles"_qs).toStringList(), QStringList{u"Climbing"_qs});
        panel.env->tags().rename(u"climbing"_qs, u"Bouldering"_qs);
        QVERIFY(movedOn());
        await(panel.env->sync().setAbout(u"A"_qs, u"Climbs on Tuesdays"_qs));
        QVERIFY(movedOn());
        QCOMPARE(panel.card(u"A"_qs).value(u"about"_qs).toString(), u"Climbs on Tuesdays"_qs);
        await(panel.env->sync().removeData(u"A"_qs));
        QVERIFY(movedOn());
        QCOMPARE(panel.card(u"A"_qs).value(u"about"_qs).toString(), QString());
        QCOMPARE(changed.count(), versions.last() - versions.first());
    }
};

QTEST_MAIN(TestPanelContext)
#include "TestPanelContext.moc"
