// The word table and the sentence embedder over a miniature word-vector package.
#include "Semantic/GloveEmbedder.h"
#include "Semantic/WordTable.h"
#include "Semantic/WordTableBuilder.h"
#include "TestSupport/TempDir.h"

#include <QFile>
#include <QTest>
#include <cmath>

namespace pemmo {
namespace {

QByteArray tinyPackage() {
    QFile file(qEnvironmentVariable("PEMMO_TEST_DATA") + QStringLiteral("/semantic/tiny-vectors.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data");
    return file.readAll();
}

double cosine(const EmbeddingVector& a, const EmbeddingVector& b) {
    double dot = 0, na = 0, nb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        dot += double(a[i]) * b[i];
        na += double(a[i]) * a[i];
        nb += double(b[i]) * b[i];
    }
    return dot / std::sqrt(na * nb);
}

// Four dimensions leave room to take out only the shared one.
GloveEmbedder::Tuning small(double lift = 0, int privateDimensions = 0, double privateWeight = 0) {
    GloveEmbedder::Tuning tuning;
    tuning.removedDirections = 1;
    tuning.lift = lift;
    tuning.privateDimensions = privateDimensions;
    tuning.privateWeight = privateWeight;
    return tuning;
}

} // namespace

class TestGloveEmbedder : public QObject {
    Q_OBJECT
    test::TempDir m_dir;
    QString m_table;

private Q_SLOTS:
    void initTestCase() {
        WordTableBuilder::Options options;
        options.name = QStringLiteral("tiny");
        options.components = 2;
        const WordTable::Source source = WordTableBuilder::fromPackageJson(tinyPackage(), options);
        m_table = m_dir.filePath(QStringLiteral("tiny.wordtable"));
        WordTable::write(source, m_table);
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
        const auto embedder = GloveEmbedder::open(m_table, small());
        const auto table = WordTable::open(m_table);
        const auto shared = table->component(0);
        for (const char* text : {"jazz", "bread baking", "soccer"}) {
            const auto v = embedder->embed(QString::fromLatin1(text));
            double along = 0;
            for (int d = 0; d < 4; ++d)
                along += double((*v)[std::size_t(d)]) * shared[std::size_t(d)];
            QVERIFY2(std::abs(along) < 1e-5, text);
        }
    }

    void theLiftAndTheOwnComponentReshapeTheCosine() {
        // c becomes (c + lift) / (1 + lift + weight) for two different texts; a text stays
        // identical to itself.
        const auto plain = GloveEmbedder::open(m_table, small());
        const auto shaped = GloveEmbedder::open(m_table, small(0.3, 400, 0.25));
        const QString a = QStringLiteral("jazz"), b = QStringLiteral("soccer");
        const double c = cosine(*plain->embed(a), *plain->embed(b));
        QCOMPARE(shaped->dimension(), 404);
        QCOMPARE(qsizetype(shaped->embed(a)->size()), 404);
        QVERIFY(std::abs(cosine(*shaped->embed(a), *shaped->embed(b)) - (c + 0.3) / 1.55) < 0.08);
        QVERIFY(std::abs(cosine(*shaped->embed(a), *shaped->embed(QStringLiteral(" Jazz "))) - 1.0) < 1e-5);
    }

    void theIdentifierNamesTheTableAndTheDimension() {
        const auto embedder = GloveEmbedder::open(m_table, small(0, 6, 0.2));
        QVERIFY(embedder->identifier().startsWith(QStringLiteral("tiny-")));
        QVERIFY(embedder->identifier().endsWith(QStringLiteral("-10")));
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
