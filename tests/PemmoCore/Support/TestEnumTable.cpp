// Two-way enumeration tables: exact lookups both ways, and tables whose texts name one case each.
#include "Records/Interaction.h"
#include "Records/QuickLink.h"
#include "Settings/AIProviderID.h"
#include "Support/EnumTable.h"

#include <QSet>
#include <QTest>

using namespace pemmo;

namespace {

enum class Shade { Light, Dark, Dim, Unlisted };

constexpr auto shades = enumTable<Shade>({
    {Shade::Light, "light"},
    {Shade::Dark, "dark"},
    {Shade::Dim, "dim"},
});

// Every text of the table leads back to its own case, and no two cases share a text.
template <class Table> bool roundTrips(const Table& table) {
    QSet<QString> seen;
    for (const auto& row : table) {
        const QString name = table.name(row.value);
        if (name.isEmpty() || seen.contains(name))
            return false;
        seen.insert(name);
        if (table.find(QStringView(name)) != row.value || table.find(row.text) != row.value)
            return false;
    }
    return true;
}

} // namespace

class TestEnumTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsOnlyTheExactText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no case
        QTest::newRow("a case") << u"dark"_qs << int(Shade::Dark);
        QTest::newRow("the last row") << u"dim"_qs << int(Shade::Dim);
        QTest::newRow("other case letters") << u"Dark"_qs << -1;
        QTest::newRow("a prefix of a text") << u"dar"_qs << -1;
        QTest::newRow("a text with more after it") << u"darker"_qs << -1;
        QTest::newRow("blank around it") << u" dark"_qs << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("a letter beyond Latin-1") << u"d\u0101rk"_qs << -1;
    }

    void findsOnlyTheExactText() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<Shade> found = shades.find(QStringView(text));
        QCOMPARE(found ? int(*found) : -1, expected);
        const QByteArray utf8 = text.toUtf8();
        const std::optional<Shade> foundUtf8 = shades.find(std::string_view(utf8.constData(), utf8.size()));
        QCOMPARE(foundUtf8 ? int(*foundUtf8) : -1, expected);
    }

    void aCaseWithoutARowHasNoText() {
        QCOMPARE(shades.text(Shade::Unlisted), std::string_view());
        QVERIFY(shades.name(Shade::Unlisted).isEmpty());
    }

    void storedNamesRoundTrip() {
        QVERIFY(roundTrips(shades));
        QVERIFY(roundTrips(interactionKindNames));
        QVERIFY(roundTrips(sourceKindNames));
        QVERIFY(roundTrips(quickLinkKindNames));
        QVERIFY(roundTrips(AIProviderIDs::rawValues));
    }
};

QTEST_GUILESS_MAIN(TestEnumTable)
#include "TestEnumTable.moc"
