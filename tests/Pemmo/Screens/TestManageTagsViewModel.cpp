// Managing circles: usage per circle, and renames and deletes that carry every record along.
#include "../Shell/KeyPress.h"
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ManageTagsViewModel.h"
#include "Shell/AppRouter.h"
#include "Store/PemmoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;
using test::key;

namespace {
using pemmo::test::person;

// Ada, Bea and Cy carry "work"; Ada carries "family" too; Dan carries nothing.
std::unique_ptr<AppEnvironment> environment() {
    auto env = AppEnvironment::inMemory(
        {person(u"A"_qs, u"Ada"_qs), person(u"B"_qs, u"Bea"_qs), person(u"C"_qs, u"Cy"_qs),
         person(u"D"_qs, u"Dan"_qs)},
        u"PemmoTest"_qs,
        {std::chrono::milliseconds(5), std::chrono::milliseconds(300'000), std::chrono::milliseconds(2'000)});
    await(env->sync().start());
    env->sync().stop();
    for (const QString& id : {u"A"_qs, u"B"_qs, u"C"_qs})
        await(env->sync().addTag(id, u"work"_qs));
    await(env->sync().addTag(u"A"_qs, u"family"_qs));
    return env;
}

QStringList tagsOf(const AppEnvironment& env, const QString& id) {
    return env.sync().profile(id)->record->tags;
}

} // namespace

class TestManageTagsViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsCountWhoCarriesEachCircle() {
        const auto env = environment();
        ManageTagsViewModel model(*env);
        const auto rows = model.rows();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0].tag.id, u"family"_qs);
        QCOMPARE(rows[0].usage, 1);
        QCOMPARE(rows[1].usage, 0);
        QCOMPARE(rows[4].tag.id, u"work"_qs);
        QCOMPARE(rows[4].usage, 3);
        // What QML reads carries the count in words.
        QCOMPARE(model.property("rows").toList().at(4).toMap().value(u"subtitle"_qs).toString(),
                 u"3 people"_qs);
    }

    void usageTexts_data() {
        QTest::addColumn<int>("usage");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("detail");
        QTest::newRow("none") << 0 << u"Not used yet"_qs << u"No one uses it yet."_qs;
        QTest::newRow("one") << 1 << u"1 person"_qs << u"It's removed from 1 person."_qs;
    }

    void usageTexts() {
        QFETCH(int, usage);
        QFETCH(QString, subtitle);
        QFETCH(QString, detail);
        QCOMPARE(ManageTagsViewModel::usageText(usage), subtitle);
        const auto confirmation =
            ManageTagsViewModel::deleteConfirmation(Tag{u"work"_qs, u"Work"_qs, 0, true}, usage);
        QCOMPARE(confirmation.detail, detail);
    }

    // The question is the router's confirmation card and nothing happens before the answer:
    // Escape keeps the circle, Return takes it off every record.
    void deletingACircleOfThreeAsksThenTakesItOffEveryRecord() {
        const auto env = environment();
        AppStartup startup(*env); // its list maintenance catalogues every circle a record carries
        startup.startMaintenance();
        ManageTagsViewModel model(*env);
        AppRouter& router = env->router();
        model.setSelectedID(u"work"_qs);
        model.requestDelete(u"work"_qs);
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.confirmRequest().title, u"Delete circle \u201CWork\u201D?"_qs);
        QVERIFY(router.confirmRequest().destructive);
        QCOMPARE(model.pendingDelete()->detail, u"It's removed from 3 people."_qs);
        router.dismissOverlay();
        QVERIFY(!model.pendingDelete());
        QVERIFY(env->tags().tagWithID(u"work"_qs));

        model.requestDelete(u"work"_qs);
        router.confirm();
        QTRY_COMPARE(tagsOf(*env, u"A"_qs), QStringList{u"family"_qs});
        QTRY_VERIFY(!model.isSaving());
        QVERIFY(!model.pendingDelete());
        QVERIFY(!env->tags().tagWithID(u"work"_qs));
        for (const QString& id : {u"A"_qs, u"B"_qs, u"C"_qs}) {
            QVERIFY2(!tagsOf(*env, id).contains(u"work"_qs), qPrintable(id));
            QVERIFY(!await(env->store().record(id))->tags.contains(u"work"_qs));
        }
        QCOMPARE(model.selectedID(), std::nullopt);
    }

    // What the rename field holds when it is committed: a new name moves every record to the new
    // id and keeps the circle's place; a change of case only renames; the name of another circle is
    // refused and stays to be corrected; a blank name cancels.
    void aRenameCarriesEveryRecordOrSaysWhyNot_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("id"); // the circle's id afterwards
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("stillEditing");
        QTest::newRow("new name") << u"  Office "_qs << u"office"_qs << u"Office"_qs << QString() << false;
        QTest::newRow("case only") << u"WORK"_qs << u"work"_qs << u"WORK"_qs << QString() << false;
        QTest::newRow("onto another circle")
            << u"family"_qs << u"work"_qs << u"Work"_qs
            << u"A circle named \u201Cfamily\u201D already exists."_qs << true;
        QTest::newRow("blank") << u"   "_qs << u"work"_qs << u"Work"_qs << QString() << false;
    }
    void aRenameCarriesEveryRecordOrSaysWhyNot() {
        QFETCH(QString, typed);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QString, error);
        QFETCH(bool, stillEditing);
        const auto env = environment();
        AppStartup startup(*env); // its list maintenance catalogues every circle a record carries
        startup.startMaintenance();
        ManageTagsViewModel model(*env);
        model.startRename(u"work"_qs);
        QCOMPARE(model.editingName(), u"Work"_qs);
        model.setEditingName(typed);
        const int version = env->sync().dataVersion();
        await(model.commitRename());
        QCOMPARE(env->tags().tagWithID(id)->name, name);
        QCOMPARE(!env->tags().tagWithID(u"work"_qs), id != u"work");
        // Only a new id rewrites the records.
        QCOMPARE(env->sync().dataVersion() != version, id != u"work");
        QCOMPARE(tagsOf(*env, u"A"_qs), (QStringList{id, u"family"_qs}));
        for (const QString& other : {u"B"_qs, u"C"_qs})
            QCOMPARE(await(env->store().record(other))->tags, QStringList{id});
        QCOMPARE(model.errorMessage(), error);
        QCOMPARE(model.editingID(), stillEditing ? std::optional(u"work"_qs) : std::nullopt);
        if (!stillEditing)
            QCOMPARE(model.editingName(), QString());
        if (id != u"work")
            QCOMPARE(model.selectedID(), std::optional(id));
        QVERIFY(!model.isSaving());
    }

    void commandsWaitForTheChangeBeingSaved() {
        const auto env = environment();
        AppStartup startup(*env); // its list maintenance catalogues every circle a record carries
        startup.startMaintenance();
        ManageTagsViewModel model(*env);
        model.startRename(u"work"_qs);
        model.setEditingName(u"Office"_qs);
        // The store may answer before the rename task looks, so the rename can finish before
        // commitRename returns: ask for the delete the moment saving starts instead.
        bool askedWhileSaving = false;
        bool refusedWhileSaving = false;
        connect(&model, &ManageTagsViewModel::isSavingChanged, this, [&] {
            if (!model.isSaving() || askedWhileSaving)
                return;
            askedWhileSaving = true;
            model.requestDelete(u"family"_qs);
            const int colour = env->tags().tagWithID(u"family"_qs)->colorIndex;
            model.setColor(u"family"_qs, (colour + 1) % 10);
            model.setNewTagName(u"Neighbours"_qs);
            model.add();
            refusedWhileSaving = !model.pendingDelete() &&
                                 env->tags().tagWithID(u"family"_qs)->colorIndex == colour &&
                                 !env->tags().tagWithID(u"neighbours"_qs);
        });
        auto renaming = model.commitRename();
        QVERIFY(askedWhileSaving);
        QVERIFY(refusedWhileSaving);
        await(std::move(renaming));
        QVERIFY(!model.isSaving());
        QVERIFY(env->tags().tagWithID(u"family"_qs));
    }

    void addingCreatesOnlyNewCircles() {
        const auto env = environment();
        ManageTagsViewModel model(*env);
        QSignalSpy rows(&model, &ManageTagsViewModel::rowsChanged);
        model.setNewTagName(u"   "_qs);
        model.add();
        QCOMPARE(env->tags().tags().size(), 5);
        model.setNewTagName(u" FAMILY "_qs);
        model.add();
        QCOMPARE(env->tags().tags().size(), 5);
        QCOMPARE(model.selectedID(), u"family"_qs);
        QCOMPARE(rows.count(), 0);
        model.setNewTagName(u"Climbing"_qs);
        model.add();
        QCOMPARE(env->tags().tags().size(), 6);
        QCOMPARE(model.newTagName(), QString());
        QCOMPARE(model.selectedID(), u"climbing"_qs);
        QCOMPARE(rows.count(), 1);
    }

    void theKeysAddSelectRecolourRenameAndDelete() {
        const auto env = environment();
        ManageTagsViewModel model(*env);
        AppRouter& router = env->router();
        router.push(Route::manageTags());

        model.setNewTagName(u"Climbing"_qs);
        QCOMPARE(model.handleKey(key(Qt::Key_Return)), KeyResult::Handled);
        QCOMPARE(model.selectedID(), u"climbing"_qs);

        // Down from the last row stays there; Up moves.
        const int last = int(model.rows().size()) - 1;
        model.setSelectedID(model.rows()[last].tag.id);
        model.handleKey(key(Qt::Key_Down));
        QCOMPARE(model.selectedIndex(), last);
        model.handleKey(key(Qt::Key_Up));
        QCOMPARE(model.selectedIndex(), last - 1);

        // Control-3 gives the third colour, Control-0 the tenth.
        model.setSelectedID(u"family"_qs);
        model.handleKey(key(Qt::Key_3, Qt::ControlModifier));
        QCOMPARE(env->tags().tagWithID(u"family"_qs)->colorIndex, 2);
        model.handleKey(key(Qt::Key_0, Qt::ControlModifier));
        QCOMPARE(env->tags().tagWithID(u"family"_qs)->colorIndex, 9);

        // Return on a row with an empty field renames it; Escape keeps the old name.
        model.handleKey(key(Qt::Key_Return));
        QCOMPARE(model.editingID(), u"family"_qs);
        model.handleKey(key(Qt::Key_Escape));
        QCOMPARE(model.editingID(), std::nullopt);
        QCOMPARE(router.depth(), 2); // Escape ended the rename only
        model.handleKey(key(Qt::Key_F2));
        model.setEditingName(u"Kin"_qs);
        model.handleKey(key(Qt::Key_Return));
        QTRY_VERIFY(env->tags().tagWithID(u"kin"_qs));
        QTRY_COMPARE(tagsOf(*env, u"A"_qs), (QStringList{u"work"_qs, u"kin"_qs}));

        // Delete asks; Escape with an empty field goes back.
        model.handleKey(key(Qt::Key_Delete));
        QVERIFY(router.showsConfirm());
        router.dismissOverlay();
        model.setNewTagName(u"x"_qs);
        model.handleKey(key(Qt::Key_Escape));
        QVERIFY(model.newTagName().isEmpty());
        QCOMPARE(router.depth(), 2);
        model.handleKey(key(Qt::Key_Escape));
        QCOMPARE(router.depth(), 1);
    }
};

QTEST_GUILESS_MAIN(TestManageTagsViewModel)
#include "TestManageTagsViewModel.moc"
