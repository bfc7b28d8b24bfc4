// One Pemmo per user: the second process reaches the first and hands over its command.
#include "Shell/SingleInstance.h"
#include "TestSupport/TempDir.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <QTest>
#include <future>

using namespace pemmo;

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondInstanceCannotBecomePrimary() {
        test::TempDir dir;
        SingleInstance first(dir.path());
        SingleInstance second(dir.path());
        QVERIFY(first.becomePrimary({}));
        QVERIFY(!second.becomePrimary({}));
        QVERIFY(!second.isPrimary());
    }

    void commandReachesThePrimaryAndItsAnswerComesBack() {
        test::TempDir dir;
        SingleInstance primary(dir.path());
        QByteArrayList received;
        QVERIFY(primary.becomePrimary([&](QByteArray command) -> QCoro::Task<QByteArray> {
            received << command;
            co_return "shown";
        }));
        // The client blocks, so it runs on another thread while this one serves.
        auto answer = std::async(std::launch::async,
                                 [path = dir.path()] { return SingleInstance(path).send("toggle"); });
        QTRY_VERIFY(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QCOMPARE(answer.get(), std::optional<QByteArray>("shown"));
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
        auto answer = std::async(std::launch::async,
                                 [path = dir.path()] { return SingleInstance(path).send("import x"); });
        QTRY_VERIFY(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QCOMPARE(answer.get(), std::optional<QByteArray>("done: import x"));
    }

    void withoutAPrimarySendAnswersNothingQuickly() {
        test::TempDir dir;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(SingleInstance(dir.path()).send("toggle"), std::nullopt);
        QVERIFY2(timer.elapsed() < 1000, "no lock is held, so there is nobody to wait for");
    }

    void withoutEvenItsFolderSendAnswersNothingQuickly() {
        test::TempDir dir;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(SingleInstance(dir.filePath(u"never-made"_qs)).send("toggle", std::chrono::minutes(1)),
                 std::nullopt);
        QVERIFY2(timer.elapsed() < 1000, "no folder, no lock, nobody to wait for");
    }

    void aDeadPrimarysSocketFileIsReplaced() {
        test::TempDir dir;
        dir.write(u"pemmo.socket"_qs, "left behind");
        SingleInstance primary(dir.path());
        QVERIFY2(primary.becomePrimary([](QByteArray) -> QCoro::Task<QByteArray> { co_return "ok"; }),
                 qPrintable(primary.errorString()));
        auto answer =
            std::async(std::launch::async, [path = dir.path()] { return SingleInstance(path).send("show"); });
        QTRY_VERIFY(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QCOMPARE(answer.get(), std::optional<QByteArray>("ok"));
    }

    void primaryGoneLeavesTheLockFree() {
        test::TempDir dir;
        {
            SingleInstance primary(dir.path());
            QVERIFY(primary.becomePrimary({}));
        }
        SingleInstance next(dir.path());
        QVERIFY(next.becomePrimary({}));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"
