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
        m_table = m_dir.filePath(u"tiny.wordtable"_qs);
        test::writeTinyWordTable(m_table);
    }

    void theTableKeepsWhatSearchTokensCanBe_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a plain word") << u"cello"_qs << true;
        QTest::newRow("a stop word") << u"the"_qs << false;
        QTest::newRow("two tokens once folded") << u"e-mail"_qs << false;
        QTest::newRow("a number") << u"2019"_qs << false;
        QTest::newRow("folded accent") << u"cafe"_qs << true;
        QTest::newRow("the unfolded form") << u"café"_qs << false;
    }

    void theTableKeepsWhatSearchTokensCanBe() {
        QFETCH(QString, word);
        QFETCH(bool, kept);
        const auto table = WordTable::open(m_table);
        QVERIFY(table);
        QCOMPARE(table->find(word.toStdString()).has_value(), kept);
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
        m_dir.write(u"cut.wordtable"_qs, bytes.left(bytes.size() - 40));
        m_dir.write(u"junk.wordtable"_qs, QByteArray(256, 'x'));
        QString error;
        QVERIFY(!WordTable::open(m_dir.filePath(u"cut.wordtable"_qs), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!GloveEmbedder::open(m_dir.filePath(u"junk.wordtable"_qs)));
        QVERIFY(!GloveEmbedder::open(m_dir.filePath(u"missing.wordtable"_qs)));
    }

    void textsWithoutKnownWordsHaveNoVector_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << u""_qs;
        QTest::newRow("white space") << u" \n\t "_qs;
        QTest::newRow("stop words only") << u"the"_qs;
        QTest::newRow("unknown words") << u"zyzzyva qwertz"_qs;
        QTest::newRow("numbers") << u"2019"_qs;
    }

    void textsWithoutKnownWordsHaveNoVector() {
        QFETCH(QString, text);
        const auto embedder = GloveEmbedder::open(m_table, small());
        QVERIFY(!embedder->embed(text));
    }

    void closeMeaningsMeetAndOthersDoNot() {
        const auto embedder = GloveEmbedder::open(m_table, small());
        QVERIFY(embedder);
        const auto strings = embedder->embed(u"Plays the violin in an orchestra"_qs);
        const auto cello = embedder->embed(u"cello"_qs);
        const auto sport = embedder->embed(u"football and tennis"_qs);
        QVERIFY(cosine(*strings, *cello) > 0.9);
        QVERIFY(cosine(*strings, *sport) < 0.5);
        // Unknown words and stop words add nothing; case and accents do not matter.
        QVERIFY(cosine(*embedder->embed(u"CELLO zyzzyva"_qs), *cello) > 0.999);
        // "café" comes before "cafe" in the package and means food there; "cafe" is noise: of two
        // words that fold alike, the more frequent wins.
        const auto cafe = embedder->embed(u"Café"_qs);
        QVERIFY(cosine(*cafe, *embedder->embed(u"bread"_qs)) > cosine(*cafe, *sport));
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
        QVERIFY(cosine(*embedder->embed(u"jazz"_qs), *embedder->embed(u"tennis"_qs)) < 0.3);
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
        const auto vector = embedder->embed(u"jazz"_qs);
        QCOMPARE(qsizetype(vector->size()), 3);
        for (std::size_t k = 0; k < 3; ++k)
            QVERIFY2(std::abs((*vector)[k] - expected[k] / std::sqrt(length)) < 1e-4,
                     qPrintable(u"%1: %2"_qs.arg(k).arg((*vector)[k])));
    }

    void aSharedStemBringsTextsCloser() {
        // "bakes" is not in the miniature, but it shares its stem with "baking".
        const auto plain = GloveEmbedder::open(m_table, small());
        const auto stems = GloveEmbedder::open(m_table, small(400, 0.3));
        const QString a = u"bread baking"_qs, b = u"bread, bakes"_qs;
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
        const QString a = u"jazz"_qs, b = u"cello orchestra"_qs;
        const double meaning = cosine(*plain->embed(a), *plain->embed(b));
        const double both = cosine(*stems->embed(a), *stems->embed(b));
        // Codes of different stems are nearly orthogonal: about 0.3 / √400 of noise.
        QVERIFY2(std::abs(both - 0.7 * meaning) < 0.05, qPrintable(QString::number(both)));
        // A text stays itself, whatever its case and accents.
        QVERIFY(std::abs(cosine(*stems->embed(a), *stems->embed(u" JAZZ "_qs)) - 1.0) < 1e-5);
        QVERIFY(std::abs(cosine(*stems->embed(u"café"_qs), *stems->embed(u"CAFE"_qs)) - 1.0) < 1e-5);
    }

    void frameWordsAroundATopicAreLeftOut_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("verb") << u"plays cello"_qs;
        QTest::newRow("past tense") << u"Gave me a cello"_qs;
        QTest::newRow("question") << u"who can teach me the cello?"_qs;
        QTest::newRow("frame noun") << u"cello fan"_qs;
    }

    void frameWordsAroundATopicAreLeftOut() {
        // None of the frame words is in the miniature, so each would add a stem of full weight.
        QFETCH(QString, text);
        const auto embedder = GloveEmbedder::open(m_table, small(400, 0.3));
        const auto cello = embedder->embed(u"cello"_qs);
        QVERIFY(std::abs(cosine(*embedder->embed(text), *cello) - 1.0) < 1e-5);
        GloveEmbedder::Tuning keep = small(400, 0.3);
        keep.dropFrameWords = false;
        const auto keeping = GloveEmbedder::open(m_table, keep);
        QVERIFY(cosine(*keeping->embed(text), *keeping->embed(u"cello"_qs)) < 0.95);
        // A text of frame words alone says nothing.
        QVERIFY(!embedder->embed(u"plays, gave, took"_qs));
    }

    void stemsAreTheSameOnEveryThread_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("stem");
        QTest::newRow("plural") << u"drums"_qs << u"drum"_qs;
        QTest::newRow("gerund") << u"baking"_qs << u"bake"_qs;
        QTest::newRow("agent") << u"hillwalking"_qs << u"hillwalk"_qs;
        QTest::newRow("unchanged") << u"jazz"_qs << u"jazz"_qs;
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
        QVERIFY(embedder->identifier().startsWith(u"tiny-"_qs));
        QVERIFY(embedder->identifier().endsWith(u"-9"_qs));
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
