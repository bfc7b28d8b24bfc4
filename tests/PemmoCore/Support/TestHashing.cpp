// FNV-1a 64: the published test vectors, and the text form other files keep.
#include "Support/Hashing.h"

#include <QTest>

using namespace pemmo;

class TestHashing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hexDigestsMatchTheReferenceValues_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << QString() << u"cbf29ce484222325"_qs;
        QTest::newRow("a") << u"a"_qs << u"af63dc4c8601ec8c"_qs;
        QTest::newRow("foobar") << u"foobar"_qs << u"85944171f73967e8"_qs;
        // UTF-8 bytes, not UTF-16 code units; and a leading zero digit is kept.
        QTest::newRow("accented") << u"\u00E9"_qs << u"0ac21707b7181e01"_qs;
    }

    void hexDigestsMatchTheReferenceValues() {
        QFETCH(QString, text);
        QFETCH(QString, digest);
        QCOMPARE(Hashing::fnv1a64Hex(text), digest);
    }

    void numericAndHexFormsAgree() { QCOMPARE(Hashing::fnv1a64("foobar"), Q_UINT64_C(0x85944171f73967e8)); }
};

QTEST_GUILESS_MAIN(TestHashing)
#include "TestHashing.moc"
