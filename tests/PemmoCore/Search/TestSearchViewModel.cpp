#include "Calendar/InMemoryCalendarRepository.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentService.h"
#include "Moments/MomentStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/SearchViewModel.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Store/StoreFile.h"
#include "TestSupport/Await.h"
#include "TestSupport/MomentsWorld.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QCoroSignal>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace pemmo {
namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC);

using pemmo::test::person;

PemmoRecord record(QStringList tags, std::optional<int> contactedDaysAgo = std::nullopt, QString note = {}) {
    PemmoRecord r = PemmoRecord::fresh(kNow);
    r.tags = std::move(tags);
    if (contactedDaysAgo || !note.isEmpty()) {
        Interaction entry;
        entry.id = QUuid::createUuid();
        entry.date = kNow.addDays(-contactedDaysAgo.value_or(400));
        entry.text = note.isEmpty() ? u"Coffee"_qs : note;
        r.interactions = {entry};
    }
    return r;
}

// Answers a semantic search only when the test releases it, with hits set per query text.
class HeldSemanticSearcher : public QObject, public SemanticSearcher {
    Q_OBJECT
public:
    QHash<QString, QList<SemanticHit>> answers;
    QStringList asked;

    QCoro::Task<QList<SemanticHit>> search(QString query, int limit) override {
        asked.append(query);
        co_await qCoro(this, &HeldSemanticSearcher::released);
        co_return answers.value(query).mid(0, limit);
    }

Q_SIGNALS:
    void released();
};

struct Harness {
    explicit Harness(QList<Person> people, RecordMap records = {}, SemanticSearcher* semantic = nullptr)
        : contacts(std::move(people))
        , store(seeded(dir, records), 5ms, [] { return kNow; })
        , photos(dir.filePath(u"data/Photos"_qs))
        , engine(contacts, store, photos, 1h, 5s, [] { return kNow; })
        , starred(defaults)
        , recents(defaults, [this] { return openedNow; })
        , tags(defaults, [](int) { return 0; })
        , settings(defaults)
        , model(
              engine, starred, recents, tags, settings, semantic, [] { return kNow; }, 5ms) {
        test::await(engine.start());
        settle();
    }

    static QString seeded(test::TempDir& dir, const RecordMap& records) {
        QDir().mkpath(dir.filePath(u"data"_qs));
        const std::string bytes = StoreFile::encode(records);
        dir.write(u"data/pemmo-store.json"_qs, QByteArray(bytes.data(), qsizetype(bytes.size())));
        return dir.filePath(u"data"_qs);
    }

    // Lets the scheduled search run.
    void settle() {
        QSignalSpy finished(&model, &SearchViewModel::searchFinished);
        QVERIFY(finished.wait(2000));
    }

    void type(const QString& text) {
        model.setQuery(text);
        settle();
    }

    QStringList rowIDs(SearchSection section) const {
        for (const SearchSectionRows& s : model.sections()) {
            if (s.section == section)
                return test::ids(s.rows);
        }
        return {};
    }

    QList<SearchSection> sectionOrder() const {
        QList<SearchSection> order;
        for (const SearchSectionRows& s : model.sections())
            order.append(s.section);
        return order;
    }

    test::TempDir dir;
    InMemoryContactRepository contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine engine;
    InMemoryKeyValueStore defaults;
    QDateTime openedNow = kNow; // when the recents list dates an opening
    StarredStore starred;
    RecentsStore recents;
    TagCatalog tags;
    SettingsStore settings;
    SearchViewModel model;
};

QList<Person> crowd() {
    return {person("ada", "Ada", "Lovelace"), person("grace", "Grace", "Hopper"),
            person("anna", "Anna", "Maria"),  person("ann", "Ann", "Lee"),
            person("bob", "Bob", "Stone"),    person("cy", "Cy", "Young"),
            person("dee", "Dee", "Dee"),      person("eve", "Eve", "Moss")};
}

} // namespace

class TestSearchViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyQueryShowsStarredRecentAndReachOut() {
        // anna is due (20 of 14 days), and ann long overdue.
        Harness h(crowd(), {{"ada", record({"family"}, 2)},
                            {"grace", record({"family"}, 3)},
                            {"anna", record({"family"}, 20)},
                            {"ann", record({"work"}, 100)},
                            {"bob", record({"friends"}, 5)},
                            {"cy", record({"friends"}, 1)},
                            {"dee", record({"friends"}, 1)},
                            {"eve", record({"friends"}, 1)}});
        h.starred.toggle("grace");
        h.starred.toggle("ada");
        h.recents.record("bob");
        h.recents.record("ada"); // starred already: not repeated under recent
        h.settle();
        QCOMPARE(h.sectionOrder(), (QList<SearchSection>{SearchSection::Starred, SearchSection::Recent,
                                                         SearchSection::ReachOut}));
        QCOMPARE(h.rowIDs(SearchSection::Starred), (QStringList{"grace", "ada"}));
        QCOMPARE(h.rowIDs(SearchSection::Recent), QStringList{"bob"});
        QCOMPARE(h.rowIDs(SearchSection::ReachOut), (QStringList{"ann", "anna"}));
        QCOMPARE(h.model.flat().first().id, u"grace"_qs);
        // Before the lists changed only the reach-out rows were there, and the first was selected;
        // a selection nobody moved goes on being the first row, whatever arrived when.
        QCOMPARE(h.model.selectedID(), u"grace"_qs);
        QCOMPARE(h.model.emptyText(), QString());
        const QVariantList sections = h.model.property("sections").toList();
        QCOMPARE(sections.first().toMap().value("id").toString(), u"section:starred"_qs);
    }

    void emptyStateTexts() {
        Harness h({person("ada", "Ada")}, {{"ada", record({}, 1)}});
        QVERIFY(h.model.sections().isEmpty());
        QCOMPARE(h.model.emptyText(), u"Type a name to find someone."_qs);
        h.type("zzzz");
        QVERIFY(h.model.flat().isEmpty());
        QCOMPARE(h.model.emptyText(), u"No matches for \u201Czzzz\u201D"_qs);
        QVERIFY(!h.model.selectedID());
    }

    void burstOfKeystrokesRunsOneSearch() {
        Harness h(crowd());
        QSignalSpy finished(&h.model, &SearchViewModel::searchFinished);
        const int tokenBefore = h.model.scheduleToken();
        h.model.setQuery("a");
        h.model.setQuery("an");
        h.model.setQuery("ann");
        QVERIFY(finished.wait(2000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(h.model.scheduleToken(), tokenBefore + 3);
        QCOMPARE(h.rowIDs(SearchSection::Results), (QStringList{"ann", "anna"}));
        QVERIFY(!finished.wait(50)); // nothing else was left waiting
    }

    void firstMatchIsSelectedAndArrowsMove() {
        Harness h(crowd(), {{"bob", record({"friends"})}, {"eve", record({"friends"})}});
        h.type("fri");
        QCOMPARE(h.rowIDs(SearchSection::Tags), QStringList{"tag:friends"});
        QCOMPARE(h.model.flat().first().subtitle, u"2 people"_qs);
        QCOMPARE(h.model.tagCount(), 1);
        QCOMPARE(h.model.resultCount(), 2);
        QCOMPARE(h.model.selectedID(), u"bob"_qs); // the first match, not the circle
        h.model.moveSelection(1);
        QCOMPARE(h.model.selectedID(), u"eve"_qs);
        h.model.moveSelection(5);
        QCOMPARE(h.model.selectedID(), u"eve"_qs);
        h.model.moveSelection(-5);
        QCOMPARE(h.model.selectedID(), u"tag:friends"_qs);
        QCOMPARE(h.model.selectionMode(), SearchViewModel::SelectionMode::Keyboard);
    }

    void restingPointerDoesNotTakeTheSelectionAndANewQueryClearsIt() {
        Harness h(crowd());
        h.type("a");
        h.model.hover("grace", QPointF(10, 10));
        QCOMPARE(h.model.selectedID(), u"grace"_qs);
        QCOMPARE(h.model.selectionMode(), SearchViewModel::SelectionMode::Mouse);
        h.model.moveSelection(1);
        const auto keyboard = h.model.selectedID();
        h.model.hover("ada", QPointF(10, 10)); // rows moved under a pointer that stayed put
        QCOMPARE(h.model.selectedID(), keyboard);
        QCOMPARE(h.model.selectionMode(), SearchViewModel::SelectionMode::Keyboard);

        h.model.setQuery("gr");
        QVERIFY(!h.model.selectedID());
        h.settle();
        QCOMPARE(h.model.selectedID(), u"grace"_qs);
    }

    void staleSemanticAnswerNeverLands() {
        HeldSemanticSearcher semantic;
        semantic.answers.insert("cello", {{"eve", 0.9}});
        semantic.answers.insert("moss", {{"eve", 0.8}, {"bob", 0.6}, {"cy", 0.3}});
        Harness h(crowd(), {{"bob", record({}, std::nullopt, "Plays cello in the Moss quartet")}}, &semantic);
        QSignalSpy sections(&h.model, &SearchViewModel::sectionsChanged);
        h.model.setQuery("cello");
        QTRY_COMPARE(semantic.asked, QStringList{"cello"}); // the words have shown, the meaning waits
        QCOMPARE(h.rowIDs(SearchSection::Results), QStringList{"bob"});
        h.model.setQuery("moss");
        QTRY_COMPARE(semantic.asked, (QStringList{"cello", "moss"}));
        QSignalSpy finished(&h.model, &SearchViewModel::searchFinished);
        Q_EMIT semantic.released(); // both answers arrive now; the one for "cello" is stale
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(h.model.query(), u"moss"_qs);
        QCOMPARE(h.rowIDs(SearchSection::Results), (QStringList{"eve", "bob"}));
        // eve and bob were found by their words; cy is below the admission line.
        QVERIFY(h.rowIDs(SearchSection::AlsoMatches).isEmpty());
    }

    void semanticHitsQuoteTheMatchingMemory() {
        HeldSemanticSearcher semantic;
        semantic.answers.insert("violin lessons", {{"bob", 0.7}, {"ada", 0.5}, {"cy", 0.46}});
        Harness h(crowd(),
                  {{"bob", record({}, std::nullopt, "Violin lessons on Sundays")},
                   {"ada", record({}, std::nullopt, "Took violin as a kid\n")},
                   {"cy", record({}, std::nullopt, "Likes the theatre")}},
                  &semantic);
        h.model.setQuery("violin lessons");
        QTRY_COMPARE(semantic.asked.size(), 1);
        QSignalSpy finished(&h.model, &SearchViewModel::searchFinished);
        Q_EMIT semantic.released();
        QTRY_COMPARE(finished.size(), 1);
        // bob is found by his words and is not repeated; ada and cy come from meaning alone.
        QCOMPARE(h.rowIDs(SearchSection::Results), QStringList{"bob"});
        QCOMPARE(h.rowIDs(SearchSection::AlsoMatches), (QStringList{"ada", "cy"}));
        const QList<SearchRowItem> rows = h.model.flat();
        QCOMPARE(rows[1].tier, MatchTier::Semantic);
        QCOMPARE(rows[1].reason, u"You wrote: \u201CTook violin as a kid\n\u201D"_qs); // quoted as written
        QVERIFY(!rows[2].reason); // no word of cy's memory is in the query
    }

    void semanticTierFollowsTheSetting() {
        HeldSemanticSearcher semantic;
        Harness h(crowd(), {}, &semantic);
        h.settings.setSemanticSearchEnabled(false);
        h.settle();
        h.type("ann");
        QVERIFY(semantic.asked.isEmpty());
    }

    void profileChangesRebuildTheIndex() {
        Harness h(crowd());
        h.type("#climbing");
        QVERIFY(h.model.flat().isEmpty());
        const int generation = h.model.generation();
        test::await(h.engine.addTag("cy", "climbing"));
        h.settle();
        QVERIFY(h.model.generation() > generation);
        QCOMPARE(h.rowIDs(SearchSection::Results), QStringList{"cy"});
    }

    // The boost follows the time each person was really opened, kept beside the list, not the
    // moment the panel happened to see the list.
    void theRecentBoostFollowsTheStoredOpening_data() {
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<bool>("boosted");
        QTest::newRow("today") << 0 << true;
        QTest::newRow("seven days ago") << 7 << true;
        QTest::newRow("eight days ago") << 8 << false;
    }

    void theRecentBoostFollowsTheStoredOpening() {
        QFETCH(int, daysAgo);
        QFETCH(bool, boosted);
        Harness h({person("a", "Anna", "A"), person("b", "Anna", "B")});
        h.type("anna");
        h.openedNow = kNow.addDays(-daysAgo);
        h.recents.record("b");
        h.settle();
        QCOMPARE(h.rowIDs(SearchSection::Results), (boosted ? QStringList{"b", "a"} : QStringList{"a", "b"}));

        // A panel started later (the next launch) sees the same opening, not one dated at its start.
        SearchViewModel later(
            h.engine, h.starred, h.recents, h.tags, h.settings, nullptr, [] { return kNow; }, 5ms);
        QSignalSpy finished(&later, &SearchViewModel::searchFinished);
        later.setQuery("anna");
        QVERIFY(finished.wait(2000));
        QCOMPARE(later.flat().first().id, boosted ? u"b"_qs : u"a"_qs);

        // Opening the person already at the front of the list dates the opening again.
        if (boosted)
            return;
        h.openedNow = kNow;
        h.recents.record("b");
        h.settle();
        QCOMPARE(h.rowIDs(SearchSection::Results), (QStringList{"b", "a"}));
    }

    void pendingMomentsComeFirstAtMostThree() {
        Harness h(crowd());
        h.starred.toggle("ada");
        // Four one-on-ones that ended in the last hours, Ada's most recently.
        QList<CalendarEventSnapshot> events;
        const QStringList names{"Ada Lovelace", "Grace Hopper", "Bob Stone", "Cy Young"};
        for (int i = 0; i < names.size(); ++i) {
            const QDateTime end = kNow.addSecs(-3600 * (i + 1));
            CalendarEventSnapshot e = test::meeting("event-" + QString::number(i), end.addSecs(-1800), end);
            e.title = "Coffee " + QString::number(i);
            e.attendees[1] = {.name = names[i]};
            events.append(e);
        }
        InMemoryCalendarRepository calendar(CalendarAccess::FullAccess, {{test::kCalendar, "Work"}}, events);
        MomentStore local;
        MomentService moments(calendar, local, h.settings, h.engine, h.store, [] { return kNow; });
        h.settings.setCalendarConnected(true);
        h.settings.setMomentsEnabled(true);
        h.settings.setCalendarIDs({test::kCalendar});
        test::await(moments.refreshAccess());
        test::await(moments.refresh(kNow));
        QCOMPARE(moments.pending().size(), 4);
        QCOMPARE(h.model.selectedID(), u"ada"_qs);

        h.model.setMoments(&moments);
        h.settle();
        QCOMPARE(h.sectionOrder().first(), SearchSection::JustHappened);
        const QStringList rows = h.rowIDs(SearchSection::JustHappened);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.first(), u"moment:"_qs + moments.pending().first().id);
        // Moments that arrive after the panel showed take a selection the user has not moved.
        QCOMPARE(h.model.selectedID(), rows.first());
        const SearchRowItem first = h.model.flat().first();
        QCOMPARE(first.profileID, u"ada"_qs);
        QCOMPARE(first.title, u"Ada Lovelace"_qs);
        QCOMPARE(first.subtitle, u"Coffee 0"_qs);
        // The person is still in their own sections below.
        QCOMPARE(h.rowIDs(SearchSection::Starred), QStringList{"ada"});

        // A Moment acted on leaves the section at once; a row the user chose keeps the selection.
        h.model.moveSelection(1);
        moments.dismiss(moments.pending().first());
        h.settle();
        QCOMPARE(h.rowIDs(SearchSection::JustHappened).size(), 3);
        QVERIFY(!h.rowIDs(SearchSection::JustHappened).contains(rows.first()));
        QCOMPARE(h.model.selectedID(), rows[1]);

        // A typed query shows no Moments.
        h.type("ada");
        QVERIFY(h.rowIDs(SearchSection::JustHappened).isEmpty());
        QCOMPARE(h.rowIDs(SearchSection::Results).first(), u"ada"_qs);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestSearchViewModel)
#include "TestSearchViewModel.moc"
