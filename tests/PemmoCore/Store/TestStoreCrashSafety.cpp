// Killing a process in the middle of a stream of store writes never leaves a torn file. The suite
// kills the writer 30 times; `make stress` runs the same test with PEMMO_STRESS_KILLS=1000.
#include "Store/PemmoStore.h"
#include "Store/StoreClassifier.h"
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

int killCount() {
    bool ok = false;
    const int kills = qEnvironmentVariableIntValue("PEMMO_STRESS_KILLS", &ok);
    return ok && kills > 0 ? kills : 30;
}

// What is wrong with the store a killed writer left, as the next start would find it; empty when
// it is whole: it decodes, holds every record, and all of them come from the same write.
QString problemOf(const QByteArray& bytes, int records) {
    const StoreClassifier::Result found = StoreClassifier::classify(bytes, QDateTime::currentDateTimeUtc());
    if (found.kind != StoreClassifier::Kind::Current)
        return u"does not decode: "_qs + found.problem;
    if (found.records.size() != records)
        return u"holds %1 records instead of %2"_qs.arg(found.records.size()).arg(records);
    const QString round = (*found.records.begin())->tags.value(0);
    for (const Shared<PemmoRecord>& record : found.records) {
        if (record->tags.value(0) != round)
            return u"mixes two writes"_qs;
    }
    return {};
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
        const int kKills = killCount();
        QRandomGenerator random(20261205);

        int torn = 0;
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
            const QString problem = problemOf(bytes, kRecords);
            if (!problem.isEmpty()) {
                ++torn;
                qWarning("kill %d left a store that %s", kill + 1, qPrintable(problem));
            }
        }
        qInfo("%d kills in the middle of a write; %d left a torn or undecodable store", kKills, torn);
        QCOMPARE(torn, 0);
        // Nothing but the store, and perhaps the temporary file of the killed write, is left.
        for (const QString& name : dir.entries())
            QVERIFY2(name == PemmoStore::storeFileName() || name.startsWith(u"pemmo-store.json.tmp-"),
                     qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestStoreCrashSafety)
#include "TestStoreCrashSafety.moc"
