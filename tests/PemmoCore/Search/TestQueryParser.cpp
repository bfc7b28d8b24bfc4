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
        QTest::newRow("diaeresis") << u"Zoë"_qs << u"zoe"_qs;
        QTest::newRow("upper case") << u"ANNA"_qs << u"anna"_qs;
        QTest::newRow("full-width") << u"ＡＮＮＡ"_qs << u"anna"_qs;
        QTest::newRow("decomposed accent") << u"Rene\u0301e"_qs << u"renee"_qs;
        QTest::newRow("sharp s") << u"Weiß"_qs << u"weiss"_qs;
        QTest::newRow("vietnamese") << u"Nguyễn"_qs << u"nguyen"_qs;
        QTest::newRow("turkish dotted I") << u"İlkay"_qs << u"ilkay"_qs;
        QTest::newRow("punctuation kept") << u"O'Brien"_qs << u"o'brien"_qs;
        // Hangul syllables stay whole: one character each, as the user sees them.
        QTest::newRow("hangul") << u"김민준"_qs << u"김민준"_qs;
        QTest::newRow("hangul typed as letters") << u"\u1100\u1175\u11B7"_qs << u"김"_qs;
        QTest::newRow("voiced kana loses its mark") << u"が"_qs << u"か"_qs;
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

    void foldingPartsOneByOneEqualsFoldingThemJoined() {
        // The index folds a field's parts one after another into one buffer, a space between,
        // instead of folding the joined text: the result must be the same text and tokens, also
        // when a part ends or starts with a combining mark or half of a surrogate pair's run.
        const QList<QPair<char32_t, char32_t>> ranges{{0x20, 0x7E},   {0x80, 0x24F},    {0x300, 0x36F},
                                                      {0x370, 0x4FF}, {0x1E00, 0x1EFF}, {0x1D400, 0x1D44F}};
        QRandomGenerator random(7);
        for (int i = 0; i < 5000; ++i) {
            QStringList parts;
            for (int p = random.bounded(1, 4); p > 0; --p) {
                QString part;
                for (int n = random.bounded(1, 6); n > 0; --n) {
                    const auto& [low, high] = ranges[random.bounded(ranges.size())];
                    const char32_t c = low + char32_t(random.bounded(int(high - low + 1)));
                    part.append(QString::fromUcs4(&c, 1));
                }
                parts.append(part);
            }
            const QString before = QStringLiteral("Ærø x");
            QString buffer = before;
            QList<TextFolding::TokenSpan> spans{{0, 1}};
            for (qsizetype p = 0; p < parts.size(); ++p) {
                if (p > 0)
                    buffer.append(u' ');
                TextFolding::appendFolded(buffer, parts[p]);
            }
            TextFolding::appendTokenSpans(spans, QStringView(buffer).sliced(before.size()));
            const QString joined = TextFolding::fold(parts.join(u' '));
            QCOMPARE(buffer, before + joined);
            QCOMPARE(spans.mid(1), TextFolding::tokenSpans(joined));
        }
    }

    void tokensAreRunsOfLettersAndNumbers_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("apostrophe and hyphen") << u"o'brien-smith"_qs << QStringList{"o", "brien", "smith"};
        QTest::newRow("digits") << u"+1 (415) 555-0100"_qs << QStringList{"1", "415", "555", "0100"};
        QTest::newRow("only punctuation") << u" -- !"_qs << QStringList{};
        QTest::newRow("emoji ends a token") << u"pizza🍕night"_qs << QStringList{"pizza", "night"};
        QTest::newRow("accents folded") << u"Ó Súilleabháin"_qs << QStringList{"o", "suilleabhain"};
        QTest::newRow("spacing mark stays with its letter")
            << u"\u0915\u093E\u092E"_qs << QStringList{u"\u0915\u093E\u092E"_qs};
    }

    void tokensAreRunsOfLettersAndNumbers() {
        QFETCH(QString, input);
        QFETCH(QStringList, tokens);
        QCOMPARE(TextFolding::tokens(input), tokens);
    }

    void tracedFoldingPointsBackToTheOriginal() {
        const QString name = u"Zoë ＡＮＮＡ"_qs;
        const auto traced = TextFolding::foldTraced(name);
        QCOMPARE(traced.folded, u"zoe anna"_qs);
        QCOMPARE(traced.sourceStart[2], 2); // "e" came from "ë"
        QCOMPARE(traced.sourceEnd[2], 3);
        QCOMPARE(traced.sourceStart[4], 4);
    }

    void parseSplitsTermsAndCircleFilters() {
        const ParsedQuery query = QueryParser::parse(u"  #Work   anna  "_qs);
        QCOMPARE(query.raw, u"  #Work   anna  "_qs);
        QCOMPARE(query.terms, QStringList{"anna"});
        QCOMPARE(query.tagFilters, QStringList{"work"});
        QVERIFY(!query.isEmpty);
        QVERIFY(!query.isQuestion);
        // Each piece is folded into its tokens.
        QCOMPARE(QueryParser::parse(u"O'Brien-Smith Zoë"_qs).terms,
                 (QStringList{"o", "brien", "smith", "zoe"}));
    }

    void loneHashIsAnEmptyQuery() {
        const ParsedQuery query = QueryParser::parse(u"#"_qs);
        QVERIFY(query.terms.isEmpty());
        QVERIFY(query.tagFilters.isEmpty());
        QVERIFY(query.isEmpty);
        QVERIFY(QueryParser::parse(u" \n "_qs).isEmpty);
    }

    void questionDetection_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("question");
        QTest::newRow("question mark") << u"anna?"_qs << true;
        QTest::newRow("question mark after spaces") << u"who plays cello?  "_qs << true;
        QTest::newRow("four terms with who") << u"who plays the cello"_qs << true;
        QTest::newRow("three terms with who") << u"who plays cello"_qs << false;
        QTest::newRow("four terms, no question word") << u"anna maria de souza"_qs << false;
        QTest::newRow("haven folded") << u"friends I HAVEN'T seen"_qs << true;
        QTest::newRow("circle filters are not terms") << u"#a #b who met"_qs << false;
    }

    void questionDetection() {
        QFETCH(QString, input);
        QFETCH(bool, question);
        QCOMPARE(QueryParser::parse(input).isQuestion, question);
    }

    void interestPhraseStripping_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("people who like") << u"  People who like Jazz "_qs << u"Jazz"_qs;
        QTest::newRow("someone who enjoys") << u"someone who enjoys climbing"_qs << u"climbing"_qs;
        QTest::newRow("nothing after the phrase") << u"people who like   "_qs << u"people who like"_qs;
        QTest::newRow("no phrase") << u" cello players "_qs << u"cello players"_qs;
        QTest::newRow("find people who like, not people who like")
            << u"find people who like bees"_qs << u"bees"_qs;
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
