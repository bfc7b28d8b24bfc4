// The embedding index: its file's rules, which profiles are embedded again, searching by the best
// of a person's vectors, erasing and rebuilding.
#include "Search/SearchEngine.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/EmbeddingIndexFile.h"
#include "Semantic/ProfileEmbeddingText.h"
#include "TestSupport/Await.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSemaphore>
#include <QTest>
#include <atomic>
#include <cmath>

namespace pemmo {
namespace {

// Three topics and a fourth axis for anything else: a text's vector counts the topic words in
// it. Every text it is asked for is remembered, so tests can tell what was embedded.
class TopicEmbedder : public Embedder {
public:
    explicit TopicEmbedder(int dimension = 4)
        : m_dimension(dimension) {}

    int dimension() const override { return m_dimension; }
    QString identifier() const override { return u"topics-%1"_qs.arg(m_dimension); }
    std::optional<EmbeddingVector> embed(const QString& text) const override {
        {
            QMutexLocker lock(&m_mutex);
            m_asked.append(text);
        }
        const QString t = text.trimmed().toLower();
        if (t.isEmpty() || t.contains(u"unknowable"_qs))
            return std::nullopt;
        EmbeddingVector v(std::size_t(m_dimension), 0.0f);
        const auto count = [&t](std::initializer_list<const char*> words) {
            float n = 0;
            for (const char* w : words)
                n += float(t.count(QString::fromLatin1(w)));
            return n;
        };
        v[0] = count({"jazz", "cello", "music", "concert"});
        v[1] = count({"tennis", "football", "climbing"});
        v[2] = count({"bread", "baking", "cooking"});
        v[3] = 0.1f; // everything has a little of the rest
        if (t == u"zero")
            return EmbeddingVector(std::size_t(m_dimension), 0.0f);
        if (t.startsWith(u"angle "_qs))
            v = {std::cos(t.mid(6).toFloat()), std::sin(t.mid(6).toFloat()), 0, 0};
        return v;
    }

    QStringList asked() const {
        QMutexLocker lock(&m_mutex);
        return m_asked;
    }
    void forget() {
        QMutexLocker lock(&m_mutex);
        m_asked.clear();
    }

private:
    int m_dimension;
    mutable QMutex m_mutex;
    mutable QStringList m_asked;
};

// Holds the update at one text until the test lets it go, so the test can act while it runs.
class GatedEmbedder : public TopicEmbedder {
public:
    explicit GatedEmbedder(int gateAt)
        : m_gateAt(gateAt) {}

    std::optional<EmbeddingVector> embed(const QString& text) const override {
        if (m_calls.fetch_add(1) + 1 == m_gateAt) {
            reached.release();
            proceed.acquire();
        }
        return TopicEmbedder::embed(text);
    }

    mutable QSemaphore reached;
    mutable QSemaphore proceed;

private:
    int m_gateAt;
    mutable std::atomic<int> m_calls{0};
};

Profile profile(const QString& id, const QString& about, QStringList notes = {}) {
    Profile p;
    p.person = test::person(id, id.toUpper(), u"Test"_qs);
    p.record = PemmoRecord::fresh(QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC));
    p.record.edit().about = about;
    int day = 0;
    for (const QString& note : notes) {
        Interaction entry;
        entry.id = QUuid::createUuid();
        entry.date = p.record->updatedAt.addDays(++day);
        entry.text = note;
        p.record.edit().interactions.append(entry);
    }
    return p;
}

QString fileJson(const QString& embedder, int dim, const QJsonObject& entries) {
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"embedder", embedder}, {"dim", dim}, {"entries", entries}}).toJson());
}

QString base64Floats(int count, float value = 0.5f) {
    return QString::fromStdString(
        EmbeddingIndexFile::encodeVector(EmbeddingVector(std::size_t(count), value)));
}

} // namespace

class TestEmbeddingIndex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Text that is not exactly Base64 of whole floats is no vector.
    void vectorsTravelAsLittleEndianBase64_data() {
        QTest::addColumn<QString>("base64");
        QTest::addColumn<QList<float>>("values"); // empty: not a vector of two floats
        QTest::newRow("one") << u"AACAPw=="_qs << QList<float>{1.0f};
        QTest::newRow("two") << u"AACAPwAAAMA="_qs << QList<float>{1.0f, -2.0f};
        QTest::newRow("three") << u"AAAAAAAAAD8AAFBA"_qs << QList<float>{0.0f, 0.5f, 3.25f};
        QTest::newRow("a float short") << u"AACAPw=="_qs << QList<float>{};
        QTest::newRow("not base64") << u"AACA*wAAAMA="_qs << QList<float>{};
        QTest::newRow("length not a multiple of four") << u"AACAPwAAAMA"_qs << QList<float>{};
        QTest::newRow("padding inside") << u"AA==AAAAAMA="_qs << QList<float>{};
    }

    void vectorsTravelAsLittleEndianBase64() {
        QFETCH(QString, base64);
        QFETCH(QList<float>, values);
        if (values.isEmpty()) {
            QVERIFY(!EmbeddingIndexFile::decodeVector(base64.toStdString(), 2));
            return;
        }
        const EmbeddingVector vector(values.begin(), values.end());
        QCOMPARE(QString::fromStdString(EmbeddingIndexFile::encodeVector(vector)), base64);
        QCOMPARE(EmbeddingIndexFile::decodeVector(base64.toStdString(), int(values.size())), vector);
        // The same bytes as Qt's own Base64 of the raw floats.
        QCOMPARE(QByteArray::fromBase64(base64.toLatin1()),
                 QByteArray(reinterpret_cast<const char*>(vector.data()), qsizetype(vector.size() * 4)));
    }

    // A file of another embedder or dimension is discarded whole, and so is one that cannot be read.
    void whatAFileKeeps_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kept");
        const auto file = [](const char* embedder, int dim) {
            const QJsonObject entries{{"a", QJsonObject{{"hash", "h"}, {"v", base64Floats(dim)}}},
                                      {"b", QJsonObject{{"hash", "h"}, {"v", base64Floats(dim)}}}};
            return fileJson(embedder, dim, entries).toUtf8();
        };
        QTest::newRow("same") << file("topics-4", 4) << 2;
        QTest::newRow("other dimension") << file("topics-4", 5) << 0;
        QTest::newRow("other embedder") << file("nl-sentence-en-4", 4) << 0;
        QTest::newRow("not json") << QByteArray("{\"embedder\": ") << 0;
        QTest::newRow("no entries") << QByteArray(R"({"embedder":"topics-4","dim":4})") << 0;
        QTest::newRow("entry without hash")
            << fileJson("topics-4", 4, {{"a", QJsonObject{{"v", base64Floats(4)}}}}).toUtf8() << 0;
        QTest::newRow("dim as text") << QByteArray(R"({"embedder":"topics-4","dim":"4","entries":{}})") << 0;
    }

    void whatAFileKeeps() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kept);
        QCOMPARE(int(EmbeddingIndexFile::decode(bytes, u"topics-4"_qs, 4, "f").size()), kept);
    }

    void oneEntryOfTheWrongLengthIsDroppedAndTheOthersKept() {
        const QJsonObject entries{
            {"short", QJsonObject{{"hash", "1"}, {"v", base64Floats(511)}}},
            {"badMemory",
             QJsonObject{{"hash", "2"}, {"v", base64Floats(512)}, {"memories", QJsonArray{base64Floats(3)}}}},
            {"good", QJsonObject{{"hash", "3"},
                                 {"v", base64Floats(512)},
                                 {"memories", QJsonArray{base64Floats(512)}}}},
            {"plain", QJsonObject{{"hash", "4"}, {"v", base64Floats(512, -1.0f)}}}};
        const auto decoded =
            EmbeddingIndexFile::decode(fileJson("e", 512, entries).toUtf8(), u"e"_qs, 512, "f");
        QCOMPARE(decoded.keys().size(), 2);
        QCOMPARE(decoded.value("good").vectors.size(), std::size_t(2 * 512)); // the profile's and one memory
        QCOMPARE(decoded.value("plain").vectors, std::vector<float>(512, -1.0f));
        QCOMPARE(decoded.value("plain").hash, u"4"_qs);
    }

    void theFileRoundTripsThroughTheIndex() {
        test::TempDir dir;
        const QString path = dir.filePath(u"sub/embeddings.json"_qs);
        auto embedder = std::make_shared<TopicEmbedder>();
        const QList<Profile> people{profile("a", "jazz", {"cello concert"}), profile("b", "tennis")};
        {
            EmbeddingIndex index(embedder, path);
            test::await(index.update(people));
            QVERIFY(test::await(index.persist()));  // makes the missing folder
            QVERIFY(!test::await(index.persist())); // nothing changed since
        }
        const QJsonObject file = QJsonDocument::fromJson(dir.read(u"sub/embeddings.json"_qs)).object();
        QCOMPARE(file.value("embedder").toString(), u"topics-4"_qs);
        QCOMPARE(file.value("dim").toInt(), 4);
        embedder->forget();
        EmbeddingIndex reloaded(embedder, path);
        const auto result = test::await(reloaded.update(people));
        QCOMPARE(result.embedded, 0);
        QCOMPARE(result.kept, 2);
        QVERIFY(embedder->asked().isEmpty());
        QCOMPARE(test::await(reloaded.search(u"music"_qs, 1)).first().id, u"a"_qs);
    }

    void onlyTheChangedProfileIsEmbeddedAgain() {
        auto embedder = std::make_shared<TopicEmbedder>();
        EmbeddingIndex index(embedder, std::nullopt);
        QList<Profile> people{profile("a", "jazz", {"cello"}), profile("b", "tennis", {"football"}),
                              profile("c", "bread")};
        QCOMPARE(test::await(index.update(people)).embedded, 3);
        embedder->forget();
        people[1].record.edit().interactions[0].text = u"climbing"_qs;
        const auto result = test::await(index.update(people));
        QCOMPARE(result.embedded, 1);
        QCOMPARE(result.kept, 2);
        // b's profile text and its memories, nothing of a or c.
        const QStringList asked = embedder->asked();
        QVERIFY(!asked.isEmpty());
        for (const QString& text : asked)
            QVERIFY2(!text.contains(u"jazz"_qs) && !text.contains(u"bread"_qs), qPrintable(text));
        QVERIFY(asked.contains(u"climbing"_qs));
    }

    // What the user wrote is a memory (about and how you met each of their own); what Pemmo
    // logged by itself is not.
    void memoriesAreWhatTheUserWrote() {
        Profile p = profile("a", " Plays jazz on Fridays ", {"cello", " "});
        p.record.edit().details.howWeMet = u" At the climbing gym "_qs;
        Interaction logged;
        logged.text = u"Opened Messages"_qs;
        logged.source = Interaction::Source::automatic();
        p.record.edit().interactions.append(logged);
        QCOMPARE(ProfileEmbeddingText::memories(p),
                 (QStringList{"cello", "Plays jazz on Fridays", "At the climbing gym"}));
        QVERIFY(!ProfileEmbeddingText::text(p).contains(u"Opened Messages"_qs));
    }

    void vectorsStayWithTheirPersonThroughChangesAndDepartures() {
        // People gain and lose memories (their rows move to the end), leave (their rows die and
        // their places are reused) and come back, until dead rows are dropped: afterwards the index
        // must hold exactly what a fresh one made from the last list holds.
        auto embedder = std::make_shared<TopicEmbedder>();
        EmbeddingIndex index(embedder, std::nullopt);
        QList<Profile> people;
        for (int i = 0; i < 8; ++i)
            people.append(profile(u"p%1"_qs.arg(i), u"bread"_qs, {"tennis"}));
        test::await(index.update(people));
        people[2].record.edit().interactions.append(Interaction{});
        people[2].record.edit().interactions.last().text = u"jazz concert"_qs;
        people[5].record.edit().interactions.clear();
        people.removeAt(6);
        people.removeAt(0);
        QCOMPARE(test::await(index.update(people)).removed, 2);
        people.append(profile(u"q"_qs, u"music"_qs, {"cello", "climbing"}));
        people[3].record.edit().about = u"cooking"_qs;
        test::await(index.update(people));

        EmbeddingIndex fresh(embedder, std::nullopt);
        test::await(fresh.update(people));
        QCOMPARE(test::await(index.entries()), test::await(fresh.entries()));
        const auto stats = test::await(index.stats());
        QCOMPARE(stats.entries, int(people.size()));
        QCOMPARE(stats.vectors, test::await(fresh.stats()).vectors);
        // Everyone left is found once, nobody who left.
        const QList<SemanticHit> hits = test::await(index.search(u"music"_qs, 20));
        QCOMPARE(hits.size(), people.size());
        QCOMPARE(hits[0].id, u"q"_qs);
        QCOMPARE(hits[1].id, u"p2"_qs);
    }

    void theBestOfAPersonsVectorsCounts() {
        EmbeddingIndex index(std::make_shared<TopicEmbedder>(), std::nullopt);
        // b's profile as a whole is mostly about sport, but one memory is about music alone.
        test::await(index.update({profile("a", "tennis football music"),
                                  profile("b", "tennis football", {"jazz"}), profile("c", "bread")}));
        const QList<SemanticHit> hits = test::await(index.search(u"music"_qs, 2));
        QCOMPARE(test::ids(hits), (QStringList{u"b"_qs, u"a"_qs}));
        QVERIFY(hits[0].similarity > 0.99 && hits[0].similarity > hits[1].similarity);
    }

    // A query without a vector finds nobody, and a profile without one is never found; it is
    // stored all the same, so it is not embedded again on every update.
    void withoutAVectorNothingIsFound_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("query without a vector") << u"unknowable"_qs << QStringList();
        QTest::newRow("blank query") << u"   "_qs << QStringList();
        QTest::newRow("query of zero length") << u"zero"_qs << QStringList();
        QTest::newRow("profile without a vector") << u"jazz"_qs << QStringList{u"b"_qs};
    }

    void withoutAVectorNothingIsFound() {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        EmbeddingIndex index(std::make_shared<TopicEmbedder>(), std::nullopt);
        Profile silent = profile("a", QString());
        silent.person.edit().givenName = u"unknowable"_qs;
        const QList<Profile> people{silent, profile("b", "jazz")};
        test::await(index.update(people));
        QCOMPARE(test::ids(test::await(index.search(query, 8))), found);
        QCOMPARE(test::await(index.update(people)).kept, 2);
    }

    // Only the interest itself is embedded; the phrase's own cases are the query parser's.
    void theInterestPhraseIsTakenOffTheQuery() {
        auto embedder = std::make_shared<TopicEmbedder>();
        EmbeddingIndex index(embedder, std::nullopt);
        test::await(index.search(u"  Someone who enjoys  baking "_qs, 8));
        QCOMPARE(embedder->asked(), QStringList{"baking"});
    }

    void theSearchScreenAdmitsCloseNewPeopleOnly() {
        // Eleven people at angles from the query: cosines from 1.0 down past 0.44.
        EmbeddingIndex index(std::make_shared<TopicEmbedder>(), std::nullopt);
        QList<Profile> people;
        const double angles[] = {
            0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, std::acos(0.45) - 1e-4, std::acos(0.44)};
        for (int i = 0; i < 11; ++i) {
            Profile p = profile(u"p%1"_qs.arg(i), QString());
            p.person.edit().givenName = u"angle %1"_qs.arg(angles[i], 0, 'g', 12);
            p.person.edit().familyName.clear();
            people.append(p);
        }
        test::await(index.update(people));
        const QList<SemanticHit> hits = test::await(index.search(u"angle 0"_qs, 20));
        QCOMPARE(hits.size(), 11);
        const QList<SearchHit> lexical{{u"p1"_qs, 0.9, {}, MatchTier::Lexical, std::nullopt}};
        const QList<SearchHit> merged = SearchEngine::mergeSemantic(
            lexical, hits, SearchEngine::semanticMinimumSimilarity, SearchEngine::semanticLimit);
        // p1 was found by its words; p10 is below 0.45; of the rest the best eight.
        QCOMPARE(test::ids(merged.mid(1)), (QStringList{"p0", "p2", "p3", "p4", "p5", "p6", "p7", "p8"}));
        QVERIFY(hits[9].similarity >= 0.45 && hits[10].similarity < 0.45);
    }

    void rebuildEmbedsEveryProfileAgainAndEraseForgetsThem() {
        test::TempDir dir;
        const QString path = dir.filePath(u"embeddings.json"_qs);
        auto embedder = std::make_shared<TopicEmbedder>();
        EmbeddingIndex index(embedder, path);
        const QList<Profile> people{profile("a", "jazz"), profile("b", "tennis")};
        test::await(index.update(people));
        embedder->forget();
        const auto result = test::await(index.rebuild(people));
        QCOMPARE(result.embedded, 2);
        QCOMPARE(result.kept, 0);
        QVERIFY(embedder->asked().size() >= 2);
        QVERIFY(QFile::exists(path)); // written at once
        QCOMPARE(test::await(index.stats()).needsPersist, false);

        test::await(index.erase());
        QVERIFY(!QFile::exists(path));
        QVERIFY(test::await(index.search(u"jazz"_qs, 8)).isEmpty());
        QCOMPARE(test::await(index.stats()).entries, 0);
    }

    void aCancelledUpdateKeepsWhatItEmbedded() {
        // The update is held at its 50th text while it is cancelled, so that it has embedded
        // some people and not all, however fast the machine.
        auto embedder = std::make_shared<GatedEmbedder>(50);
        EmbeddingIndex index(embedder, std::nullopt);
        QList<Profile> people;
        for (int i = 0; i < 200; ++i)
            people.append(profile(u"p%1"_qs.arg(i), u"jazz %1"_qs.arg(i)));
        auto running = index.update(people);
        QVERIFY(embedder->reached.tryAcquire(1, 10000));
        index.cancelUpdate();
        embedder->proceed.release();
        const auto stopped = test::await(std::move(running));
        QVERIFY(stopped.cancelled);
        QVERIFY(stopped.embedded > 0);
        QVERIFY(stopped.embedded < people.size());
        QCOMPARE(stopped.removed, 0);
        const auto finished = test::await(index.update(people));
        QVERIFY(!finished.cancelled);
        QCOMPARE(finished.embedded + finished.kept, 200);
        QCOMPARE(finished.kept, stopped.embedded);
    }

    void aFailedWriteIsTriedAgain() {
        test::TempDir dir;
        dir.write(u"blocker"_qs, "a file where a folder should be");
        EmbeddingIndex index(std::make_shared<TopicEmbedder>(), dir.filePath(u"blocker/embeddings.json"_qs));
        test::await(index.update({profile("a", "jazz")}));
        QVERIFY_THROWS_EXCEPTION(std::exception, test::await(index.persist()));
        QVERIFY(test::await(index.stats()).needsPersist);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestEmbeddingIndex)
#include "TestEmbeddingIndex.moc"
