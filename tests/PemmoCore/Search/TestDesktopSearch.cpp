// The people the desktop's own search gets: found by misspelt names as the panel finds them, each
// with their headline, ranked for desktops that merge many sources, and none for what the panel
// alone understands.
#include "Search/DesktopSearch.h"
#include "TestSupport/People.h"

#include <QTest>

namespace pemmo {
namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

Profile person(const QString& id, const QString& given, const QString& family,
               std::optional<QString> title = std::nullopt,
               std::optional<QString> organization = std::nullopt) {
    Profile p = test::profile(id, given, family, kNow);
    p.person.edit().jobTitle = std::move(title);
    p.person.edit().organization = std::move(organization);
    return p;
}

QList<Profile> people() {
    return {person(u"alex"_qs, u"Alex"_qs, u"Morgan"_qs, u"Designer"_qs, u"Northwind"_qs),
            person(u"priya"_qs, u"Priya"_qs, u"Raman"_qs, std::nullopt, u"Acme"_qs),
            person(u"jonas"_qs, u"Jonas"_qs, u"Berg"_qs), person(u"alexa"_qs, u"Alexandra"_qs, u"Lind"_qs)};
}

using test::ids;

} // namespace

class TestDesktopSearch : public QObject {
    Q_OBJECT

    // One search for the whole run, as the desktop's service keeps it: its buffers serve every call.
    DesktopSearch m_search;

    QList<DesktopSearch::Result> find(const QString& query, const QList<Profile>& profiles = people(),
                                      const SearchBoosts& boosts = {.now = kNow},
                                      int limit = DesktopSearch::defaultLimit) {
        const SearchIndex index(profiles);
        return m_search.find(query, {profiles, index}, boosts, limit);
    }

private Q_SLOTS:
    // The first result, and whether the query is that person's whole name.
    void findsPeopleByName_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("exact");
        QTest::newRow("whole name") << u"Alex Morgan"_qs << u"alex"_qs << true;
        QTest::newRow("whole name folded") << u"alex  MORGAN"_qs << u"alex"_qs << true;
        QTest::newRow("given name only") << u"alex"_qs << u"alex"_qs << false;
        QTest::newRow("misspelt family name") << u"alex morgen"_qs << u"alex"_qs << false;
        QTest::newRow("misspelt given name") << u"pryia"_qs << u"priya"_qs << false;
        QTest::newRow("accents and case") << u"JÖNAS"_qs << u"jonas"_qs << false;
        QTest::newRow("company") << u"acme"_qs << u"priya"_qs << false;
    }

    void findsPeopleByName() {
        QFETCH(QString, query);
        QFETCH(QString, first);
        QFETCH(bool, exact);
        const auto results = find(query);
        QVERIFY2(!results.isEmpty(), qPrintable(query));
        QCOMPARE(results.first().id, first);
        QCOMPARE(results.first().exact, exact);
    }

    void nothingForWhatOnlyThePanelUnderstands_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << u"   "_qs;
        QTest::newRow("circle filter alone") << u"#work"_qs;
        QTest::newRow("nobody") << u"zzyzx"_qs;
    }

    void nothingForWhatOnlyThePanelUnderstands() {
        QFETCH(QString, query);
        QCOMPARE(find(query), QList<DesktopSearch::Result>());
    }

    void resultsCarryNameHeadlineAndFallingRelevance() {
        const auto results = find(u"alex"_qs);
        QCOMPARE(ids(results), (QStringList{u"alex"_qs, u"alexa"_qs}));
        QCOMPARE(results[0].name, u"Alex Morgan"_qs);
        QCOMPARE(results[0].headline, u"Designer @ Northwind"_qs);
        QCOMPARE(results[1].headline, QString());
        QVERIFY(results[0].relevance <= 1.0);
        QVERIFY(results[0].relevance > results[1].relevance);
        QVERIFY(results[1].relevance > 0.0);
    }

    void starredPeopleComeFirstAsInThePanel() {
        // Equal matches: the name decides, unless one of them is starred.
        const QList<Profile> profiles{person(u"lee"_qs, u"Sam"_qs, u"Lee"_qs),
                                      person(u"park"_qs, u"Sam"_qs, u"Park"_qs)};
        QCOMPARE(ids(find(u"sam"_qs, profiles)), (QStringList{u"lee"_qs, u"park"_qs}));
        QCOMPARE(ids(find(u"sam"_qs, profiles, {.starred = {u"park"_qs}, .now = kNow})),
                 (QStringList{u"park"_qs, u"lee"_qs}));
    }

    void theLimitHolds() {
        QList<Profile> profiles;
        for (int i = 0; i < 30; ++i)
            profiles.append(person(QString::number(i), u"Sam"_qs, u"Lee"_qs + QString::number(i)));
        QCOMPARE(find(u"sam"_qs, profiles).size(), DesktopSearch::defaultLimit);
        QCOMPARE(find(u"sam"_qs, profiles, {.now = kNow}, 3).size(), 3);
    }

    void describesKnownPeopleOnly() {
        const QList<Profile> profiles = people();
        const SearchIndex index(profiles);
        const auto priya = DesktopSearch::describe(u"priya"_qs, {profiles, index});
        QVERIFY(priya);
        QCOMPARE(priya->name, u"Priya Raman"_qs);
        QCOMPARE(priya->headline, u"Acme"_qs);
        QVERIFY(!DesktopSearch::describe(u"gone"_qs, {profiles, index}));
    }

    void wordsFromTheDesktopBecomeOneQuery_data() {
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QString>("query");
        QTest::newRow("gnome's split words") << QStringList{u"alex"_qs, u"morgan"_qs} << u"alex morgan"_qs;
        QTest::newRow("blank words dropped") << QStringList{u""_qs, u" alex "_qs, u" "_qs} << u"alex"_qs;
        QTest::newRow("krunner's text") << QStringList{u"  alex\tmorgan "_qs} << u"alex morgan"_qs;
    }

    void wordsFromTheDesktopBecomeOneQuery() {
        QFETCH(QStringList, terms);
        QFETCH(QString, query);
        QCOMPARE(DesktopSearch::queryText(terms), query);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestDesktopSearch)
#include "TestDesktopSearch.moc"
