// `pemmo search` in-process over a data folder of its own: the panel's sections as JSON lines,
// answered alone or by a running Pemmo over its local socket.
#include "App/AppEnvironment.h"
#include "App/DataFolder.h"
#include "App/SearchCommand.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoRecord.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/GloveEmbedder.h"
#include "Shell/SingleInstance.h"
#include "Store/StoreFile.h"
#include "Support/WaitFor.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <future>
#include <semaphore>

using namespace pemmo;

namespace {

struct Output {
    int status = 0;
    QString out;
    QString err;
};

QString readAll(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

// Something else listening where Pemmo's socket would be, on a thread of its own, as another
// process would: it takes one connection and reads the request, then behaves as told.
class Peer {
public:
    enum class Behaviour { Answers, HangsUp, Stuck };

    Peer(const QString& socketPath, Behaviour behaviour, QByteArray answer = {}) {
        std::promise<void> listening;
        auto listens = listening.get_future();
        // A QThread, so that the server's socket notifiers have a thread Qt knows.
        m_thread.reset(QThread::create([this, socketPath, behaviour, answer, &listening] {
            QLocalServer server;
            const bool ok = server.listen(socketPath);
            listening.set_value();
            if (!ok || !server.waitForNewConnection(10'000))
                return;
            QLocalSocket* socket = server.nextPendingConnection();
            while (!socket->canReadLine() && socket->waitForReadyRead(10'000)) {
            }
            m_requests.fetch_add(1);
            switch (behaviour) {
            case Behaviour::Answers:
                socket->write(answer + '\n');
                socket->waitForBytesWritten(10'000);
                socket->disconnectFromServer();
                break;
            case Behaviour::HangsUp:
                socket->abort();
                break;
            case Behaviour::Stuck:
                // Holds the connection without a word until the test lets go.
                m_gaveUp = !m_release.try_acquire_for(std::chrono::seconds(30));
                break;
            }
        }));
        m_thread->start();
        listens.wait();
    }
    ~Peer() {
        m_release.release();
        m_thread->wait();
    }

    int requests() const { return m_requests.load(); }
    // The stuck peer waited so long that it let go first: the client did not give up on its own.
    bool gaveUp() const { return m_gaveUp.load(); }

private:
    std::unique_ptr<QThread> m_thread;
    std::binary_semaphore m_release{0};
    std::atomic<int> m_requests{0};
    std::atomic<bool> m_gaveUp{false};
};

} // namespace

Q_DECLARE_METATYPE(Peer::Behaviour)

class TestSearchCommand : public QObject {
    Q_OBJECT
    test::TempDir m_home;

    Output search(const QStringList& arguments,
                  std::optional<std::chrono::milliseconds> askTimeout = RunningPemmo::defaultTimeout) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = SearchCommand::run(arguments, out, err, Console::Ending::Tidy, askTimeout);
        return {status, readAll(out), readAll(err)};
    }

    QString runtimeFolder() const { return m_home.filePath(u"runtime"_qs); }
    QString socketFolder() const { return SingleInstance::defaultFolder(); }
    QString socketPath() const { return QDir(socketFolder()).filePath(u"pemmo.socket"_qs); }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_qs).toUtf8());
        qputenv("XDG_CACHE_HOME", m_home.filePath(u"cache"_qs).toUtf8());
        // Only Pemmos of this test answer; none of the user's.
        QDir().mkpath(runtimeFolder());
        QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeFolder().toUtf8());
        QVERIFY(socketFolder().startsWith(runtimeFolder()));
        QDir().mkpath(socketFolder());
        QDir().mkpath(m_home.filePath(u"Pemmo/Contacts"_qs));
        m_home.write(u"Pemmo/Contacts/a.vcf"_qs, test::vcard("a", u"𝒜nna"_qs, "Lee"));
        m_home.write(u"Pemmo/Contacts/b.vcf"_qs, test::vcard("b", "Anna", "Maria"));
        m_home.write(u"Pemmo/Contacts/c.vcf"_qs, test::vcard("c", "Bob", "Stone"));
        const QDateTime written(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
        PemmoRecord climber = PemmoRecord::fresh(written);
        climber.tags = {u"climbing"_qs};
        PemmoRecord cellist = PemmoRecord::fresh(written);
        cellist.interactions = {test::note(u"Plays cello in an orchestra"_qs, written)};
        const std::string bytes = StoreFile::encode({{u"c"_qs, climber}, {u"b"_qs, cellist}});
        m_home.write(u"Pemmo/pemmo-store.json"_qs, QByteArray::fromStdString(bytes));

        // A miniature word table where the application looks for one first.
        QDir().mkpath(m_home.filePath(u"pemmo"_qs));
        test::writeTinyWordTable(m_home.filePath(u"pemmo/"_qs + GloveEmbedder::tableFileName()));
    }

    void meaningFindsWhatWordsMiss() {
        const QString index = m_home.filePath(u"Pemmo/embeddings.json"_qs);
        {
            // While the application holds the data folder, the command embeds in memory only.
            const auto running = lockDataFolder(m_home.filePath(u"Pemmo"_qs));
            QVERIFY(running);
            const Output result = search({"--json", "people who like violin"});
            QCOMPARE(result.status, 0);
            QVERIFY2(result.out.contains(u"\"alsoMatches\""_qs), qPrintable(result.out));
            QVERIFY(!QFile::exists(index));
        }
        const Output result = search({"--json", "violin"});
        QCOMPARE(result.status, 0);
        const QJsonArray sections =
            QJsonDocument::fromJson(result.out.trimmed().toUtf8()).object().value("sections").toArray();
        QCOMPARE(sections.size(), 1);
        QCOMPARE(sections[0].toObject().value("section").toString(), u"alsoMatches"_qs);
        const QJsonArray rows = sections[0].toObject().value("rows").toArray();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].toObject().value("id").toString(), u"b"_qs);
        QCOMPARE(rows[0].toObject().value("tier").toString(), u"semantic"_qs);
        QVERIFY(rows[0].toObject().value("score").toDouble() >= 0.45);
        // Owning the folder, it kept what it embedded for next time.
        QVERIFY(QFile::exists(index));
    }

    void jsonLinePerQuery() {
        const Output result = search({"--json", "anna", "#climbing", "zzz"});
        QCOMPARE(result.status, 0);
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);

        const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(first.value("query").toString(), u"anna"_qs);
        const QJsonArray sections = first.value("sections").toArray();
        QCOMPARE(sections.size(), 1);
        QCOMPARE(sections[0].toObject().value("section").toString(), u"results"_qs);
        const QJsonArray rows = sections[0].toObject().value("rows").toArray();
        QCOMPARE(rows.size(), 2);
        const QJsonObject top = rows[0].toObject();
        QCOMPARE(top.value("id").toString(), u"a"_qs); // 𝒜nna Lee before Anna Maria
        QCOMPARE(top.value("profileID").toString(), u"a"_qs);
        QCOMPARE(top.value("title").toString(), u"𝒜nna Lee"_qs);
        QCOMPARE(top.value("score").toDouble(), 1.0);
        QCOMPARE(top.value("tier").toString(), u"lexical"_qs);
        QVERIFY(top.value("reason").isNull());
        // The script capital is one code point (two UTF-16 units): the range counts four.
        QCOMPARE(top.value("nameRanges").toArray(), (QJsonArray{QJsonArray{0, 4}}));

        const QJsonObject circle = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        const QJsonArray circleSections = circle.value("sections").toArray();
        QCOMPARE(
            circleSections.last().toObject().value("rows").toArray()[0].toObject().value("id").toString(),
            u"c"_qs);

        const QJsonObject none = QJsonDocument::fromJson(lines[2].toUtf8()).object();
        QVERIFY(none.value("sections").toArray().isEmpty());
    }

    void limitReplacesTheResultsLimit() {
        const Output result = search({"--json", "--limit", "1", "anna"});
        QCOMPARE(result.status, 0);
        const QJsonObject line = QJsonDocument::fromJson(result.out.trimmed().toUtf8()).object();
        QCOMPARE(line.value("sections").toArray()[0].toObject().value("rows").toArray().size(), 1);
    }

    void plainTextShowsTheEmptyState() {
        const Output result = search({"zzz"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.contains(u"No matches for \u201Czzz\u201D"_qs), qPrintable(result.out));
    }

    // A running Pemmo answers from its own index, and the command prints exactly what it would
    // have printed searching alone.
    void theRunningPemmoAnswersAsTheCommandWould_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("a name, JSON") << QStringList{"--json", "anna"};
        QTest::newRow("a name, text") << QStringList{"anna"};
        QTest::newRow("a misspelt name") << QStringList{"--json", "Stoen"};
        QTest::newRow("no match, JSON") << QStringList{"--json", "zzz"};
        QTest::newRow("no match, text") << QStringList{"zzz"};
        QTest::newRow("a circle") << QStringList{"--json", "#climbing"};
        QTest::newRow("several queries, a limit")
            << QStringList{"--json", "--limit", "1", "anna", "bob", "lee"};
        QTest::newRow("by meaning") << QStringList{"--json", "people who like violin"};
        QTest::newRow("by meaning, text") << QStringList{"violin"};
        QTest::newRow("empty query") << QStringList{"--json", "--", ""};
        QTest::newRow("an empty query among others") << QStringList{"--json", "anna", "--", ""};
    }
    void theRunningPemmoAnswersAsTheCommandWould() {
        QFETCH(QStringList, arguments);
        const Output alone = search(arguments, std::nullopt);
        QCOMPARE(alone.status, 0);

        AppEnvironment::LiveOptions options;
        options.postsToDesktop = false;
        options.directory = dataFolder();
        options.readOnlyStore = true;
        const auto env = AppEnvironment::live(options);
        pemmo::waitFor(env->sync().start());
        if (EmbeddingIndex* semantic = env->embeddings())
            pemmo::waitFor(semantic->update(env->sync().profiles()));
        SingleInstance running(socketFolder());
        int served = 0;
        QVERIFY(running.becomePrimary([&](QByteArray line) {
            ++served;
            return SearchCommand::serve(env->search(), env->directory(), true, line);
        }));
        // The command blocks on the socket, so it runs on another thread while this one serves.
        auto asking =
            std::async(std::launch::async, [&] { return search(arguments, std::chrono::seconds(20)); });
        QTRY_VERIFY_WITH_TIMEOUT(asking.wait_for(std::chrono::seconds(0)) == std::future_status::ready,
                                 30'000);
        const Output answered = asking.get();
        QCOMPARE(served, 1);
        QCOMPARE(answered.status, 0);
        QCOMPARE(answered.out.toUtf8(), alone.out.toUtf8());
        QCOMPARE(answered.err, QString());
        env->sync().stop();
    }

    // Whatever else answers on the socket, or does not, the command searches alone and prints the
    // same as it would with nothing there.
    void anythingButAnAnswerMeansSearchingAlone_data() {
        QTest::addColumn<Peer::Behaviour>("behaviour");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("not Pemmo") << Peer::Behaviour::Answers << QByteArray("SSH-2.0-OpenSSH_9.2");
        QTest::newRow("an older Pemmo") << Peer::Behaviour::Answers << QByteArray("unknown command");
        QTest::newRow("declines") << Peer::Behaviour::Answers
                                  << RunningPemmo::declined(u"the people are being read"_qs);
        QTest::newRow("output not base64") << Peer::Behaviour::Answers << QByteArray(R"({"out":"%%%%"})");
        QTest::newRow("output not text") << Peer::Behaviour::Answers << QByteArray(R"({"out":12})");
        QTest::newRow("hangs up") << Peer::Behaviour::HangsUp << QByteArray();
        QTest::newRow("stuck") << Peer::Behaviour::Stuck << QByteArray();
    }
    void anythingButAnAnswerMeansSearchingAlone() {
        QFETCH(Peer::Behaviour, behaviour);
        QFETCH(QByteArray, answer);
        const QStringList arguments{"--json", "anna", "zzz"};
        const Output alone = search(arguments, std::nullopt);
        QCOMPARE(alone.status, 0);

        QLocalServer::removeServer(socketPath());
        Peer peer(socketPath(), behaviour, answer);
        const Output result = search(arguments, std::chrono::milliseconds(300));
        QCOMPARE(peer.requests(), 1);
        QVERIFY(!peer.gaveUp());
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.toUtf8(), alone.out.toUtf8());
    }

    void usageErrors() {
        QCOMPARE(search({}).status, 2);
        QCOMPARE(search({"--limit", "x", "anna"}).status, 2);
        QCOMPARE(search({"--limit", "0", "anna"}).status, 2);
        QCOMPARE(search({"--bogus", "anna"}).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestSearchCommand)
#include "TestSearchCommand.moc"
