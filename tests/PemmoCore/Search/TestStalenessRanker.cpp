#include "Search/StalenessRanker.h"
#include "TestSupport/People.h"

#include <QTest>

namespace pemmo {
namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 6), QTime(9, 30), Qt::UTC);

Profile person(const QString& id, const QString& name, QStringList tags, std::optional<int> daysAgo,
               int extraSeconds = 0) {
    Profile p = test::profile(id, name, {}, kNow);
    p.record.edit().tags = std::move(tags);
    if (daysAgo) {
        Interaction old;
        old.date = kNow.addDays(-*daysAgo - 40);
        Interaction last;
        last.date = kNow.addDays(-*daysAgo).addSecs(-extraSeconds);
        p.record.edit().interactions = {old, last};
    }
    return p;
}

} // namespace

class TestStalenessRanker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cadences_data() {
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<int>("days");
        QTest::newRow("family") << QStringList{"family"} << 14;
        QTest::newRow("friends") << QStringList{"friends"} << 30;
        QTest::newRow("work") << QStringList{"work"} << 45;
        QTest::newRow("school") << QStringList{"school"} << 90;
        QTest::newRow("shortest wins") << QStringList{"school", "family"} << 14;
        QTest::newRow("unknown circles") << QStringList{"jazz"} << 60;
        QTest::newRow("no circles") << QStringList{} << 60;
    }

    void cadences() {
        QFETCH(QStringList, tags);
        QFETCH(int, days);
        QCOMPARE(StalenessRanker::expectedDays(tags), days);
    }

    void familyIsDueAfterFourteenDays() {
        const auto due = StalenessRanker::rank({person("a", "Ann", {"family"}, 14)}, kNow, 10);
        QCOMPARE(due.size(), 1);
        QCOMPARE(due[0], (StaleProfile{"a", 14, 14, 1.0}));
        QVERIFY(StalenessRanker::rank({person("a", "Ann", {"family"}, 13)}, kNow, 10).isEmpty());
        // 13 days and 23 hours are 13 whole days.
        QVERIFY(StalenessRanker::rank({person("a", "Ann", {"family"}, 13, 23 * 3600)}, kNow, 10).isEmpty());
        QCOMPARE(StalenessRanker::rank({person("a", "Ann", {"family", "school"}, 14)}, kNow, 10).size(), 1);
    }

    void neverContactedRanksAboveLate() {
        const auto due = StalenessRanker::rank({person("late", "Ann", {"friends"}, 45),
                                                person("never", "Bob", {"work"}, std::nullopt),
                                                person("on time", "Cy", {}, 10)},
                                               kNow, 10);
        QCOMPARE(due.size(), 2);
        QCOMPARE(due[0], (StaleProfile{"never", std::nullopt, 45, 2.0}));
        QCOMPARE(due[1].id, QStringLiteral("late"));
        QCOMPARE(due[1].ratio, 1.5);
    }

    void equalRatiosByNameThenIDAndLimit() {
        const auto due = StalenessRanker::rank(
            {person("3", "bob", {}, std::nullopt), person("2", "Bob", {}, std::nullopt),
             person("1", "Émile", {}, std::nullopt), person("0", "Anna", {}, std::nullopt)},
            kNow, 3);
        QCOMPARE(test::ids(due), (QStringList{"0", "2", "3"}));
        QVERIFY(StalenessRanker::rank({person("0", "Anna", {}, std::nullopt)}, kNow, 0).isEmpty());
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestStalenessRanker)
#include "TestStalenessRanker.moc"
