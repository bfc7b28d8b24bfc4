// How the search rows are marked up for the list: matched name parts, avatars' letters, headers.
#include "App/AppEnvironment.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/SearchViewModel.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/SettingsStore.h"
#include "Shell/SearchResultsModel.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/MomentsWorld.h"
#include "TestSupport/People.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using pemmo::test::person;

using namespace pemmo;

class TestSearchResultsModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchedRangesAreBoldAndTheRestEscaped_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QList<TextRange>>("ranges");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << u"Ada <Lovelace>"_qs << QList<TextRange>{} << u"Ada &lt;Lovelace&gt;"_qs;
        QTest::newRow("prefix") << u"Margaret Hamilton"_qs << QList<TextRange>{{0, 2}}
                                << u"<b>Ma</b>rgaret Hamilton"_qs;
        QTest::newRow("two, out of order") << u"Margaret Hamilton"_qs << QList<TextRange>{{9, 3}, {0, 1}}
                                           << u"<b>M</b>argaret <b>Ham</b>ilton"_qs;
        QTest::newRow("escaped inside")
            << u"A&B Co"_qs << QList<TextRange>{{0, 3}} << u"<b>A&amp;B</b> Co"_qs;
        QTest::newRow("past the end is cut") << u"Li"_qs << QList<TextRange>{{1, 5}} << u"L<b>i</b>"_qs;
        QTest::newRow("overlapping") << u"Grace"_qs << QList<TextRange>{{0, 3}, {1, 3}}
                                     << u"<b>Gra</b><b>c</b>e"_qs;
    }
    void matchedRangesAreBoldAndTheRestEscaped() {
        QFETCH(QString, title);
        QFETCH(QList<TextRange>, ranges);
        QFETCH(QString, expected);
        QCOMPARE(SearchResultsModel::markedTitle(title, ranges), expected);
    }

    void initialsTakeTheFirstAndLastWord_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two words") << u"ada lovelace"_qs << u"AL"_qs;
        QTest::newRow("three words") << u"Jean Claude Van"_qs << u"JV"_qs;
        QTest::newRow("one word") << u"NASA"_qs << u"N"_qs;
        QTest::newRow("Chinese") << u"李 小龙"_qs << u"李小"_qs;
        QTest::newRow("outside the basic plane") << u"\U0001D400bc Def"_qs << u"\U0001D400D"_qs;
        QTest::newRow("empty") << QString() << QString();
    }
    void initialsTakeTheFirstAndLastWord() {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        QCOMPARE(SearchResultsModel::initials(title), expected);
    }

    void sectionsBecomeAHeaderAndRowsAndTheSelectionFollows() {
        auto env = test::startedEnvironment({person(u"1"_qs, u"Margaret"_qs, u"Hamilton"_qs),
                                             person(u"2"_qs, u"Marguerite"_qs, u"Hampton"_qs),
                                             person(u"3"_qs, u"Ada"_qs, u"Lovelace"_qs),
                                             person(u"4"_qs, u"Madonna"_qs)});
        SearchViewModel search(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(),
                               nullptr, systemClock(), std::chrono::milliseconds(1));
        SearchResultsModel model(search);

        model.setQuery(u"ham"_qs);
        QCOMPARE(model.query(), u"ham"_qs);
        QTRY_VERIFY(model.rowCount() == 3);
        const auto at = [&](int row, int role) { return model.data(model.index(row), role); };
        QCOMPARE(at(0, SearchResultsModel::KindRole).toString(), u"header"_qs);
        QCOMPARE(at(0, SearchResultsModel::PlainTitleRole).toString(), u"People"_qs);
        QCOMPARE(at(1, SearchResultsModel::KindRole).toString(), u"person"_qs);
        QVERIFY(at(1, SearchResultsModel::TitleRole).toString().contains(u"<b>Ham</b>"_qs));

        // The first match is selected; the arrows move through people, never onto the header.
        QCOMPARE(model.selectedRow(), 1);
        QVERIFY(at(1, SearchResultsModel::SelectedRole).toBool());
        const QString first = model.selectedProfileID();
        model.moveSelection(1);
        QCOMPARE(model.selectedRow(), 2);
        QVERIFY(!at(1, SearchResultsModel::SelectedRole).toBool());
        QVERIFY(model.selectedProfileID() != first);
        model.moveSelection(-5);
        QCOMPARE(model.selectedRow(), 1);
        model.selectRow(0); // a header cannot be selected
        QCOMPARE(model.selectedRow(), 1);

        // A person's avatar letters are the person's own, not the title's words.
        model.setQuery(u"madonna"_qs);
        QTRY_COMPARE(at(1, SearchResultsModel::ContactIDRole).toString(), u"4"_qs);
        QCOMPARE(at(1, SearchResultsModel::InitialsRole).toString(), u"MA"_qs);

        model.setQuery(u"zzzz"_qs);
        QTRY_COMPARE(model.rowCount(), 0);
        QCOMPARE(model.emptyText(), u"No matches for \u201Czzzz\u201D"_qs);
        QCOMPARE(model.selectedRow(), -1);
        QCOMPARE(model.selectedProfileID(), QString());
    }

    // A Moment's row stands for its person: the avatar drawn from the row is theirs, not one made
    // up from the Moment's identifier.
    void aMomentsRowStandsForItsPerson() {
        auto env = test::startedEnvironment(test::adaAndAlan());
        const QDateTime end = QDateTime::currentDateTimeUtc().addSecs(-3600);
        test::connectCalendar(*env, {test::meeting(u"coffee"_qs, end.addSecs(-1800), end)},
                              QDateTime::currentDateTimeUtc());
        QCOMPARE(env->moments().pending().size(), 1);

        SearchViewModel search(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(),
                               nullptr, systemClock(), std::chrono::milliseconds(1));
        search.setMoments(&env->moments());
        SearchResultsModel model(search);
        QTRY_VERIFY(model.rowCount() >= 2);
        const auto at = [&](int row, int role) { return model.data(model.index(row), role).toString(); };
        QCOMPARE(at(0, SearchResultsModel::PlainTitleRole),
                 SearchResultsModel::sectionTitle(SearchSection::JustHappened));
        QVERIFY(at(1, SearchResultsModel::RowIDRole) != u"ada"_qs);
        QCOMPARE(at(1, SearchResultsModel::ContactIDRole), u"ada"_qs);
    }

    // What a screen reader hears for a row: each part once, in the order it shows, and a circle
    // says it is one.
    void aRowIsHeardOncePerPart_data() {
        QTest::addColumn<bool>("circle");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name alone") << false << QString() << QString() << u"Anna Berg"_qs;
        QTest::newRow("with subtitle")
            << false << u"No contact logged yet"_qs << QString() << u"Anna Berg, No contact logged yet"_qs;
        QTest::newRow("also matches")
            << false << u"No contact logged yet"_qs << u"You wrote: \u201CSailing\n\ttrip\u201D"_qs
            << u"Anna Berg, No contact logged yet, You wrote: \u201CSailing trip\u201D"_qs;
        QTest::newRow("circle") << true << u"1 person"_qs << QString() << u"Circle Anna Berg, 1 person"_qs;
    }
    void aRowIsHeardOncePerPart() {
        QFETCH(bool, circle);
        QFETCH(QString, subtitle);
        QFETCH(QString, reason);
        QFETCH(QString, expected);
        SearchRowItem item;
        item.title = u"Anna Berg"_qs;
        if (circle)
            item.tagID = u"anna-berg"_qs;
        else
            item.profileID = u"anna"_qs;
        if (!subtitle.isEmpty())
            item.subtitle = subtitle;
        if (!reason.isEmpty())
            item.reason = reason;
        QCOMPARE(SearchResultsModel::accessibleName(item), expected);
    }

    // The first row of a section is kept in view with its heading; others alone.
    void theFirstRowOfASectionShowsWithItsHeading() {
        auto env = test::startedEnvironment({person(u"1"_qs, u"Margaret"_qs, u"Hamilton"_qs),
                                             person(u"2"_qs, u"Marguerite"_qs, u"Hampton"_qs)});
        SearchViewModel search(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(),
                               nullptr, systemClock(), std::chrono::milliseconds(1));
        SearchResultsModel model(search);
        model.setQuery(u"Ma"_qs);
        QTRY_COMPARE(model.rowCount(), 3);
        QVERIFY(model.data(model.index(0), SearchResultsModel::KindRole).toString() == u"header"_qs);
        QCOMPARE(model.firstToShowWith(1), 0);
        QCOMPARE(model.firstToShowWith(2), 2);
        QCOMPARE(model.firstToShowWith(0), 0);
        QCOMPARE(model.firstToShowWith(3), -1);
        QCOMPARE(model.firstToShowWith(-1), -1);
    }

    void aPersonFoundByMeaningShowsWhy() {
        auto env = test::startedEnvironment(
            {person(u"1"_qs, u"Margaret"_qs, u"Hamilton"_qs), person(u"2"_qs, u"Ada"_qs, u"Lovelace"_qs)});
        test::await(env->sync().addInteraction(
            u"2"_qs, test::note(u"Sailing trip to Skye"_qs, QDateTime::currentDateTimeUtc())));
        // The in-memory environment's stand-in embedder meets only the very same text.
        test::await(env->embeddings()->update(env->sync().profiles()));
        SearchViewModel search(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(),
                               env->embeddings(), systemClock(), std::chrono::milliseconds(1));
        SearchResultsModel model(search);
        model.setQuery(u"people who like Sailing trip to Skye"_qs);
        QTRY_COMPARE(model.rowCount(), 2);
        const auto at = [&](int row, int role) { return model.data(model.index(row), role); };
        QCOMPARE(at(0, SearchResultsModel::PlainTitleRole).toString(),
                 SearchResultsModel::sectionTitle(SearchSection::AlsoMatches));
        QCOMPARE(at(1, SearchResultsModel::PlainTitleRole).toString(), u"Ada Lovelace"_qs);
        QCOMPARE(at(1, SearchResultsModel::ReasonRole).toString(),
                 u"You wrote: \u201CSailing trip to Skye\u201D"_qs);
        QVERIFY(model.roleNames().values().contains("reason"));

        // With the setting off the meaning tier is gone.
        env->settings().setSemanticSearchEnabled(false);
        QTRY_COMPARE(model.rowCount(), 0);
    }

    // The list follows the search model through growing, shrinking and emptying result lists,
    // and stays a consistent model for the view all along.
    void theListFollowsEveryKeystroke() {
        auto env = test::startedEnvironment({person(u"1"_qs, u"Margaret"_qs, u"Hamilton"_qs),
                                             person(u"2"_qs, u"Marguerite"_qs, u"Hampton"_qs),
                                             person(u"3"_qs, u"Ada"_qs, u"Lovelace"_qs),
                                             person(u"4"_qs, u"Mary"_qs, u"Jackson"_qs)});
        SearchViewModel search(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(),
                               nullptr, systemClock(), std::chrono::milliseconds(1));
        SearchResultsModel model(search);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy rows(&model, &SearchResultsModel::rowsChanged);
        const auto titles = [&] {
            QStringList out;
            for (int row = 0; row < model.rowCount(); ++row)
                out.append(model.data(model.index(row), SearchResultsModel::PlainTitleRole).toString());
            return out;
        };

        // What the search model shows, header first, as the list must show it.
        const auto expected = [&] {
            QStringList out;
            for (const SearchSectionRows& section : search.sections()) {
                if (section.rows.isEmpty())
                    continue;
                out.append(SearchResultsModel::sectionTitle(section.section));
                for (const SearchRowItem& row : section.rows)
                    out.append(row.title);
            }
            return out;
        };
        // Growing, shrinking, emptying and filling again.
        for (const QString& query : {u"ada"_qs, u"ma"_qs, u"margu"_qs, u"zzzz"_qs, u"h"_qs, u"ada"_qs}) {
            const qsizetype before = rows.count();
            model.setQuery(query);
            QTRY_VERIFY(rows.count() > before);
            QCOMPARE(titles(), expected());
            QCOMPARE(model.selectedRow() > 0, !titles().isEmpty()); // never a header
        }
        QVERIFY(titles().contains(u"Ada Lovelace"_qs));
    }

    void everySectionHasAHeaderTitle() {
        for (const SearchSection section : SearchSections::all)
            QVERIFY(!SearchResultsModel::sectionTitle(section).isEmpty());
    }
};

QTEST_MAIN(TestSearchResultsModel)
#include "TestSearchResultsModel.moc"
