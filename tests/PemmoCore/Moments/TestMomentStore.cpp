// The Moments file: its coding, atomic and minimal writes, damaged files, and the merge of a
// refresh's discoveries into what was pending and decided before.
#include "Moments/MomentStore.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::MomentStore::State)

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 1, 10), QTime(12, 0), Qt::UTC);

MomentCandidate moment(const QString& id, const QSet<QString>& more = {}, const QSet<QString>& series = {}) {
    MomentCandidate c;
    c.id = id;
    c.aliases = more;
    c.aliases.insert(id);
    c.calendarID = u"/cal"_qs;
    c.profileID = u"ada"_qs;
    c.eventTitle = u"Coffee"_qs;
    c.startDate = kNow.addSecs(-3600);
    c.endDate = kNow.addSecs(-1800);
    c.createdAt = kNow;
    c.expiresAt = c.endDate.addSecs(172'800);
    if (!series.isEmpty()) {
        c.seriesHash = *std::min_element(series.cbegin(), series.cend());
        c.seriesAliases = series;
    }
    return c;
}

const MomentStore::Mutation offerH1 = [](MomentStore::State& s) { s.pending = {moment(u"h1"_qs)}; };

using test::ids;

} // namespace

class TestMomentStore : public QObject {
    Q_OBJECT

    QString path(const test::TempDir& dir) const { return dir.filePath(MomentStore::fileName()); }

private Q_SLOTS:
    void fileHasTheDocumentedShape() {
        MomentStore::State state;
        auto c = moment(u"h1"_qs, {u"h2"_qs}, {u"s1"_qs});
        c.startDate = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).addMSecs(1500);
        state.pending = {c};
        state.suppressed = {{u"h9"_qs, MomentStatus::Dismissed}};
        state.excludedSeries = {{u"s7"_qs, u"s8"_qs}};
        const QByteArray bytes = MomentStore::encode(state);
        QVERIFY(!bytes.contains('\n'));
        const QJsonObject document = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(document.keys(), (QStringList{u"excludedSeries"_qs, u"pending"_qs, u"suppressed"_qs}));
        const QJsonObject p = document[u"pending"_qs].toArray().first().toObject();
        QCOMPARE(p.keys().size(), 12);
        QCOMPARE(p[u"aliases"_qs].toArray(), (QJsonArray{u"h1"_qs, u"h2"_qs}));
        QCOMPARE(p[u"startDate"_qs].toDouble(), 1.5);
        QCOMPARE(p[u"endDate"_qs].toDouble(), MomentStore::referenceSeconds(c.endDate));
        QCOMPARE(p[u"seriesHash"_qs].toString(), u"s1"_qs);
        QCOMPARE(p[u"status"_qs].toString(), u"pending"_qs);
        QCOMPARE(document[u"suppressed"_qs].toObject()[u"h9"_qs].toString(), u"dismissed"_qs);
        QCOMPARE(document[u"excludedSeries"_qs].toArray().first().toArray(),
                 (QJsonArray{u"s7"_qs, u"s8"_qs}));
        // Whole seconds are whole numbers.
        const QByteArray endDate =
            "\"endDate\":" + QByteArray::number(qint64(MomentStore::referenceSeconds(c.endDate))) + ",";
        QVERIFY(bytes.contains(endDate));
        QCOMPARE(MomentStore::decode(bytes), state);
    }

    // A one-off is written without the key; a file that has it as null reads the same.
    void aOneOffMomentHasNoSeriesHash() {
        MomentStore::State state;
        state.pending = {moment(u"h1"_qs)};
        const QByteArray bytes = MomentStore::encode(state);
        QVERIFY(!bytes.contains("seriesHash"));
        QCOMPARE(MomentStore::decode(bytes), state);
        QByteArray withNull = bytes;
        withNull.replace("\"seriesAliases\"", "\"seriesHash\":null,\"seriesAliases\"");
        QVERIFY(withNull.contains("null"));
        QCOMPARE(MomentStore::decode(withNull), state);
    }

    void decodingIsStrict_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("codingPath");
        const QByteArray pending =
            R"({"id":"h","aliases":["h"],"calendarID":"c","profileID":"p","eventTitle":"t",)"
            R"("startDate":1,"endDate":2,"createdAt":3,"expiresAt":4,"seriesAliases":[],)";
        QTest::newRow("not JSON") << QByteArray("{") << QString();
        QTest::newRow("missing key") << QByteArray(R"({"pending":[],"suppressed":{}})")
                                     << u"excludedSeries"_qs;
        QTest::newRow("unknown status")
            << QByteArray(R"({"pending":[],"suppressed":{"h":"kept"},"excludedSeries":[]})")
            << u"suppressed.h"_qs;
        QTest::newRow("date as text")
            << QByteArray(R"({"pending":[{"id":"h","aliases":["h"],"calendarID":"c",)"
                          R"("profileID":"p","eventTitle":"t","startDate":"x"}],)"
                          R"("suppressed":{},"excludedSeries":[]})")
            << u"pending.0.startDate"_qs;
        QTest::newRow("candidate without status")
            << (R"({"pending":[)" + pending.chopped(1) + R"(}],"suppressed":{},"excludedSeries":[]})")
            << u"pending.0.status"_qs;
    }
    void decodingIsStrict() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, codingPath);
        try {
            MomentStore::decode(bytes);
            QFAIL("decoded a damaged document");
        } catch (const DecodingError& error) {
            QCOMPARE(error.codingPath(), codingPath);
        }
    }

    // The folder is made, an unchanged state is not written again, and reset removes the file.
    void updateWritesOnlyChangesAndReloads() {
        test::TempDir dir;
        const QString file = dir.filePath(u"deep/er/calendar-moments.json"_qs);
        MomentStore store(file);
        store.update(offerH1);
        store.update([](MomentStore::State&) {});
        store.reconcile({moment(u"h1"_qs)}, {});
        QCOMPARE(store.writeCount(), 1);
        MomentStore again(file);
        again.load();
        QCOMPARE(ids(again.state().pending), QStringList{u"h1"_qs});
        again.reset();
        QVERIFY(!QFile::exists(file));
        QVERIFY(again.state().pending.isEmpty());
    }

    void failedWriteKeepsTheOldState() {
        test::TempDir dir;
        dir.write(u"blocker"_qs, "a file where a folder should be");
        MomentStore store(dir.filePath(u"blocker/calendar-moments.json"_qs));
        QVERIFY_THROWS_EXCEPTION(FileError, store.update(offerH1));
        QVERIFY(store.state().pending.isEmpty());
    }

    void damagedFileIsSetAsideAndReported() {
        test::TempDir dir;
        dir.write(MomentStore::fileName(), "{ this is not JSON");
        MomentStore store(path(dir), [] { return kNow; });
        QVERIFY_THROWS_EXCEPTION(DecodingError, store.load());
        QVERIFY(!store.loaded());
        QVERIFY(!dir.exists(MomentStore::fileName()));
        const QString backup = MomentStore::corruptBackupFileName(kNow);
        QCOMPARE(backup, u"calendar-moments.corrupt-2026-01-10T12-00-00Z.json"_qs);
        QCOMPARE(dir.read(backup), QByteArray("{ this is not JSON"));
        // The next attempt starts empty and writes a new file.
        store.update(offerH1);
        QVERIFY(dir.exists(MomentStore::fileName()));
        QCOMPARE(dir.read(backup), QByteArray("{ this is not JSON"));
    }

    void readerNeverTouchesTheFile() {
        test::TempDir dir;
        dir.write(MomentStore::fileName(), "damaged");
        MomentStore reader(
            path(dir), [] { return kNow; }, MomentStore::Access::Reader);
        reader.update(offerH1);
        QCOMPARE(ids(reader.state().pending), QStringList{u"h1"_qs});
        QCOMPARE(dir.read(MomentStore::fileName()), QByteArray("damaged"));
        QCOMPARE(dir.entries(), QStringList{MomentStore::fileName()});
        reader.reset();
        QVERIFY(dir.exists(MomentStore::fileName()));
    }

    void withoutAFileNothingIsWritten() {
        MomentStore store;
        store.update(offerH1);
        QCOMPARE(ids(store.state().pending), QStringList{u"h1"_qs});
        QCOMPARE(store.writeCount(), 0);
    }

    void reconcile_data() {
        QTest::addColumn<MomentStore::State>("before");
        QTest::addColumn<QList<MomentCandidate>>("discovered");
        QTest::addColumn<QStringList>("committed");
        QTest::addColumn<QStringList>("pending");
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<QStringList>("dismissed");

        using State = MomentStore::State;
        QTest::newRow("new discoveries are offered")
            << State{} << QList{moment(u"a"_qs), moment(u"b"_qs)} << QStringList()
            << QStringList{u"a"_qs, u"b"_qs} << QStringList() << QStringList();
        QTest::newRow("what is not discovered again goes")
            << State{.pending = {moment(u"a"_qs)}} << QList<MomentCandidate>() << QStringList()
            << QStringList() << QStringList() << QStringList();
        QTest::newRow("an event already on a timeline is saved, all its hashes")
            << State{} << QList{moment(u"a"_qs, {u"a2"_qs})} << QStringList{u"a2"_qs} << QStringList()
            << QStringList{u"a"_qs, u"a2"_qs} << QStringList();
        QTest::newRow("a new alias inherits the strongest decision")
            << State{.suppressed = {{u"a2"_qs, MomentStatus::Dismissed}, {u"a3"_qs, MomentStatus::Expired}}}
            << QList{moment(u"a"_qs, {u"a2"_qs, u"a3"_qs})} << QStringList() << QStringList() << QStringList()
            << QStringList{u"a"_qs, u"a2"_qs, u"a3"_qs};
        QTest::newRow("saved beats dismissed")
            << State{.suppressed = {{u"a"_qs, MomentStatus::Dismissed}}} << QList{moment(u"a"_qs, {u"a2"_qs})}
            << QStringList{u"a2"_qs} << QStringList() << QStringList{u"a"_qs, u"a2"_qs} << QStringList();
        QTest::newRow("an excluded series is not offered")
            << State{.excludedSeries = {{u"s1"_qs, u"s2"_qs}}}
            << QList{moment(u"a"_qs, {}, {u"s2"_qs}), moment(u"b"_qs, {}, {u"s3"_qs})} << QStringList()
            << QStringList{u"b"_qs} << QStringList() << QStringList();
    }
    void reconcile() {
        QFETCH(MomentStore::State, before);
        QFETCH(QList<MomentCandidate>, discovered);
        QFETCH(QStringList, committed);
        QFETCH(QStringList, pending);
        QFETCH(QStringList, saved);
        QFETCH(QStringList, dismissed);
        MomentStore::State state = before;
        MomentStore::reconcile(state, discovered, QSet<QString>(committed.cbegin(), committed.cend()));
        QCOMPARE(ids(state.pending), pending);
        QStringList gotSaved, gotDismissed;
        for (auto it = state.suppressed.cbegin(); it != state.suppressed.cend(); ++it) {
            if (*it == MomentStatus::Saved)
                gotSaved.append(it.key());
            else if (*it == MomentStatus::Dismissed)
                gotDismissed.append(it.key());
        }
        gotSaved.sort();
        gotDismissed.sort();
        QCOMPARE(gotSaved, saved);
        QCOMPARE(gotDismissed, dismissed);
    }

    void rediscoveredMomentKeepsItsIdentityAndAge() {
        MomentStore::State state;
        auto old = moment(u"old-id"_qs, {u"shared"_qs});
        old.createdAt = kNow.addSecs(-600);
        state.pending = {old};
        auto fresh = moment(u"new-id"_qs, {u"shared"_qs, u"extra"_qs});
        MomentStore::reconcile(state, {fresh}, {});
        QCOMPARE(state.pending.size(), 1);
        QCOMPARE(state.pending.first().id, u"old-id"_qs);
        QCOMPARE(state.pending.first().createdAt, kNow.addSecs(-600));
        QCOMPARE(state.pending.first().aliases,
                 (QSet<QString>{u"old-id"_qs, u"new-id"_qs, u"shared"_qs, u"extra"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestMomentStore)
#include "TestMomentStore.moc"
