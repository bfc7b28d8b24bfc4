// Circle identifiers and names: what users type becomes one id however it is spaced or cased.
#include "Lists/Tag.h"

#include <QTest>

using namespace pemmo;

class TestTag : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalisation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("padded, mixed case")
            << u"  Movie   LOVER \n"_qs << u"movie lover"_qs << u"Movie LOVER"_qs;
        QTest::newRow("tabs and line breaks")
            << u"\tBoard\ngames\r\n"_qs << u"board games"_qs << u"Board games"_qs;
        QTest::newRow("no-break and line separators")
            << u"Rock\u00A0\u2028Climbing"_qs << u"rock climbing"_qs << u"Rock Climbing"_qs;
        QTest::newRow("accented capitals") << u"\u00C9COLE"_qs << u"\u00E9cole"_qs << u"\u00C9COLE"_qs;
        QTest::newRow("only spaces") << u"   "_qs << QString() << QString();
    }

    void normalisation() {
        QFETCH(QString, text);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QCOMPARE(Tag::normalizedID(text), id);
        QCOMPARE(Tag::cleanedName(text), name);
    }
};

QTEST_GUILESS_MAIN(TestTag)
#include "TestTag.moc"
