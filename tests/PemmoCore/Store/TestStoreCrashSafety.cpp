// Killing a process in the middle of a stream of store writes never leaves a torn file.
#include "Store/PemmoStore.h"
#include "Store/StoreFile.h"
#include "TestSupport/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <csignal>
#include <unistd.h>

using namespace pemmo;

namespace {

// True while `pid` has a file of `folder` open (the store file or its temporary).
bool writesInto(qint64 pid, const QByteArray& folder) {
    const QByteArray fdFolder = "/proc/" + QByteArray::number(pid) + "/fd/";
    const QStringList fds =
        QDir(QString::fromLatin1(fdFolder)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : fds) {
        char target[4096];
        const ssize_t n = ::readlink(QByteArray(fdFolder + fd.toLatin1()).constData(), target, sizeof target);
        if (n > 0 && QByteArrayView(target, n).startsWith(folder))
            return true;
    }
    return false;
}

bool killDuringWrite(QProcess& process, const QString& folder, QRandomGenerator& random) {
    const qint64 pid = process.processId();
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    QElapsedTimer patience;
    patience.start();
    while (patience.elapsed() < 30000) {
        if (writesInto(pid, prefix)) {
            QThread::usleep(random.bounded(300));
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            return true;
        }
    }
    return false;
}

} // namespace

class TestStoreCrashSafety : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedWriterLeavesAWholeStore() {
        const QString writer = QCoreApplication::applicationDirPath() + u"/store-writer"_qs;
        QVERIFY2(QFile::exists(writer), qPrintable(writer));
        test::TempDir dir;
        constexpr int kRecords = 1000;
        constexpr int kKills = 30;
        QRandomGenerator random(20261205);
        long lastRound = -1;

        for (int kill = 0; kill < kKills; ++kill) {
            QProcess process;
            process.start(writer, {dir.path(), QString::number(kRecords)});
            QVERIFY(process.waitForStarted());
            // Kill it in the middle of a write: watch its open files and strike, after a random
            // pause of a few microseconds, while it holds a file of the store folder open.
            QVERIFY2(process.waitForReadyRead(30000), "the writer never finished its first write");
            QVERIFY2(killDuringWrite(process, dir.path(), random), "never caught the writer mid-write");

            QVERIFY(process.waitForFinished());

            const QByteArray bytes = dir.read(PemmoStore::storeFileName());
            RecordMap records;
            try {
                records = StoreFile::decode(bytes, QDateTime::currentDateTimeUtc());
            } catch (const std::exception& error) {
                QFAIL(qPrintable(
                    u"kill %1 left a store that does not decode: %2"_qs.arg(kill).arg(error.what())));
            }
            QCOMPARE(records.size(), kRecords);
            // Every record of a file comes from the same round: no mix of two writes.
            const QString round = records.begin()->tags.value(0);
            for (const PemmoRecord& record : std::as_const(records))
                QCOMPARE(record.tags.value(0), round);
            const long roundNumber = round.mid(6).toLong();
            QVERIFY(roundNumber >= 0);
            lastRound = roundNumber;
        }
        QVERIFY(lastRound >= 0);
        // Nothing but the store, and perhaps the temporary file of the killed write, is left.
        for (const QString& name : dir.entries())
            QVERIFY2(name == PemmoStore::storeFileName() || name.startsWith(u"pemmo-store.json.tmp-"),
                     qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestStoreCrashSafety)
#include "TestStoreCrashSafety.moc"
