#include "Search/EditDistance.h"
#include "Search/TextFolding.h"

#include <QRandomGenerator>
#include <QTest>

namespace pemmo {

class TestEditDistance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void distance_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("expected"); // -1: absent
        QTest::newRow("equal") << "john"
                               << "john" << 1 << 0;
        QTest::newRow("transposition") << "jonh"
                                       << "john" << 1 << 1;
        QTest::newRow("substitution") << "jahn"
                                      << "john" << 1 << 1;
        QTest::newRow("insertion") << "johhn"
                                   << "john" << 1 << 1;
        QTest::newRow("deletion") << "jon"
                                  << "john" << 1 << 1;
        QTest::newRow("two edits over the bound") << "jhn"
                                                  << "johan" << 1 << -1;
        QTest::newRow("two edits within the bound") << "jhn"
                                                    << "johan" << 2 << 2;
        QTest::newRow("lengths too far apart") << "jo"
                                               << "johnny" << 3 << -1;
        QTest::newRow("empty against text") << ""
                                            << "abc" << 3 << 3;
        QTest::newRow("empty over the bound") << ""
                                              << "abcd" << 3 << -1;
        QTest::newRow("osa counts ca to abc as three") << "ca"
                                                       << "abc" << 3 << 3;
        QTest::newRow("characters, not code units") << "😀a"
                                                    << "😀b" << 1 << 1;
    }

    void distance() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, max);
        QFETCH(int, expected);
        const auto result = EditDistance::distance(a, b, max);
        QCOMPARE(result.value_or(-1), expected);
        QCOMPARE(EditDistance::distance(b, a, max).value_or(-1), expected);
    }

    void withinOneAgreesWithTheTable() {
        // Short words over a small alphabet hit every kind of single edit, and many near misses.
        QRandomGenerator random(42);
        const auto word = [&random] {
            std::u32string w;
            for (int i = random.bounded(0, 6); i > 0; --i)
                w.push_back(U'a' + static_cast<char32_t>(random.bounded(0, 3)));
            return w;
        };
        for (int i = 0; i < 20000; ++i) {
            const std::u32string a = word();
            const std::u32string b = word();
            QCOMPARE(EditDistance::withinOne(a, b), EditDistance::distance(a, b, 1).has_value());
        }
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestEditDistance)
#include "TestEditDistance.moc"
