// Sharing equal short texts while decoding: equal values, one string, and only inside the scope.
#include "Records/SharedTexts.h"

#include <QTest>
#include <string>

using namespace pemmo;

class TestSharedTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void equalShortTextsAreOneStringWhileAlive() {
        const std::string a = "Växjö";
        const std::string b = "Växjö"; // equal bytes elsewhere, as two records hold them
        SharedTexts shared;
        const QString first = SharedTexts::text(a);
        const QString second = SharedTexts::text(b);
        QCOMPARE(second, QStringLiteral("Växjö"));
        QCOMPARE(second.constData(), first.constData());
        QVERIFY(SharedTexts::text("Vaxjo").constData() != first.constData());
    }

    void valuesAreThoseOfTheBytes_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << QByteArray("family");
        QTest::newRow("at the limit") << QByteArray(qsizetype(SharedTexts::maximumLength), 'x');
        QTest::newRow("longer") << QByteArray("Met at the climbing gym, works on compilers");
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe");
    }
    void valuesAreThoseOfTheBytes() {
        QFETCH(QByteArray, utf8);
        const std::string_view view(utf8.constData(), std::size_t(utf8.size()));
        SharedTexts shared;
        QCOMPARE(SharedTexts::text(view), QString::fromUtf8(utf8));
        QCOMPARE(SharedTexts::text(view), QString::fromUtf8(utf8)); // and when met again
    }

    void longTextsAreMadeAfresh() {
        const std::string note(SharedTexts::maximumLength + 1, 'n');
        SharedTexts shared;
        QVERIFY(SharedTexts::text(note).constData() != SharedTexts::text(note).constData());
    }

    void nothingIsSharedOutsideAScope() {
        { SharedTexts shared; }
        QVERIFY(SharedTexts::text("work").constData() != SharedTexts::text("work").constData());
    }

    void anInnerScopeEndsWithoutEndingTheOuter() {
        SharedTexts outer;
        const QString before = SharedTexts::text("work");
        {
            SharedTexts inner;
            QVERIFY(SharedTexts::text("work").constData() != before.constData());
        }
        QCOMPARE(SharedTexts::text("work").constData(), before.constData());
    }
};

QTEST_GUILESS_MAIN(TestSharedTexts)
#include "TestSharedTexts.moc"
