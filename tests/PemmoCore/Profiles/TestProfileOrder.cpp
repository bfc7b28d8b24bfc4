#include "Profiles/ProfileOrder.h"

#include <QTest>

namespace pemmo {
namespace {

Profile named(const QString& id, const QString& given, const QString& family = {},
              std::optional<QString> organization = std::nullopt) {
    Profile p;
    p.person.id = id;
    p.person.givenName = given;
    p.person.familyName = family;
    p.person.organization = organization;
    return p;
}

QStringList ids(const QList<Profile>& profiles) {
    QStringList result;
    for (const Profile& p : profiles)
        result.append(p.id());
    return result;
}

} // namespace

class TestProfileOrder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesCompare_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("expected"); // sign of compareNames(first, second)

        QTest::newRow("digits by value") << QStringLiteral("Item 2") << QStringLiteral("Item 10") << -1;
        QTest::newRow("digits by value, reversed")
            << QStringLiteral("Anna 10") << QStringLiteral("Anna 9") << 1;
        QTest::newRow("case ignored") << QStringLiteral("anna") << QStringLiteral("ANNA") << 0;
        QTest::newRow("case does not beat letters") << QStringLiteral("anna") << QStringLiteral("Bob") << -1;
        QTest::newRow("accent counts") << QStringLiteral("Elise") << QStringLiteral("Élise") << -1;
        QTest::newRow("accent is weaker than letters")
            << QStringLiteral("Émile") << QStringLiteral("Emma") << -1;
        QTest::newRow("plain letters") << QStringLiteral("Zoe") << QStringLiteral("Adam") << 1;
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
            named(QStringLiteral("b"), QStringLiteral("Anna"), QStringLiteral("10")),
            named(QStringLiteral("z"), QStringLiteral("anna"), QStringLiteral("9")),
            named(QStringLiteral("a"), QStringLiteral("Anna"), QStringLiteral("9")),
            named(QStringLiteral("c"), QString(), QString(), QStringLiteral("  Acme  ")),
            named(QStringLiteral("d"), QStringLiteral("  "), QString()),
            named(QStringLiteral("e"), QStringLiteral("Émile"), QString()),
        };
        // "Acme" (organisation), "Anna 9" twice (ids a before z), "Anna 10", "Émile", "Unnamed".
        const QStringList expected{"c", "a", "z", "b", "e", "d"};
        QCOMPARE(ids(ProfileOrder::sorted(input)), expected);
    }

    void tiesUsePlainTextOrderOfIDs() {
        // Plain text order puts upper-case letters before lower-case ones.
        const QList<Profile> input{named(QStringLiteral("b"), QStringLiteral("Sam")),
                                   named(QStringLiteral("B"), QStringLiteral("sam")),
                                   named(QStringLiteral("a"), QStringLiteral("SAM"))};
        const QStringList expected{"B", "a", "b"};
        QCOMPARE(ids(ProfileOrder::sorted(input)), expected);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestProfileOrder)
#include "TestProfileOrder.moc"
