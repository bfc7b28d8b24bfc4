// The serial executor: jobs run in order, off the caller's thread, and none is dropped at the end.
#include "Support/SerialExecutor.h"
#include "Support/WaitFor.h"
#include "TestSupport/Threads.h"

#include <QFile>
#include <QTest>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <unistd.h>

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

    // Jobs queued behind one that is still running when the executor goes away run all the same:
    // the first job holds the thread until its owner is waiting in the destructor.
    void jobsQueuedBehindARunningOneStillRunWhenTheExecutorGoes() {
        const pid_t owner = gettid();
        std::atomic<bool> goingAway = false;
        QList<int> ran;
        auto executor = std::make_unique<SerialExecutor>(u"test"_qs);
        executor->post([&] {
            while (!goingAway || !test::isBlocked(owner))
                QThread::yieldCurrentThread();
        });
        for (int i = 0; i < 10; ++i)
            executor->post([&ran, i] { ran.append(i); });
        goingAway = true;
        executor.reset();
        QCOMPARE(ran, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
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
