#include "Profiles/ProfileOrder.h"
#include "TestSupport/People.h"

#include <QTest>

namespace pemmo {
namespace {

Profile named(const QString& id, const QString& given, const QString& family = {},
              std::optional<QString> organization = std::nullopt) {
    Profile p;
    p.person.edit().id = id;
    p.person.edit().givenName = given;
    p.person.edit().familyName = family;
    p.person.edit().organization = organization;
    return p;
}

using test::ids;

} // namespace

class TestProfileOrder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesCompare_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("expected"); // sign of compareNames(first, second)

        QTest::newRow("digits by value") << u"Item 2"_qs << u"Item 10"_qs << -1;
        QTest::newRow("digits by value, reversed") << u"Anna 10"_qs << u"Anna 9"_qs << 1;
        QTest::newRow("case ignored") << u"anna"_qs << u"ANNA"_qs << 0;
        QTest::newRow("case does not beat letters") << u"anna"_qs << u"Bob"_qs << -1;
        QTest::newRow("accent counts") << u"Elise"_qs << u"Élise"_qs << -1;
        QTest::newRow("accent is weaker than letters") << u"Émile"_qs << u"Emma"_qs << -1;
        QTest::newRow("plain letters") << u"Zoe"_qs << u"Adam"_qs << 1;
    }

    void namesCompare() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, expected);
        const int result = ProfileOrder::compareNames(first, second);
        QCOMPARE((result > 0) - (result < 0), expected);
    }

    void sortsByDisplayNameThenID() {
        const QList<Profile> input{
            named(u"b"_qs, u"Anna"_qs, u"10"_qs), named(u"z"_qs, u"anna"_qs, u"9"_qs),
            named(u"a"_qs, u"Anna"_qs, u"9"_qs),  named(u"c"_qs, QString(), QString(), u"  Acme  "_qs),
            named(u"d"_qs, u"  "_qs, QString()),  named(u"e"_qs, u"Émile"_qs, QString()),
            named(u"x"_qs, u"Sam"_qs, QString()), named(u"X"_qs, u"sam"_qs, QString()),
            named(u"w"_qs, u"SAM"_qs, QString()),
        };
        // "Acme" (organisation), "Anna 9" twice (ids a before z), "Anna 10", "Émile", "Sam" three
        // times, "Unnamed". Ties use the plain text order of ids: upper-case letters first.
        const QStringList expected{"c", "a", "z", "b", "e", "X", "w", "x", "d"};
        QCOMPARE(ids(ProfileOrder::sorted(input)), expected);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestProfileOrder)
#include "TestProfileOrder.moc"
