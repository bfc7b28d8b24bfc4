#include "Search/QueryParser.h"
#include "Search/TextFolding.h"

#include <QRandomGenerator>
#include <QTest>

namespace pemmo {

class TestQueryParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void foldIgnoresCaseAccentsAndWidth_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("folded");
        QTest::newRow("diaeresis") << QStringLiteral("Zoë") << QStringLiteral("zoe");
        QTest::newRow("upper case") << QStringLiteral("ANNA") << QStringLiteral("anna");
        QTest::newRow("full-width") << QStringLiteral("ＡＮＮＡ") << QStringLiteral("anna");
        QTest::newRow("decomposed accent") << QStringLiteral("Rene\u0301e") << QStringLiteral("renee");
        QTest::newRow("sharp s") << QStringLiteral("Weiß") << QStringLiteral("weiss");
        QTest::newRow("vietnamese") << QStringLiteral("Nguyễn") << QStringLiteral("nguyen");
        QTest::newRow("turkish dotted I") << QStringLiteral("İlkay") << QStringLiteral("ilkay");
        QTest::newRow("punctuation kept") << QStringLiteral("O'Brien") << QStringLiteral("o'brien");
    }

    void foldIgnoresCaseAccentsAndWidth() {
        QFETCH(QString, input);
        QFETCH(QString, folded);
        QCOMPARE(TextFolding::fold(input), folded);
    }

    void foldingPiecewiseEqualsFoldingWhole() {
        // ASCII, accented Latin, Vietnamese, Greek, Cyrillic, combining marks, full-width forms and
        // a few others, in random mixtures: the shortcuts must give what ICU gives for the whole.
        const QList<QPair<char32_t, char32_t>> ranges{
            {0x20, 0x7E},     {0x80, 0x24F},    {0x300, 0x36F},   {0x370, 0x4FF},   {0x1E00, 0x1EFF},
            {0x1F00, 0x1FFF}, {0xFF01, 0xFF5E}, {0x1100, 0x11FF}, {0xAC00, 0xAC40}, {0x1D400, 0x1D44F}};
        QRandomGenerator random(5);
        for (int i = 0; i < 20000; ++i) {
            QString text;
            for (int n = random.bounded(1, 8); n > 0; --n) {
                const auto& [low, high] = ranges[random.bounded(ranges.size())];
                const char32_t c = low + char32_t(random.bounded(int(high - low + 1)));
                text.append(QString::fromUcs4(&c, 1));
            }
            QCOMPARE(TextFolding::fold(text), TextFolding::foldWhole(text));
        }
    }

    void tokensAreRunsOfLettersAndNumbers_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("apostrophe and hyphen")
            << QStringLiteral("o'brien-smith") << QStringList{"o", "brien", "smith"};
        QTest::newRow("digits") << QStringLiteral("+1 (415) 555-0100")
                                << QStringList{"1", "415", "555", "0100"};
        QTest::newRow("only punctuation") << QStringLiteral(" -- !") << QStringList{};
        QTest::newRow("emoji ends a token") << QStringLiteral("pizza🍕night") << QStringList{"pizza", "night"};
        QTest::newRow("accents folded")
            << QStringLiteral("Ó Súilleabháin") << QStringList{"o", "suilleabhain"};
        QTest::newRow("spacing mark stays with its letter")
            << QStringLiteral("\u0915\u093E\u092E") << QStringList{QStringLiteral("\u0915\u093E\u092E")};
    }

    void tokensAreRunsOfLettersAndNumbers() {
        QFETCH(QString, input);
        QFETCH(QStringList, tokens);
        QCOMPARE(TextFolding::tokens(input), tokens);
    }

    void tracedFoldingPointsBackToTheOriginal() {
        const QString name = QStringLiteral("Zoë ＡＮＮＡ");
        const auto traced = TextFolding::foldTraced(name);
        QCOMPARE(traced.folded, QStringLiteral("zoe anna"));
        QCOMPARE(traced.sourceStart[2], 2); // "e" came from "ë"
        QCOMPARE(traced.sourceEnd[2], 3);
        QCOMPARE(traced.sourceStart[4], 4);
    }

    void parseSplitsTermsAndCircleFilters() {
        const ParsedQuery query = QueryParser::parse(QStringLiteral("  #Work   anna  "));
        QCOMPARE(query.raw, QStringLiteral("  #Work   anna  "));
        QCOMPARE(query.terms, QStringList{"anna"});
        QCOMPARE(query.tagFilters, QStringList{"work"});
        QVERIFY(!query.isEmpty);
        QVERIFY(!query.isQuestion);
        // Each piece is folded into its tokens.
        QCOMPARE(QueryParser::parse(QStringLiteral("O'Brien-Smith Zoë")).terms,
                 (QStringList{"o", "brien", "smith", "zoe"}));
    }

    void loneHashIsAnEmptyQuery() {
        const ParsedQuery query = QueryParser::parse(QStringLiteral("#"));
        QVERIFY(query.terms.isEmpty());
        QVERIFY(query.tagFilters.isEmpty());
        QVERIFY(query.isEmpty);
        QVERIFY(QueryParser::parse(QStringLiteral(" \n ")).isEmpty);
    }

    void questionDetection_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("question");
        QTest::newRow("question mark") << QStringLiteral("anna?") << true;
        QTest::newRow("question mark after spaces") << QStringLiteral("who plays cello?  ") << true;
        QTest::newRow("four terms with who") << QStringLiteral("who plays the cello") << true;
        QTest::newRow("three terms with who") << QStringLiteral("who plays cello") << false;
        QTest::newRow("four terms, no question word") << QStringLiteral("anna maria de souza") << false;
        QTest::newRow("haven folded") << QStringLiteral("friends I HAVEN'T seen") << true;
        QTest::newRow("circle filters are not terms") << QStringLiteral("#a #b who met") << false;
    }

    void questionDetection() {
        QFETCH(QString, input);
        QFETCH(bool, question);
        QCOMPARE(QueryParser::parse(input).isQuestion, question);
    }

    void interestPhraseStripping_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("people who like")
            << QStringLiteral("  People who like Jazz ") << QStringLiteral("Jazz");
        QTest::newRow("someone who enjoys")
            << QStringLiteral("someone who enjoys climbing") << QStringLiteral("climbing");
        QTest::newRow("nothing after the phrase")
            << QStringLiteral("people who like   ") << QStringLiteral("people who like");
        QTest::newRow("no phrase") << QStringLiteral(" cello players ") << QStringLiteral("cello players");
        QTest::newRow("find people who like, not people who like")
            << QStringLiteral("find people who like bees") << QStringLiteral("bees");
    }

    void interestPhraseStripping() {
        QFETCH(QString, input);
        QFETCH(QString, stripped);
        QCOMPARE(QueryParser::stripInterestPhrase(input), stripped);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestQueryParser)
#include "TestQueryParser.moc"
