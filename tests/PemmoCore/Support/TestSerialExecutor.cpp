// The serial executor: jobs run in order, off the caller's thread, and none is dropped at the end.
#include "Support/SerialExecutor.h"
#include "Support/WaitFor.h"

#include <QTest>
#include <atomic>
#include <memory>
#include <stdexcept>

using namespace pemmo;

namespace {

QCoro::Task<int> awaitJob(SerialExecutor& executor, int value) {
    auto job = executor.post([value] { return value * 2; });
    co_return co_await job;
}

QCoro::Task<void> awaitFailingJob(SerialExecutor& executor) {
    auto job = executor.post([] { throw std::runtime_error("disk full"); });
    co_await job;
}

} // namespace

class TestSerialExecutor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void jobsRunInOrderOffTheCallersThread() {
        SerialExecutor executor(u"test"_qs);
        QList<int> order;
        bool offThread = true;
        for (int i = 0; i < 50; ++i)
            executor.post([&, i] {
                order.append(i);
                offThread = offThread && executor.isCurrentThread() &&
                            QThread::currentThread() != QCoreApplication::instance()->thread();
            });
        QCOMPARE(pemmo::waitFor(awaitJob(executor, 21)), 42);
        QCOMPARE(order.size(), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(order[i], i);
        QVERIFY(offThread);
    }

    void exceptionsReachTheAwaitingCoroutine() {
        SerialExecutor executor(u"test"_qs);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, pemmo::waitFor(awaitFailingJob(executor)));
    }

    // Every queued job still runs when the executor goes away, and what it captured goes after it.
    void whatAJobCapturedGoesAfterTheJobWhicheverThreadLetsGoLast() {
        // Qt can let go of a queued call on the posting thread once the job has run there; the
        // poster, dropping its own reference right after posting, may then free what the job wrote.
        std::atomic<int> sum = 0;
        {
            SerialExecutor executor(u"test"_qs);
            for (int i = 1; i <= 200; ++i) {
                auto value = std::make_shared<int>(0);
                executor.post([value, i, &sum] {
                    *value = i;
                    sum += *value;
                });
            }
        }
        QCOMPARE(sum.load(), 200 * 201 / 2);
    }
};

QTEST_GUILESS_MAIN(TestSerialExecutor)
#include "TestSerialExecutor.moc"
