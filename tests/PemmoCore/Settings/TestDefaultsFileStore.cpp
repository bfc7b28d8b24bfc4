// The preferences file: every kind survives a restart, a damaged file never stops Pemmo, and what
// this release does not understand is left for the release that wrote it.
#include "Settings/DefaultsFileStore.h"
#include "TestSupport/TempDir.h"

#include <QTest>

using namespace pemmo;

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

Clock fixedClock() {
    return [] { return kNow; };
}

} // namespace

Q_DECLARE_METATYPE(pemmo::StoredValue)

class TestDefaultsFileStore : public QObject {
    Q_OBJECT

    QString pathIn(const test::TempDir& dir) const { return dir.filePath(u"defaults.json"_qs); }

private Q_SLOTS:
    void everyKindSurvivesARestart_data() {
        QTest::addColumn<StoredValue>("value");
        QTest::newRow("text") << StoredValue(u"grüße \u201Cquoted\u201D"_qs);
        QTest::newRow("empty text") << StoredValue(QString());
        QTest::newRow("integer") << StoredValue(qint64(-9'007'199'254'740'993));
        QTest::newRow("float") << StoredValue(1'733'400'000.25);
        QTest::newRow("whole float") << StoredValue(20.0);
        QTest::newRow("true") << StoredValue(true);
        QTest::newRow("false") << StoredValue(false);
        QTest::newRow("text list") << StoredValue(QStringList{u"a"_qs, QString(), u"c d"_qs});
        QTest::newRow("empty list") << StoredValue(QStringList());
        QTest::newRow("binary data") << StoredValue(QByteArray("\x00\xFF{\"tags\":[]}", 14));
    }

    void everyKindSurvivesARestart() {
        QFETCH(StoredValue, value);
        test::TempDir dir;
        {
            DefaultsFileStore store(pathIn(dir));
            store.set(value, u"pemmo.test"_qs);
        }
        DefaultsFileStore reopened(pathIn(dir));
        const std::optional<StoredValue> read = reopened.object(u"pemmo.test"_qs);
        QVERIFY(read);
        QCOMPARE(read->index(), value.index());
        QVERIFY(*read == value);
    }

    // Nothing is written until something is set; then the folders on the way are made. A key set
    // to nothing leaves the file.
    void aFirstStartWritesNothingUntilAValueIsSet() {
        test::TempDir dir;
        const QString path = dir.filePath(u"config/Pemmo/defaults.json"_qs);
        DefaultsFileStore store(path);
        QCOMPARE(store.object(u"anything"_qs), std::nullopt);
        QCOMPARE(dir.entries(), QStringList());
        QCOMPARE(store.lastError(), std::nullopt);
        store.set(StoredValue(true), u"gone"_qs);
        QCOMPARE(dir.entries(), QStringList{u"config"_qs});
        store.set(StoredValue(true), u"kept"_qs);
        store.set(std::nullopt, u"gone"_qs);
        QVERIFY(!dir.read(u"config/Pemmo/defaults.json"_qs).contains("gone"));
        DefaultsFileStore reopened(path);
        QCOMPARE(reopened.object(u"gone"_qs), std::nullopt);
        QCOMPARE(reopened.boolean(u"kept"_qs), true);
    }

    void aDamagedFileIsSetAsideAndDefaultsApply_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cut short") << QByteArray("{\"pemmo.a\": {\"kind\": \"bool\", \"val");
        QTest::newRow("not an object") << QByteArray("[1, 2, 3]");
        QTest::newRow("binary junk") << QByteArray("\x00\x01\x02\xFF", 4);
        QTest::newRow("empty") << QByteArray();
    }

    void aDamagedFileIsSetAsideAndDefaultsApply() {
        QFETCH(QByteArray, bytes);
        test::TempDir dir;
        dir.write(u"defaults.json"_qs, bytes);
        DefaultsFileStore store(pathIn(dir), fixedClock());
        QCOMPARE(store.object(u"pemmo.a"_qs), std::nullopt);
        QVERIFY(store.lastError());
        const QString backup = u"defaults.corrupt-2026-03-04T10-15-00Z.json"_qs;
        QCOMPARE(dir.read(backup), bytes);
        QVERIFY(!dir.exists(u"defaults.json"_qs));

        // Pemmo goes on with a fresh file; the damaged one stays set aside.
        store.set(StoredValue(true), u"pemmo.a"_qs);
        QCOMPARE(DefaultsFileStore(pathIn(dir)).boolean(u"pemmo.a"_qs), true);
        QCOMPARE(dir.read(backup), bytes);
    }

    // A reader (a command that only reads) keeps every change in memory: the file, absent, whole
    // or damaged, stays exactly as it was.
    void aReaderNeverTouchesTheFile_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file
        QTest::addColumn<bool>("damaged");
        QTest::newRow("no file") << QByteArray() << false;
        QTest::newRow("a file") << QByteArray(R"({"pemmo.a": {"kind": "bool", "value": false}})") << false;
        QTest::newRow("damaged") << QByteArray("{\"pemmo.a\": {") << true;
    }

    void aReaderNeverTouchesTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, damaged);
        test::TempDir dir;
        if (!bytes.isEmpty())
            dir.write(u"defaults.json"_qs, bytes);
        const auto store = DefaultsFileStore::reader(pathIn(dir));
        QCOMPARE(store->lastError().has_value(), damaged);
        store->set(StoredValue(true), u"pemmo.a"_qs);
        store->set(StoredValue(u"x"_qs), u"pemmo.b"_qs);
        QCOMPARE(store->boolean(u"pemmo.a"_qs), true);
        QCOMPARE(dir.entries(), bytes.isEmpty() ? QStringList() : QStringList{u"defaults.json"_qs});
        if (!bytes.isEmpty())
            QCOMPARE(dir.read(u"defaults.json"_qs), bytes);
    }

    void entriesThisReleaseCannotReadAreKeptOnRewrite() {
        test::TempDir dir;
        dir.write(u"defaults.json"_qs, R"({
            "future": {"kind": "date", "value": "2030-01-01"},
            "mismatch": {"kind": "bool", "value": "yes"},
            "bad list": {"kind": "textList", "value": ["a", 1]},
            "bad data": {"kind": "data", "value": "!!not base64!!"},
            "plain": true,
            "ok": {"kind": "text", "value": "fine"}
        })");
        DefaultsFileStore store(pathIn(dir));
        for (const QString& key : {u"future"_qs, u"mismatch"_qs, u"bad list"_qs, u"bad data"_qs, u"plain"_qs})
            QVERIFY2(!store.object(key), qPrintable(key));
        QCOMPARE(store.text(u"ok"_qs), u"fine"_qs);
        QCOMPARE(store.lastError(), std::nullopt);

        store.set(StoredValue(qint64(3)), u"new"_qs);
        const QByteArray written = dir.read(u"defaults.json"_qs);
        QVERIFY(written.contains("\"date\""));
        QVERIFY(written.contains("\"yes\""));
        QVERIFY(written.contains("\"plain\": true"));
        QCOMPARE(DefaultsFileStore(pathIn(dir)).integer(u"new"_qs), qint64(3));
    }

    void aFailedWriteKeepsTheValueForThisRun() {
        test::TempDir dir;
        dir.write(u"blocker"_qs, "a file where the folder should be");
        DefaultsFileStore store(dir.filePath(u"blocker/Pemmo/defaults.json"_qs));
        store.set(StoredValue(u"kept"_qs), u"k"_qs);
        QCOMPARE(store.text(u"k"_qs), u"kept"_qs);
        QVERIFY(store.lastError());
    }

    void theFileIsReadableJsonWithTheKindOfEveryValue() {
        test::TempDir dir;
        DefaultsFileStore store(pathIn(dir));
        store.set(StoredValue(u"760"_qs), u"pemmo.settings.panelWidth"_qs);
        store.set(StoredValue(qint64(20)), u"pemmo.calendar.delay"_qs);
        QCOMPARE(dir.read(u"defaults.json"_qs), QByteArray(R"({
  "pemmo.calendar.delay": {
    "kind": "integer",
    "value": 20
  },
  "pemmo.settings.panelWidth": {
    "kind": "text",
    "value": "760"
  }
}
)"));
    }
};

QTEST_GUILESS_MAIN(TestDefaultsFileStore)
#include "TestDefaultsFileStore.moc"
