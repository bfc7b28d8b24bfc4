// The word table and the sentence embedder over a miniature word-vector package.
#include "Semantic/GloveEmbedder.h"
#include "Semantic/WordTable.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QFile>
#include <QTest>
#include <cmath>
#include <thread>

namespace pemmo {
namespace {

double cosine(const EmbeddingVector& a, const EmbeddingVector& b) {
    double dot = 0, na = 0, nb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        dot += double(a[i]) * b[i];
        na += double(a[i]) * a[i];
        nb += double(b[i]) * b[i];
    }
    return dot / std::sqrt(na * nb);
}

// Four dimensions leave room to take out only the shared one and keep the three others; neither
// whitened nor with stems unless asked for.
GloveEmbedder::Tuning small(int stemDimensions = 0, double stemShare = 0) {
    GloveEmbedder::Tuning tuning;
    tuning.removedDirections = 1;
    tuning.meaningDimensions = 3;
    tuning.whitening = 0;
    tuning.stemDimensions = stemDimensions;
    tuning.stemShare = stemShare;
    return tuning;
}

} // namespace

class TestGloveEmbedder : public QObject {
    Q_OBJECT
    test::TempDir m_dir;
    QString m_table;

private Q_SLOTS:
    void initTestCase() {
        m_table = m_dir.filePath(QStringLiteral("tiny.wordtable"));
        test::writeTinyWordTable(m_table);
    }

    void theTableKeepsWhatSearchTokensCanBe_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a plain word") << "cello" << true;
        QTest::newRow("a stop word") << "the" << false;
        QTest::newRow("two tokens once folded") << "e-mail" << false;
        QTest::newRow("a number") << "2019" << false;
        QTest::newRow("folded accent") << "cafe" << true;
        QTest::newRow("the unfolded form") << "café" << false;
    }

    void theTableKeepsWhatSearchTokensCanBe() {
        QFETCH(QString, word);
        QFETCH(bool, kept);
        const auto table = WordTable::open(m_table);
        QVERIFY(table);
        QCOMPARE(table->find(word.toStdString()).has_value(), kept);
    }

    void theMoreFrequentOfTwoWordsThatFoldAlikeWins() {
        // "café" comes before "cafe" in the package and means food there; "cafe" is noise.
        const auto embedder = GloveEmbedder::open(m_table, small());
        QVERIFY(embedder);
        const auto cafe = embedder->embed(QStringLiteral("Café"));
        const auto bread = embedder->embed(QStringLiteral("bread"));
        const auto tennis = embedder->embed(QStringLiteral("tennis"));
        QVERIFY(cafe && bread && tennis);
        QVERIFY(cosine(*cafe, *bread) > cosine(*cafe, *tennis));
    }

    void ranksAndQuantisedVectorsSurviveTheFile() {
        const auto table = WordTable::open(m_table);
        const auto cello = table->find("cello");
        QVERIFY(cello);
        QCOMPARE(table->rank(*cello), 3u); // 1-based place in the package's frequency list
        QCOMPARE(table->dimension(), 4);
        // int8 with a scale per vector: within half a step of the original value.
        const auto values = table->vector(*cello);
        const float original[4] = {0.9f, 0.1f, 0.0f, 0.8f};
        for (int d = 0; d < 4; ++d)
            QVERIFY(std::abs(values[d] * table->scale(*cello) - original[d]) <=
                    table->scale(*cello) / 2 + 1e-6f);
        QCOMPARE(table->vocabularySize(), 16u);
    }

    void aTableCutShortIsRefused() {
        QFile whole(m_table);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        m_dir.write(QStringLiteral("cut.wordtable"), bytes.left(bytes.size() - 40));
        m_dir.write(QStringLiteral("junk.wordtable"), QByteArray(256, 'x'));
        QString error;
        QVERIFY(!WordTable::open(m_dir.filePath(QStringLiteral("cut.wordtable")), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!GloveEmbedder::open(m_dir.filePath(QStringLiteral("junk.wordtable"))));
        QVERIFY(!GloveEmbedder::open(m_dir.filePath(QStringLiteral("missing.wordtable"))));
    }

    void textsWithoutKnownWordsHaveNoVector_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("white space") << " \n\t ";
        QTest::newRow("stop words only") << "the";
        QTest::newRow("unknown words") << "zyzzyva qwertz";
        QTest::newRow("numbers") << "2019";
    }

    void textsWithoutKnownWordsHaveNoVector() {
        QFETCH(QString, text);
        const auto embedder = GloveEmbedder::open(m_table, small());
        QVERIFY(!embedder->embed(text));
    }

    void closeMeaningsMeetAndOthersDoNot() {
        const auto embedder = GloveEmbedder::open(m_table, small());
        const auto strings = embedder->embed(QStringLiteral("Plays the violin in an orchestra"));
        const auto cello = embedder->embed(QStringLiteral("cello"));
        const auto sport = embedder->embed(QStringLiteral("football and tennis"));
        QVERIFY(cosine(*strings, *cello) > 0.9);
        QVERIFY(cosine(*strings, *sport) < 0.5);
        // Unknown words and stop words add nothing; case and accents do not matter.
        QVERIFY(cosine(*embedder->embed(QStringLiteral("CELLO zyzzyva")), *cello) > 0.999);
    }

    void theSharedDirectionIsTakenOut() {
        // Every word of the miniature leans the same way (its fourth value): taken as they are,
        // a music word and a sport word look alike; once the shared direction is out, they do not.
        const auto table = WordTable::open(m_table);
        const auto raw = [&table](const char* word) {
            const auto values = table->vector(*table->find(word));
            return EmbeddingVector(values.begin(), values.end());
        };
        QVERIFY(cosine(raw("jazz"), raw("tennis")) > 0.5);
        const auto embedder = GloveEmbedder::open(m_table, small());
        QCOMPARE(embedder->dimension(), 3);
        QVERIFY(cosine(*embedder->embed(QStringLiteral("jazz")), *embedder->embed(QStringLiteral("tennis"))) <
                0.3);
    }

    void theTableHoldsEveryDirectionStrongestFirst() {
        // Orthogonal directions whose lengths, the roots of their spreads, never grow.
        const auto table = WordTable::open(m_table);
        QCOMPARE(table->componentCount(), table->dimension());
        const auto product = [&table](int i, int j) {
            double sum = 0;
            for (int d = 0; d < table->dimension(); ++d)
                sum += double(table->component(i)[std::size_t(d)]) * table->component(j)[std::size_t(d)];
            return sum;
        };
        for (int i = 0; i < table->componentCount(); ++i) {
            for (int j = i + 1; j < table->componentCount(); ++j)
                QVERIFY(std::abs(product(i, j)) < 1e-4 * product(0, 0));
            if (i > 0)
                QVERIFY(product(i, i) <= product(i - 1, i - 1) * (1 + 1e-5));
        }
        QVERIFY(product(0, 0) > 0);
        // The strongest lies mostly along the value every word of the miniature has (0.8 beside
        // topic values of about 0.3 on average).
        QVERIFY(std::abs(table->component(0)[3]) > 0.8 * std::sqrt(product(0, 0)));
    }

    void whiteningDividesEachKeptDirectionByItsSpread_data() {
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("floor");
        QTest::newRow("none") << 0.0 << 0.1;
        QTest::newRow("half") << 0.5 << 0.1;
        QTest::newRow("full") << 1.0 << 0.1;
        QTest::newRow("full, higher floor") << 1.0 << 0.5;
    }

    void whiteningDividesEachKeptDirectionByItsSpread() {
        QFETCH(double, power);
        QFETCH(double, floor);
        GloveEmbedder::Tuning tuning = small();
        tuning.whitening = power;
        tuning.whiteningFloor = floor;
        const auto embedder = GloveEmbedder::open(m_table, tuning);
        const auto table = WordTable::open(m_table);
        const auto spread = [&table](int i) {
            double sum = 0;
            for (const float x : table->component(i))
                sum += double(x) * x;
            return sum;
        };
        // By hand: the weighted word vector seen along each kept unit direction, divided by
        // (spread relative to the first kept one + floor)^(power / 2), then unit length.
        const std::uint32_t word = *table->find("jazz");
        const double weight =
            GloveEmbedder::wordWeight(table->rank(word), table->vocabularySize(), table->weightParameter());
        std::vector<double> expected;
        double length = 0;
        for (int i = 1; i < 4; ++i) {
            double along = 0;
            for (int d = 0; d < 4; ++d)
                along += weight * table->scale(word) * table->vector(word)[std::size_t(d)] *
                         table->component(i)[std::size_t(d)] / std::sqrt(spread(i));
            expected.push_back(along * std::pow(spread(i) / spread(1) + floor, -power / 2));
            length += expected.back() * expected.back();
        }
        const auto vector = embedder->embed(QStringLiteral("jazz"));
        QCOMPARE(qsizetype(vector->size()), 3);
        for (std::size_t k = 0; k < 3; ++k)
            QVERIFY2(std::abs((*vector)[k] - expected[k] / std::sqrt(length)) < 1e-4,
                     qPrintable(QStringLiteral("%1: %2").arg(k).arg((*vector)[k])));
    }

    void aSharedStemBringsTextsCloser() {
        // "bakes" is not in the miniature, but it shares its stem with "baking".
        const auto plain = GloveEmbedder::open(m_table, small());
        const auto stems = GloveEmbedder::open(m_table, small(400, 0.3));
        const QString a = QStringLiteral("bread baking"), b = QStringLiteral("bread, bakes");
        const double meaning = cosine(*plain->embed(a), *plain->embed(b));
        const double both = cosine(*stems->embed(a), *stems->embed(b));
        // Both stems shared, with the weights of their words: well over half the stem share adds to
        // (1 − 0.3) · meaning.
        QVERIFY2(both - 0.7 * meaning > 0.15, qPrintable(QString::number(both)));
    }

    void textsWithoutASharedStemLoseTheStemShare() {
        const auto plain = GloveEmbedder::open(m_table, small());
        const auto stems = GloveEmbedder::open(m_table, small(400, 0.3));
        QCOMPARE(stems->dimension(), 403);
        const QString a = QStringLiteral("jazz"), b = QStringLiteral("cello orchestra");
        const double meaning = cosine(*plain->embed(a), *plain->embed(b));
        const double both = cosine(*stems->embed(a), *stems->embed(b));
        // Codes of different stems are nearly orthogonal: about 0.3 / √400 of noise.
        QVERIFY2(std::abs(both - 0.7 * meaning) < 0.05, qPrintable(QString::number(both)));
        // A text stays itself, whatever its case and accents.
        QVERIFY(std::abs(cosine(*stems->embed(a), *stems->embed(QStringLiteral(" JAZZ "))) - 1.0) < 1e-5);
        QVERIFY(
            std::abs(cosine(*stems->embed(QStringLiteral("café")), *stems->embed(QStringLiteral("CAFE"))) -
                     1.0) < 1e-5);
    }

    void frameWordsAroundATopicAreLeftOut_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("verb") << "plays cello";
        QTest::newRow("past tense") << "Gave me a cello";
        QTest::newRow("question") << "who can teach me the cello?";
        QTest::newRow("frame noun") << "cello fan";
    }

    void frameWordsAroundATopicAreLeftOut() {
        // None of the frame words is in the miniature, so each would add a stem of full weight.
        QFETCH(QString, text);
        const auto embedder = GloveEmbedder::open(m_table, small(400, 0.3));
        const auto cello = embedder->embed(QStringLiteral("cello"));
        QVERIFY(std::abs(cosine(*embedder->embed(text), *cello) - 1.0) < 1e-5);
        GloveEmbedder::Tuning keep = small(400, 0.3);
        keep.dropFrameWords = false;
        const auto keeping = GloveEmbedder::open(m_table, keep);
        QVERIFY(cosine(*keeping->embed(text), *keeping->embed(QStringLiteral("cello"))) < 0.95);
        // A text of frame words alone says nothing.
        QVERIFY(!embedder->embed(QStringLiteral("plays, gave, took")));
    }

    void stemsAreTheSameOnEveryThread_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("stem");
        QTest::newRow("plural") << "drums"
                                << "drum";
        QTest::newRow("gerund") << "baking"
                                << "bake";
        QTest::newRow("agent") << "hillwalking"
                               << "hillwalk";
        QTest::newRow("unchanged") << "jazz"
                                   << "jazz";
    }

    void stemsAreTheSameOnEveryThread() {
        QFETCH(QString, word);
        QFETCH(QString, stem);
        QCOMPARE(QString::fromStdString(GloveEmbedder::stem(word.toStdString())), stem);
        std::string elsewhere;
        // Joined as a std::thread: ThreadSanitizer sees a join, not the Qt mutex behind
        // QThread::wait(), and would take the answer read here for a race.
        std::thread thread([&] { elsewhere = GloveEmbedder::stem(word.toStdString()); });
        thread.join();
        QCOMPARE(QString::fromStdString(elsewhere), stem);
    }

    void theIdentifierNamesTheTableTheRecipeAndTheDimension() {
        const auto embedder = GloveEmbedder::open(m_table, small(6, 0.3));
        QVERIFY(embedder->identifier().startsWith(QStringLiteral("tiny-")));
        QVERIFY(embedder->identifier().endsWith(QStringLiteral("-9")));
        // Another share of the stems is another recipe.
        QVERIFY(embedder->identifier() != GloveEmbedder::open(m_table, small(6, 0.4))->identifier());
        // So is keeping the frame words.
        GloveEmbedder::Tuning keep = small(6, 0.3);
        keep.dropFrameWords = false;
        QVERIFY(embedder->identifier() != GloveEmbedder::open(m_table, keep)->identifier());
    }

    void theWeightFavoursRareWords() {
        QVERIFY(GloveEmbedder::wordWeight(1, 400000, 1e-3) < 0.05);
        QVERIFY(GloveEmbedder::wordWeight(100000, 400000, 1e-3) > 0.99);
        QVERIFY(GloveEmbedder::wordWeight(100, 400000, 1e-3) < GloveEmbedder::wordWeight(1000, 400000, 1e-3));
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestGloveEmbedder)
#include "TestGloveEmbedder.moc"
