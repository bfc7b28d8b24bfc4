#include "Support/AsyncMutex.h"
#include "TestSupport/Await.h"

#include <QCoroTimer>
#include <QStringList>
#include <QTest>

using namespace std::chrono_literals;

namespace pemmo {
namespace {

// Takes the lock, notes its name on entry and exit, and holds the lock across a wait.
QCoro::Task<void> critical(AsyncMutex& mutex, QStringList& log, QString name,
                           std::chrono::milliseconds hold) {
    auto guard = co_await mutex.scopedLock();
    log.append(name + u" in"_qs);
    co_await QCoro::sleepFor(hold);
    log.append(name + u" out"_qs);
}

} // namespace

class TestAsyncMutex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void waitersGetTheLockInArrivalOrderOneAtATime() {
        AsyncMutex mutex;
        QStringList log;
        // The first holds longest, so a lock that let anyone in early would show interleaving.
        auto a = critical(mutex, log, u"a"_qs, 30ms);
        QCOMPARE(log, QStringList{u"a in"_qs}); // a free lock is taken at once
        auto b = critical(mutex, log, u"b"_qs, 1ms);
        auto c = critical(mutex, log, u"c"_qs, 1ms);
        QCOMPARE(mutex.waiterCount(), 2);
        test::await(std::move(c));
        test::await(std::move(a));
        test::await(std::move(b));
        const QStringList expected{"a in", "a out", "b in", "b out", "c in", "c out"};
        QCOMPARE(log, expected);
        QVERIFY(!mutex.isLocked());
        QCOMPARE(mutex.waiterCount(), 0);
    }

    void releasePassesTheLockWithoutFreeingIt() {
        AsyncMutex mutex;
        QVERIFY(mutex.tryLock());
        QStringList log;
        auto waiter = critical(mutex, log, u"w"_qs, 0ms);
        QVERIFY(log.isEmpty());
        QVERIFY(!mutex.tryLock());
        mutex.unlock(); // hands over: the waiter runs before unlock returns
        QCOMPARE(log.first(), u"w in"_qs);
        test::await(std::move(waiter));
        QVERIFY(!mutex.isLocked());
    }

    void movedGuardUnlocksOnce() {
        AsyncMutex mutex;
        {
            AsyncMutex::Guard outer;
            {
                AsyncMutex::Guard inner = test::await([](AsyncMutex& m) -> QCoro::Task<AsyncMutex::Guard> {
                    co_return co_await m.scopedLock();
                }(mutex));
                outer = std::move(inner);
            }
            QVERIFY(mutex.isLocked());
        }
        QVERIFY(!mutex.isLocked());
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestAsyncMutex)
#include "TestAsyncMutex.moc"
