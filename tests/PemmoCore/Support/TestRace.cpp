#include "Records/PemmoError.h"
#include "Support/Race.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

namespace pemmo {
namespace {

// Finishes after `delay` with `value`, noting in `finished` that it ran to its end.
QCoro::Task<int> slowValue(std::chrono::milliseconds delay, int value, std::shared_ptr<bool> finished) {
    co_await QCoro::sleepFor(delay);
    *finished = true;
    co_return value;
}

QCoro::Task<int> slowFailure(std::chrono::milliseconds delay) {
    co_await QCoro::sleepFor(delay);
    throw PemmoError::contactsDenied();
}

QCoro::Task<int> immediateValue(int value) {
    co_return value;
}

QCoro::Task<void> slowVoid(std::chrono::milliseconds delay, std::shared_ptr<bool> finished) {
    co_await QCoro::sleepFor(delay);
    *finished = true;
}

} // namespace

class TestRace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void operationThatFinishesFirstGivesItsValue() {
        auto finished = std::make_shared<bool>(false);
        QElapsedTimer clock;
        clock.start();
        const int value =
            test::await(raceWithTimeout(slowValue(10ms, 42, finished), 5s, PemmoError::timedOut()));
        QCOMPARE(value, 42);
        // The losing timer is stopped rather than waited for.
        QVERIFY(clock.elapsed() < 2000);
    }

    void timerThatFinishesFirstThrowsTheGivenError() {
        auto finished = std::make_shared<bool>(false);
        const auto error = test::awaitErrorOf<PemmoError>(
            raceWithTimeout(slowValue(400ms, 1, finished), 20ms, PemmoError::timedOut()));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::timedOut());
        QVERIFY(!*finished); // the race did not wait for the operation
        // The loser runs to its end on its own; its result goes nowhere.
        QTRY_VERIFY(*finished);
    }

    void operationErrorPassesThrough() {
        const auto error =
            test::awaitErrorOf<PemmoError>(raceWithTimeout(slowFailure(5ms), 5s, PemmoError::timedOut()));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::contactsDenied());
    }

    void finishedOperationWinsEvenWithoutTime() {
        QCOMPARE(test::await(raceWithTimeout(immediateValue(7), 0ms, PemmoError::timedOut())), 7);
    }

    void voidOperationsRaceToo() {
        auto finished = std::make_shared<bool>(false);
        QVERIFY(!test::awaitError(raceWithTimeout(slowVoid(5ms, finished), 5s, PemmoError::timedOut())));
        QVERIFY(*finished);

        auto late = std::make_shared<bool>(false);
        const auto error = test::awaitErrorOf<PemmoError>(
            raceWithTimeout(slowVoid(300ms, late), 10ms, PemmoError::timedOut()));
        QVERIFY(error.has_value());
        QTRY_VERIFY(*late);
    }

    void racesRunSideBySide() {
        auto a = std::make_shared<bool>(false);
        auto b = std::make_shared<bool>(false);
        auto slow = raceWithTimeout(slowValue(300ms, 1, a), 20ms, PemmoError::timedOut());
        auto fast = raceWithTimeout(slowValue(5ms, 2, b), 5s, PemmoError::timedOut());
        QCOMPARE(test::await(std::move(fast)), 2);
        QVERIFY(test::awaitErrorOf<PemmoError>(std::move(slow)).has_value());
        QTRY_VERIFY(*a);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestRace)
#include "TestRace.moc"
