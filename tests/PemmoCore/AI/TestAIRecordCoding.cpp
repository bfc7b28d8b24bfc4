// Reading the models' answers: strict where the cloud's schema requires a key, lenient where the
// local model's shapes leave lists optional.
#include "AI/AIRecordCoding.h"

#include <QTest>

using namespace pemmo;
using Lists = AIRecordCoding::Lists;

class TestAIRecordCoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aCaptureReadsEveryField() {
        const auto c = AIRecordCoding::decodeCaptureResult(
            R"({"personName":null,"fieldUpdates":[{"field":"company","value":"Acme"}],"interactionKind":"met",)"
            R"("interactionText":"Tea","interactionDate":"2026-03-03","tags":["tea"],"aboutAppend":null,"extra":1})");
        QVERIFY(c);
        QCOMPARE(c->personName, std::nullopt);
        QCOMPARE(c->fieldUpdates, (QList<FieldUpdate>{{u"company"_qs, u"Acme"_qs}}));
        QCOMPARE(c->interactionKind, u"met"_qs);
        QCOMPARE(c->interactionDate, u"2026-03-03"_qs);
        QCOMPARE(c->tags, QStringList({u"tea"_qs}));
    }

    void answersThatBreakTheShapeAreRejected_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<bool>("lenient");
        QTest::newRow("lists missing") << QByteArray(R"({"personName":"Ada"})") << false << true;
        QTest::newRow("lists null") << QByteArray(R"({"fieldUpdates":null,"tags":null})") << false << true;
        QTest::newRow("a number for a text")
            << QByteArray(R"({"fieldUpdates":[],"tags":[],"personName":3})") << false << false;
        QTest::newRow("an update without a value")
            << QByteArray(R"({"fieldUpdates":[{"field":"team"}],"tags":[]})") << false << false;
        QTest::newRow("a list of objects for tags")
            << QByteArray(R"({"fieldUpdates":[],"tags":[{}]})") << false << false;
        QTest::newRow("not an object") << QByteArray(R"(["tags"])") << false << false;
        QTest::newRow("prose") << QByteArray("Here you go: {}") << false << false;
        QTest::newRow("complete") << QByteArray(R"({"fieldUpdates":[],"tags":[]})") << true << true;
    }

    void answersThatBreakTheShapeAreRejected() {
        QFETCH(QByteArray, json);
        QFETCH(bool, strict);
        QFETCH(bool, lenient);
        QCOMPARE(AIRecordCoding::decodeCaptureResult(json, Lists::Required).has_value(), strict);
        QCOMPARE(AIRecordCoding::decodeCaptureResult(json, Lists::MayBeAbsent).has_value(), lenient);
    }

    void aBriefingNeedsBothTexts() {
        QVERIFY(AIRecordCoding::decodeBriefing(R"({"summary":"s","opener":"o"})"));
        QVERIFY(!AIRecordCoding::decodeBriefing(R"({"summary":"s"})"));
        QVERIFY(!AIRecordCoding::decodeBriefing(R"({"summary":"s","opener":null})"));
    }

    void aRankingKeepsTheModelsOrder() {
        const auto items =
            AIRecordCoding::decodeRanking(R"({"items":[{"id":"b","reason":"x"},{"id":"a","reason":"y"}]})");
        QCOMPARE(items, (QList<RankedCandidate>{{u"b"_qs, u"x"_qs}, {u"a"_qs, u"y"_qs}}));
        QCOMPARE(AIRecordCoding::decodeRanking(R"({})", Lists::MayBeAbsent), QList<RankedCandidate>());
        QCOMPARE(AIRecordCoding::decodeRanking(R"({})"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestAIRecordCoding)
#include "TestAIRecordCoding.moc"
