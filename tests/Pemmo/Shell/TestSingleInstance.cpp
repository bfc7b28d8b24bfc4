// One Pemmo per user: the second process reaches the first and hands over its command.
#include "Shell/SingleInstance.h"
#include "TestSupport/TempDir.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTest>
#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pemmo;

namespace {

// `command` sent to the primary in `folder` from another thread (the client blocks) while this one
// serves; its answer.
std::optional<QByteArray> sendFromAnotherThread(const QString& folder, const QByteArray& command) {
    auto answer = std::async(std::launch::async, [&] { return SingleInstance(folder).send(command); });
    [&] { QTRY_VERIFY(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready); }();
    return answer.get();
}

// Binds a socket at `path` and closes it without removing the file, as a crashed process does.
bool leaveSocketBehind(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    if (size_t(encoded.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A second one cannot become primary while the first lives; once it is gone the lock is free.
    void onlyOnePrimaryAtATime() {
        test::TempDir dir;
        {
            SingleInstance first(dir.path());
            SingleInstance second(dir.path());
            QVERIFY(first.becomePrimary({}));
            QVERIFY(!second.becomePrimary({}));
            QVERIFY(!second.isPrimary());
        }
        SingleInstance next(dir.path());
        QVERIFY(next.becomePrimary({}));
    }

    void commandReachesThePrimaryAndItsAnswerComesBack() {
        test::TempDir dir;
        SingleInstance primary(dir.path());
        QByteArrayList received;
        QVERIFY(primary.becomePrimary([&](QByteArray command) -> QCoro::Task<QByteArray> {
            received << command;
            co_return "shown";
        }));
        QCOMPARE(sendFromAnotherThread(dir.path(), "toggle"), std::optional<QByteArray>("shown"));
        QCOMPARE(received, QByteArrayList{"toggle"});
    }

    // Work that takes a while (an import) answers when it is done, and the client waits for it.
    void anAnswerThatComesLaterStillReachesTheClient() {
        test::TempDir dir;
        SingleInstance primary(dir.path());
        QVERIFY(primary.becomePrimary([](QByteArray command) -> QCoro::Task<QByteArray> {
            // Suspends until the event loop turns again: the answer is not there when this returns.
            co_await QCoro::sleepFor(std::chrono::milliseconds(0));
            co_return "done: " + command;
        }));
        QCOMPARE(sendFromAnotherThread(dir.path(), "import x"), std::optional<QByteArray>("done: import x"));
    }

    // No lock is held (not even the folder is there), so there is nobody to wait for.
    void withoutAPrimarySendAnswersNothingQuickly_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("an empty folder") << QString();
        QTest::newRow("no folder") << u"never-made"_qs;
    }
    void withoutAPrimarySendAnswersNothingQuickly() {
        QFETCH(QString, folder);
        test::TempDir dir;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(SingleInstance(dir.filePath(folder)).send("toggle", std::chrono::minutes(1)), std::nullopt);
        QVERIFY(timer.elapsed() < 1000);
    }

    // A client only looks at the lock, never takes it: one that took it even for a moment (as
    // `pemmo toggle` polling a Pemmo that starts at login) could turn the starting primary away.
    // A lock left by a process that is gone is therefore left as it is, for the primary to take.
    void aClientNeverTakesTheLock() {
        test::TempDir dir;
        QProcess gone;
        gone.start(u"true"_qs, {});
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QByteArray left =
            QByteArray::number(pid) + "\npemmo\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        dir.write(u"pemmo.lock"_qs, left);
        QCOMPARE(SingleInstance(dir.path()).send("toggle"), std::nullopt);
        QCOMPARE(dir.read(u"pemmo.lock"_qs), left);

        SingleInstance primary(dir.path());
        QVERIFY2(primary.becomePrimary({}), qPrintable(primary.errorString()));
    }

    // A primary that crashed leaves its socket behind, with nobody listening on it.
    void aDeadPrimarysSocketFileIsReplaced_data() {
        QTest::addColumn<bool>("socket");
        QTest::newRow("a plain file") << false;
        QTest::newRow("a socket") << true;
    }
    void aDeadPrimarysSocketFileIsReplaced() {
        QFETCH(bool, socket);
        test::TempDir dir;
        if (socket)
            QVERIFY(leaveSocketBehind(dir.filePath(u"pemmo.socket"_qs)));
        else
            dir.write(u"pemmo.socket"_qs, "left behind");
        SingleInstance primary(dir.path());
        QVERIFY2(primary.becomePrimary([](QByteArray) -> QCoro::Task<QByteArray> { co_return "ok"; }),
                 qPrintable(primary.errorString()));
        QCOMPARE(sendFromAnotherThread(dir.path(), "show"), std::optional<QByteArray>("ok"));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"
