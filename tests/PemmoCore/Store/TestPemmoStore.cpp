// The record store: what its file's bytes are, loading, the debounced and write-through writes,
// export and import.
#include "Records/PemmoError.h"
#include "Store/PemmoStore.h"
#include "Store/StoreClassifier.h"
#include "Store/StoreFile.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/FailingFileOperations.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/Threads.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTest>
#include <atomic>

using namespace pemmo;
using namespace std::chrono_literals;
using test::await;
using Kind = StoreClassifier::Kind;

namespace {

constexpr auto kDelay = 40ms;

// A clock the test moves by hand; read from the store's own thread.
class ManualClock {
public:
    explicit ManualClock(const QDateTime& start)
        : m_secs(std::make_shared<std::atomic<qint64>>(start.toSecsSinceEpoch())) {}
    Clock clock() const {
        return [secs = m_secs] { return QDateTime::fromSecsSinceEpoch(secs->load(), Qt::UTC); };
    }
    QDateTime now() const { return QDateTime::fromSecsSinceEpoch(m_secs->load(), Qt::UTC); }
    void advance(qint64 seconds) { *m_secs += seconds; }

private:
    std::shared_ptr<std::atomic<qint64>> m_secs;
};

// Collects what is logged under the store's category while it lives.
class LogCapture {
public:
    LogCapture() {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QStringList messages() const {
        QMutexLocker lock(&s_mutex);
        return s_messages;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (QByteArrayView(context.category) == "com.dorvane.Pemmo.store" && type == QtCriticalMsg) {
            QMutexLocker lock(&s_mutex);
            s_messages.append(message);
        }
    }
    inline static QMutex s_mutex;
    inline static QStringList s_messages;
    QtMessageHandler m_previous;
};

PemmoRecord recordWith(const QString& about, const QDateTime& updatedAt = {}) {
    PemmoRecord r =
        PemmoRecord::fresh(updatedAt.isValid() ? updatedAt : QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    r.about = about;
    return r;
}

// Puts a non-empty folder where `name` should be, so that renaming a file onto it fails even for root.
void blockPath(const test::TempDir& dir, const QString& name) {
    QVERIFY(QDir(dir.path()).mkpath(name + u"/keep"));
}

void unblockPath(const test::TempDir& dir, const QString& name) {
    QVERIFY(QDir(dir.filePath(name)).removeRecursively());
}

RecordMap readStoreFile(const test::TempDir& dir) {
    return StoreFile::decode(dir.read(PemmoStore::storeFileName()), QDateTime::currentDateTimeUtc());
}

const QDateTime kStart = QDateTime(QDate(2026, 3, 4), QTime(10, 15, 0), Qt::UTC);

QByteArray storeBytes(const RecordMap& records) {
    return QByteArray::fromStdString(StoreFile::encode(records));
}

// Every way there is to change the records.
enum class Edit { Put, Commit, Remove, RemoveAll, Import, Flush };

// What the edit threw as a PemmoError; absent when it threw nothing or something else.
std::optional<PemmoError> attempt(PemmoStore& store, Edit edit) {
    switch (edit) {
    case Edit::Put:
        return test::awaitErrorOf<PemmoError>(store.put(recordWith(u"new"_qs), u"N"_qs));
    case Edit::Commit:
        return test::awaitErrorOf<PemmoError>(store.commit(recordWith(u"new"_qs), u"N"_qs));
    case Edit::Remove:
        return test::awaitErrorOf<PemmoError>(store.remove(u"C1"_qs));
    case Edit::RemoveAll:
        return test::awaitErrorOf<PemmoError>(store.removeAll({}));
    case Edit::Import:
        return test::awaitErrorOf<PemmoError>(store.importData(QByteArray::fromStdString(
            StoreFile::encodeForExport({{u"N"_qs, recordWith(u"new"_qs, kStart)}}))));
    case Edit::Flush:
        return test::awaitErrorOf<PemmoError>(store.flush());
    }
    return std::nullopt;
}

// A store over a folder of its own, loaded.
struct Loaded {
    Loaded() { await(store.load()); }
    test::TempDir dir;
    ManualClock clock{kStart};
    PemmoStore store{dir.path(), kDelay, clock.clock()};
};

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(StoreClassifier::Kind)

class TestPemmoStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a store file's bytes are: the decision the store's owner and a reader both act on.
    void classify_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("records");

        QTest::newRow("current") << QByteArray(R"({"schema":2,"records":{"A":{},"B":{"schema":2}}})")
                                 << Kind::Current << 2;
        // Older numbers were never written by a layout that differs; they read as they are.
        // As some editors save a file: the byte order mark is not part of the document.
        QTest::newRow("current, with a byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                                       R"({"schema":2,"records":{"A":{}}})")
                                                         << Kind::Current << 1;
        QTest::newRow("earlier layout, with a byte order mark")
            << QByteArray("\xEF\xBB\xBF"
                          R"({"A":{"pemmoData":{"company":"Acme"}}})")
            << Kind::Legacy << 1;
        QTest::newRow("older schema number")
            << QByteArray(R"({"schema":1,"records":{"A":{}}})") << Kind::Current << 1;
        QTest::newRow("newer file") << QByteArray(R"({"schema":3,"records":{"A":{}}})") << Kind::Newer << 1;
        QTest::newRow("newer record in a current file")
            << QByteArray(R"({"schema":2,"records":{"A":{},"B":{"schema":7}}})") << Kind::Newer << 2;
        QTest::newRow("newer layout that does not decode")
            << QByteArray(R"({"schema":3,"records":[{"id":"A"}]})") << Kind::Newer << 0;
        QTest::newRow("newer beyond 64 bits")
            << QByteArray(R"({"schema":18446744073709551615,"records":[]})") << Kind::Newer << 0;
        QTest::newRow("earlier layout")
            << QByteArray(R"({"A":{"pemmoData":{"company":"Acme"}}})") << Kind::Legacy << 1;
        QTest::newRow("broken record")
            << QByteArray(R"({"schema":2,"records":{"A":{"tags":"x"}}})") << Kind::Damaged << 0;
        QTest::newRow("records without schema") << QByteArray(R"({"records":{}})") << Kind::Damaged << 0;
        QTest::newRow("schema that is text")
            << QByteArray(R"({"schema":"3","records":{}})") << Kind::Damaged << 0;
        QTest::newRow("lone brace") << QByteArray("{") << Kind::Damaged << 0;
        QTest::newRow("schema without records") << QByteArray(R"({"schema":2})") << Kind::Damaged << 0;
        QTest::newRow("empty") << QByteArray() << Kind::Damaged << 0;
    }

    void classify() {
        QFETCH(QByteArray, bytes);
        QFETCH(Kind, kind);
        QFETCH(int, records);
        const StoreClassifier::Result result = StoreClassifier::classify(bytes, kStart);
        QCOMPARE(result.kind, kind);
        QCOMPARE(result.records.size(), records);
        // What did not decode says why.
        const bool decoded = kind == Kind::Current || kind == Kind::Legacy || records > 0;
        QCOMPARE(result.problem.isEmpty(), decoded);
    }

    void missingFileStartsEmptyAndWritesNothing() {
        test::TempDir dir;
        const QString folder = dir.filePath(u"nested/Pemmo"_qs);
        PemmoStore store(folder, kDelay);
        await(store.load());
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(await(store.allRecords()).isEmpty());
        QVERIFY(QDir(folder).isEmpty());
        QCOMPARE(await(store.writeCount()), 0);
    }

    void folderThatCannotBeMadeFailsLoad() {
        test::TempDir dir;
        dir.write(u"Pemmo"_qs, "a file where the folder should be");
        PemmoStore store(dir.filePath(u"Pemmo"_qs), kDelay);
        QVERIFY_THROWS_EXCEPTION(FileError, await(store.load()));
        QVERIFY(await(store.allRecords()).isEmpty());
    }

    // Edits still queued when the store goes run against a store that is still whole: a put
    // schedules its write through the store's thread while that thread is being wound down.
    void editsQueuedWhenTheStoreGoesStillRun() {
        // The first write holds the store's thread until this thread waits in the destructor.
        struct HeldWrite : FileOperations {
            pid_t owner = gettid();
            void write(const QString& path, std::string_view data) const override {
                test::waitUntilBlocked(owner);
                FileOperations::write(path, data);
            }
        };
        test::TempDir dir;
        auto store = std::make_unique<PemmoStore>(dir.path(), kDelay, systemClock(),
                                                  PemmoStore::Access::Owner, std::make_shared<HeldWrite>());
        await(store->load());
        auto committing = store->commit(recordWith(u"first"_qs), u"A"_qs);
        auto putting = store->put(recordWith(u"second"_qs), u"B"_qs);
        store.reset();
        QCOMPARE(readStoreFile(dir).value(u"A"_qs)->about, u"first"_qs);
    }

    void loadReadsWhatWasWritten() {
        test::TempDir dir;
        {
            PemmoStore store(dir.path(), kDelay);
            await(store.load());
            await(store.put(recordWith(u"first"_qs), u"A"_qs));
            await(store.commit(recordWith(u"second"_qs), u"B:ABPerson"_qs));
        }
        PemmoStore reopened(dir.path(), kDelay);
        await(reopened.load());
        const RecordMap records = await(reopened.allRecords());
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.value(u"A"_qs)->about, u"first"_qs);
        QCOMPARE(records.value(u"B:ABPerson"_qs)->about, u"second"_qs);
    }

    void damagedFileIsSetAsideAndStoreStartsEmpty_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lone brace") << QByteArray("{");
        QTest::newRow("a broken record") << QByteArray(R"({"schema":2,"records":{"A":{"tags":"x"}}})");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe", 3);
    }

    void damagedFileIsSetAsideAndStoreStartsEmpty() {
        QFETCH(QByteArray, bytes);
        test::TempDir dir;
        dir.write(PemmoStore::storeFileName(), bytes);
        ManualClock clock(kStart);
        LogCapture log;
        PemmoStore store(dir.path(), kDelay, clock.clock());
        await(store.load());

        const QString backup = u"pemmo-store.corrupt-2026-03-04T10-15-00Z.json"_qs;
        QCOMPARE(PemmoStore::corruptBackupFileName(kStart), backup);
        QCOMPARE(dir.read(backup), bytes);
        QVERIFY(await(store.allRecords()).isEmpty());
        QVERIFY(!await(store.didMigrateLegacy()));
        // The damaged file stays until the next write replaces it.
        QCOMPARE(dir.read(PemmoStore::storeFileName()), bytes);
        QCOMPARE(log.messages().size(), 1);
        QVERIFY(log.messages().first().contains(dir.filePath(backup)));
        QVERIFY(await(store.damage()).value_or(QString()).contains(dir.filePath(backup)));

        // Started again before any change, it finds the bytes already kept and copies nothing.
        PemmoStore again(dir.path(), kDelay, ManualClock(kStart.addSecs(60)).clock());
        await(again.load());
        QCOMPARE(QDir(dir.path()).entryList({u"pemmo-store.corrupt-*.json"_qs}), QStringList{backup});
        QVERIFY(await(again.damage()).value_or(QString()).contains(dir.filePath(backup)));

        await(store.put(recordWith(u"new"_qs), u"A"_qs));
        await(store.flush());
        QCOMPARE(readStoreFile(dir).size(), 1);
        QCOMPARE(dir.read(backup), bytes);
    }

    void legacyFileIsBackedUpConvertedAndWritten() {
        test::TempDir dir;
        const QByteArray legacy =
            R"({"C1":{"contactID":"C1","pemmoData":{"tags":["family"],"company":"Acme"},)"
            R"("plainNote":"Met at the lake","updatedAt":"2024-05-01T12:00:00Z"}})";
        dir.write(PemmoStore::storeFileName(), legacy);
        PemmoStore store(dir.path(), kDelay, ManualClock(kStart).clock());
        await(store.load());

        QCOMPARE(dir.read(PemmoStore::legacyBackupFileName()), legacy);
        QVERIFY(await(store.didMigrateLegacy()));
        QCOMPARE(await(store.writeCount()), 1);
        const RecordMap onDisk = readStoreFile(dir);
        QCOMPARE(onDisk.size(), 1);
        QCOMPARE(onDisk.value(u"C1"_qs)->details.company, u"Acme"_qs);
        QCOMPARE(onDisk.value(u"C1"_qs)->about, u"Met at the lake"_qs);
        QCOMPARE(onDisk, await(store.allRecords()));
    }

    // A reader (the command line beside the running application) sees what the file holds and
    // leaves the folder exactly as it was, whatever the file is.
    void readerChangesNothingOnDisk_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("about"); // of record C1 as read; empty when nothing is
        QTest::newRow("current layout") << storeBytes({{u"C1"_qs, recordWith(u"now"_qs)}}) << u"now"_qs;
        QTest::newRow("earlier layout")
            << QByteArray(R"({"C1":{"pemmoData":{"notes":"then"}}})") << u"then"_qs;
        QTest::newRow("damaged") << QByteArray("{") << QString();
    }
    void readerChangesNothingOnDisk() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, about);
        test::TempDir dir;
        dir.write(PemmoStore::storeFileName(), bytes);
        dir.write(u"pemmo-store.json.tmp-left-behind"_qs, "partial");
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        {
            PemmoStore store(dir.path(), kDelay, ManualClock(kStart).clock(), PemmoStore::Access::Reader);
            await(store.load());
            const RecordMap records = await(store.allRecords());
            QCOMPARE(records.value(u"C1"_qs)->about, about);
            await(store.put(recordWith(u"mine"_qs), u"C2"_qs));
            await(store.commit(recordWith(u"mine"_qs), u"C3"_qs));
            await(store.flush());
            QCOMPARE(await(store.writeCount()), 0);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        QCOMPARE(dir.read(PemmoStore::storeFileName()), bytes);
    }

    void putBurstWritesOnce() {
        auto [dir, clock, store] = Loaded();
        QElapsedTimer sinceLastPut;
        for (int i = 0; i < 10; ++i) {
            await(store.put(recordWith(QString::number(i)), u"id-%1"_qs.arg(i % 3)));
            sinceLastPut.start();
        }
        QCOMPARE(await(store.writeCount()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(await(store.writeCount()), 1, 5000);
        QVERIFY(sinceLastPut.elapsed() >= kDelay.count());
        // No second write follows.
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(await(store.writeCount()), 1);
        const RecordMap onDisk = readStoreFile(dir);
        QCOMPARE(onDisk.size(), 3);
        QCOMPARE(onDisk.value(u"id-0"_qs)->about, u"9"_qs);
    }

    void putStampsNowAndImportKeepsTheFilesTime() {
        auto [dir, clock, store] = Loaded();
        const PemmoRecord stored = await(store.put(recordWith(u"x"_qs, kStart.addYears(-3)), u"A"_qs));
        QCOMPARE(stored.updatedAt, kStart);
        QCOMPARE(await(store.record(u"A"_qs))->updatedAt, kStart);

        clock.advance(60);
        await(store.commit(recordWith(u"y"_qs, kStart.addYears(-3)), u"A"_qs));
        QCOMPARE(await(store.record(u"A"_qs))->updatedAt, kStart.addSecs(60));

        const QDateTime old = kStart.addYears(1);
        RecordMap incoming{{u"B"_qs, recordWith(u"z"_qs, old)}};
        await(store.importData(QByteArray::fromStdString(StoreFile::encodeForExport(incoming))));
        QCOMPARE(await(store.record(u"B"_qs))->updatedAt, old);
        QCOMPARE(await(store.record(u"missing"_qs)), std::nullopt);
    }

    void commitWritesThroughAndCancelsPendingWrite() {
        auto [dir, clock, store] = Loaded();
        await(store.put(recordWith(u"pending"_qs), u"A"_qs));
        await(store.commit(recordWith(u"now"_qs), u"B"_qs));
        QCOMPARE(await(store.writeCount()), 1);
        QCOMPARE(readStoreFile(dir).size(), 2); // the pending change went out with it
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(await(store.writeCount()), 1);
    }

    void failedCommitRestoresTheEarlierRecord_data() {
        QTest::addColumn<bool>("hadRecord");
        QTest::newRow("replacing a record") << true;
        QTest::newRow("adding a record") << false;
    }

    void failedCommitRestoresTheEarlierRecord() {
        QFETCH(bool, hadRecord);
        auto [dir, clock, store] = Loaded();
        if (hadRecord)
            await(store.commit(recordWith(u"before"_qs), u"A"_qs));
        await(store.put(recordWith(u"other change"_qs), u"B"_qs));
        const int writesBefore = await(store.writeCount());

        if (hadRecord)
            QVERIFY(QFile::remove(dir.filePath(PemmoStore::storeFileName())));
        blockPath(dir, PemmoStore::storeFileName());
        QVERIFY_THROWS_EXCEPTION(FileError, await(store.commit(recordWith(u"after"_qs), u"A"_qs)));

        const auto a = await(store.record(u"A"_qs));
        QCOMPARE(a.has_value(), hadRecord);
        if (hadRecord)
            QCOMPARE(a->about, u"before"_qs);
        QCOMPARE(await(store.record(u"B"_qs))->about, u"other change"_qs);
        QCOMPARE(await(store.writeCount()), writesBefore);
        const auto error = await(store.lastWriteError());
        QVERIFY(error && !error->isEmpty());

        unblockPath(dir, PemmoStore::storeFileName());
        await(store.flush());
        QCOMPARE(await(store.lastWriteError()), std::nullopt);
        QCOMPARE(readStoreFile(dir).value(u"B"_qs)->about, u"other change"_qs);
    }

    void failedDebouncedWriteKeepsRecordsAndIsReported() {
        auto [dir, clock, store] = Loaded();
        LogCapture log;
        blockPath(dir, PemmoStore::storeFileName());
        await(store.put(recordWith(u"kept"_qs), u"A"_qs));
        QTRY_VERIFY_WITH_TIMEOUT(await(store.lastWriteError()).has_value(), 5000);
        QCOMPARE(await(store.writeCount()), 0);
        QCOMPARE(await(store.record(u"A"_qs))->about, u"kept"_qs);
        QCOMPARE(log.messages().size(), 1);
        QVERIFY(log.messages().first().contains(store.storeFilePath()));
        QVERIFY(log.messages().first().endsWith(*await(store.lastWriteError())));

        unblockPath(dir, PemmoStore::storeFileName());
        await(store.remove(u"nothing"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(await(store.writeCount()), 1, 5000);
        QCOMPARE(await(store.lastWriteError()), std::nullopt);
    }

    void removeAllKeepsOnlyTheGivenIds() {
        auto [dir, clock, store] = Loaded();
        for (const char* id : {"A", "B", "C"})
            await(store.put(recordWith(u"x"_qs), QString::fromLatin1(id)));
        await(store.flush());

        QStringList removed = await(store.removeAll({u"B"_qs, u"Z"_qs}));
        removed.sort();
        QCOMPARE(removed, QStringList({u"A"_qs, u"C"_qs}));
        QCOMPARE(await(store.allRecords()).keys(), QStringList{u"B"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(await(store.writeCount()), 2, 5000);

        QVERIFY(await(store.removeAll({u"B"_qs})).isEmpty());
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(await(store.writeCount()), 2);
    }

    void exportIsPrettySortedAndReadsBack() {
        auto [dir, clock, store] = Loaded();
        await(store.put(recordWith(u"z"_qs), u"zeta"_qs));
        await(store.put(recordWith(u"a"_qs), u"Alpha"_qs));
        const QByteArray exported = await(store.exportData());

        QVERIFY(exported.startsWith("{\n  \"records\": {\n    \"Alpha\": {\n      \"about\": \"a\",\n"));
        QVERIFY(exported.indexOf("\"Alpha\"") < exported.indexOf("\"zeta\""));
        QVERIFY(exported.endsWith("\n  \"schema\": 2\n}\n"));
        QJsonParseError error;
        QJsonDocument::fromJson(exported, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(StoreFile::decode(exported, kStart), await(store.allRecords()));
    }

    void importMergesByUpdatedAt() {
        auto [dir, clock, store] = Loaded();
        for (const char* id : {"older", "equal", "newer"})
            await(store.put(recordWith(u"stored"_qs), QString::fromLatin1(id)));

        const RecordMap incoming{
            {u"older"_qs, recordWith(u"incoming"_qs, kStart.addSecs(-1))},
            {u"equal"_qs, recordWith(u"incoming"_qs, kStart)},
            {u"newer"_qs, recordWith(u"incoming"_qs, kStart.addSecs(1))},
            {u"new"_qs, recordWith(u"incoming"_qs, kStart.addYears(-10))},
        };
        const int taken =
            await(store.importData(QByteArray::fromStdString(StoreFile::encodeForExport(incoming))));
        QCOMPARE(taken, 3);
        const RecordMap records = await(store.allRecords());
        QCOMPARE(records.value(u"older"_qs)->about, u"stored"_qs);
        QCOMPARE(records.value(u"equal"_qs)->about, u"incoming"_qs);
        QCOMPARE(records.value(u"newer"_qs)->about, u"incoming"_qs);
        QCOMPARE(records.value(u"new"_qs), incoming.value(u"new"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(await(store.writeCount()), 1, 5000);

        // An import that takes nothing schedules no write.
        QCOMPARE(
            await(store.importData(storeBytes({{u"older"_qs, recordWith(u"x"_qs, kStart.addDays(-1))}}))), 0);
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(await(store.writeCount()), 1);
    }

    void importOfSomethingElseFailsAndChangesNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not json") << QByteArray("hello");
        QTest::newRow("legacy layout") << QByteArray(R"({"C1":{"pemmoData":{}}})");
        QTest::newRow("no schema") << QByteArray(R"({"records":{}})");
        QTest::newRow("one bad record among good")
            << QByteArray(R"({"schema":2,"records":{"A":{},"B":{"interactions":[{}]}}})");
    }

    void importOfSomethingElseFailsAndChangesNothing() {
        QFETCH(QByteArray, bytes);
        auto [dir, clock, store] = Loaded();
        await(store.commit(recordWith(u"stored"_qs), u"A"_qs));
        const RecordMap before = await(store.allRecords());
        QVERIFY_THROWS_EXCEPTION(DecodingError, await(store.importData(bytes)));
        QCOMPARE(await(store.allRecords()), before);
    }

    // A file that cannot be read may be all the user has: no change is taken until it reads
    // again, so nothing is ever renamed over it.
    void unreadableFileRefusesEveryEdit_data() {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("put") << Edit::Put;
        QTest::newRow("commit") << Edit::Commit;
        QTest::newRow("remove") << Edit::Remove;
        QTest::newRow("removeAll") << Edit::RemoveAll;
        QTest::newRow("import") << Edit::Import;
        QTest::newRow("flush") << Edit::Flush;
    }
    void unreadableFileRefusesEveryEdit() {
        QFETCH(Edit, edit);
        test::TempDir dir;
        const QByteArray bytes = storeBytes({{u"C1"_qs, recordWith(u"precious"_qs)}});
        dir.write(PemmoStore::storeFileName(), bytes);
        auto files = std::make_shared<test::FailingFileOperations>();
        files->failReading(PemmoStore::storeFileName());
        PemmoStore store(dir.path(), kDelay, ManualClock(kStart).clock(), PemmoStore::Access::Owner, files);

        QVERIFY_THROWS_EXCEPTION(FileError, await(store.load()));
        const auto reason = await(store.readOnlyReason());
        QVERIFY(reason.has_value());
        QVERIFY2(reason->contains(u"Input/output error"_qs), qPrintable(*reason));

        const auto refused = attempt(store, edit);
        QVERIFY(refused.has_value());
        QCOMPARE(*refused, PemmoError::storeReadOnly(*reason));
        QVERIFY(await(store.allRecords()).isEmpty());
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(files->writes(), QStringList());
        QCOMPARE(dir.read(PemmoStore::storeFileName()), bytes);
        QCOMPARE(await(store.writeCount()), 0);

        // Once the user has fixed what stood in the way (the permissions, the disk), the next
        // load takes changes again.
        QVERIFY_THROWS_EXCEPTION(FileError, await(store.retryLoad()));
        files->heal();
        QVERIFY(await(store.retryLoad()));
        QCOMPARE(await(store.readOnlyReason()), std::nullopt);
        QCOMPARE(await(store.record(u"C1"_qs))->about, u"precious"_qs);
        await(store.commit(recordWith(u"added"_qs), u"C2"_qs));
        QCOMPARE(readStoreFile(dir).size(), 2);
    }

    // Without its copy set aside, a damaged or earlier-layout file holds the only trace of the
    // user's records: what can be read is shown, but nothing is ever written over it.
    void fileThatCannotBeCopiedAsideIsNeverReplaced_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("copy");
        QTest::addColumn<int>("readable"); // records still shown
        QTest::newRow("damaged") << QByteArray(R"({"schema":2,"records":{"C1":{"tags":7}}})")
                                 << u"pemmo-store.corrupt-"_qs << 0;
        QTest::newRow("earlier layout") << QByteArray(R"({"C1":{"pemmoData":{"notes":"then"}}})")
                                        << PemmoStore::legacyBackupFileName() << 1;
    }
    void fileThatCannotBeCopiedAsideIsNeverReplaced() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, copy);
        QFETCH(int, readable);
        test::TempDir dir;
        dir.write(PemmoStore::storeFileName(), bytes);
        auto files = std::make_shared<test::FailingFileOperations>();
        files->failWriting(copy);
        LogCapture log;
        PemmoStore store(dir.path(), kDelay, ManualClock(kStart).clock(), PemmoStore::Access::Owner, files);
        await(store.load());

        QCOMPARE(await(store.allRecords()).size(), readable);
        QVERIFY(!await(store.didMigrateLegacy()));
        QCOMPARE(log.messages().size(), 1);
        QVERIFY2(log.messages().first().contains(dir.filePath(copy)), qPrintable(log.messages().first()));
        const auto reason = await(store.readOnlyReason());
        QVERIFY(reason.has_value());
        QVERIFY2(reason->contains(u"No space left on device"_qs), qPrintable(*reason));
        for (const Edit edit : {Edit::Put, Edit::Commit, Edit::Import, Edit::Flush})
            QCOMPARE(attempt(store, edit), std::optional(PemmoError::storeReadOnly(*reason)));
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(files->writes().size(), 1); // the copy that failed, and nothing else
        QVERIFY(files->writes().first().startsWith(copy));
        QCOMPARE(dir.read(PemmoStore::storeFileName()), bytes);
    }

    // What a newer Pemmo wrote stays readable and is never written back in this version's layout.
    void newerStoreIsReadOnlyAndKeptAsItIs_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("readable");
        QTest::addColumn<bool>("reader");
        QTest::newRow("newer file") << QByteArray(R"({"schema":3,"records":{"C1":{"about":"x"}}})") << 1
                                    << false;
        QTest::newRow("newer layout this version cannot decode")
            << QByteArray(R"({"schema":3,"people":[{"id":"C1"}]})") << 0 << false;
        QTest::newRow("newer file, read beside the application")
            << QByteArray(R"({"schema":3,"records":{"C1":{"about":"x"}}})") << 1 << true;
    }
    void newerStoreIsReadOnlyAndKeptAsItIs() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, readable);
        QFETCH(bool, reader);
        test::TempDir dir;
        dir.write(PemmoStore::storeFileName(), bytes);
        PemmoStore store(dir.path(), kDelay, ManualClock(kStart).clock(),
                         reader ? PemmoStore::Access::Reader : PemmoStore::Access::Owner);
        await(store.load());

        QCOMPARE(await(store.allRecords()).size(), readable);
        QCOMPARE(await(store.readOnlyReason()),
                 std::optional(u"This store was written by a newer Pemmo; update Pemmo to change it."_qs));
        for (const Edit edit : {Edit::Put, Edit::Flush})
            QCOMPARE(attempt(store, edit),
                     std::optional(PemmoError::storeReadOnly(*await(store.readOnlyReason()))));
        QTest::qWait(static_cast<int>(kDelay.count() * 3));
        QCOMPARE(dir.entries(), QStringList{PemmoStore::storeFileName()}); // nothing set aside
        QCOMPARE(dir.read(PemmoStore::storeFileName()), bytes);
    }

    // Taking in a newer export would store records this version would then refuse to change.
    void importOfANewerExportIsRefused() {
        auto [dir, clock, store] = Loaded();
        const auto error = test::awaitErrorOf<PemmoError>(
            store.importData(R"({"schema":2,"records":{"A":{"schema":3,"about":"from the future"}}})"));
        QCOMPARE(error, std::optional(PemmoError::newerFile()));
        QVERIFY(await(store.allRecords()).isEmpty());
    }

    void flushPendingWritesOnlyWhatWaits() {
        test::TempDir dir;
        PemmoStore store(dir.path(), 1h);
        await(store.load());
        QVERIFY(!await(store.flushPending()));
        QCOMPARE(await(store.writeCount()), 0);
        await(store.put(recordWith(u"waiting"_qs), u"A"_qs));
        // A store that takes changes is never loaded again by a retry: what waits stays.
        QVERIFY(await(store.retryLoad()));
        QCOMPARE(await(store.record(u"A"_qs))->about, u"waiting"_qs);
        QVERIFY(await(store.flushPending()));
        QCOMPARE(readStoreFile(dir).value(u"A"_qs)->about, u"waiting"_qs);
        QVERIFY(!await(store.flushPending()));
        QCOMPARE(await(store.writeCount()), 1);

        // Without an event loop, as the process's last act.
        await(store.put(recordWith(u"last"_qs), u"B"_qs));
        QVERIFY(store.flushPendingAndWait());
        QVERIFY(!store.flushPendingAndWait());
        QCOMPARE(readStoreFile(dir).value(u"B"_qs)->about, u"last"_qs);
    }

    void staleTemporaryFilesAreClearedAtLoad() {
        test::TempDir dir;
        dir.write(u"pemmo-store.json.tmp-AbC123"_qs, "{\"sche");
        dir.write(u"notes.txt"_qs, "mine");
        PemmoStore store(dir.path(), kDelay);
        await(store.load());
        QCOMPARE(dir.entries(), QStringList{u"notes.txt"_qs});
    }
};

QTEST_GUILESS_MAIN(TestPemmoStore)
#include "TestPemmoStore.moc"
