// When Moments refresh by themselves: the calendar changing, Pemmo coming to the front, the
// computer waking, the session becoming active, and the minute tick.
#include "Moments/MomentMaintenance.h"
#include "Moments/SessionEvents.h"
#include "TestSupport/Await.h"
#include "TestSupport/MomentsWorld.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

using test::kCalendar;
using test::kTen;

// A one-on-one with Ada that ended at `end`.
CalendarEventSnapshot meeting(const QDateTime& end) {
    return test::meeting(u"e-"_qs + QString::number(end.toSecsSinceEpoch()), end.addSecs(-1800), end);
}

// With the maintenance over the service, its minute tick every `tick`.
struct Fixture : test::MomentsWorld {
    explicit Fixture(std::chrono::milliseconds tick = 1h)
        : maintenance(
              service, calendar, settings, sync, &session, [this] { return now; }, tick) {}

    // Starts the address book and maintenance and waits for the first refresh.
    void startAll() {
        QSignalSpy refreshed(&maintenance, &MomentMaintenance::refreshed);
        maintenance.start();
        test::await(sync.start());
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
    }

    SessionEvents session;
    MomentMaintenance maintenance;
};

using Trigger = std::function<void(Fixture&)>;

} // namespace

class TestMomentMaintenance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRefreshWaitsForTheAddressBook() {
        Fixture f;
        f.calendar.setSnapshots({meeting(kTen.addSecs(-1800))});
        f.maintenance.start();
        QCOMPARE(f.maintenance.refreshCount(), 0);
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        test::await(f.sync.start());
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
        QCOMPARE(f.maintenance.refreshCount(), 1);
        // Read with access known, so the first refresh already finds the Moment.
        QCOMPARE(f.service.pending().size(), 1);
        QCOMPARE(f.maintenance.lastRefresh(), kTen);
    }

    // (Pemmo coming to the front refreshes too: TestAppStartup.)
    void eachTriggerRefreshes_data() {
        QTest::addColumn<Trigger>("trigger");
        QTest::newRow("calendar changed")
            << Trigger([](Fixture& f) { f.calendar.setSnapshots({meeting(kTen.addSecs(-1800))}); });
        QTest::newRow("woke from sleep") << Trigger([](Fixture& f) { Q_EMIT f.session.woke(); });
        QTest::newRow("session active again")
            << Trigger([](Fixture& f) { Q_EMIT f.session.sessionActive(); });
        QTest::newRow("other calendars chosen") << Trigger([](Fixture& f) {
            f.settings.setCalendarIDs({kCalendar, u"/cal/home"_qs});
        });
    }
    void eachTriggerRefreshes() {
        QFETCH(Trigger, trigger);
        Fixture f;
        f.startAll();
        const int before = f.maintenance.refreshCount();
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        trigger(f);
        QCOMPARE(f.maintenance.refreshCount(), before + 1);
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
    }

    // The calendar's own change is read by the refresh itself; the other triggers read the
    // permission and the calendars first.
    void onlyTheOtherTriggersReadThePermissionAgain() {
        Fixture f;
        f.startAll();
        f.calendar.setAuthorization(CalendarAccess::Denied);
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        f.calendar.setSnapshots({meeting(kTen.addSecs(-1800))});
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
        QCOMPARE(f.service.access(), CalendarAccess::FullAccess);
        Q_EMIT f.session.woke();
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 2, 5000);
        QCOMPARE(f.service.access(), CalendarAccess::Denied);
    }

    void triggersDuringARefreshRunItOnceMore() {
        Fixture f;
        f.startAll();
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        const int before = f.maintenance.refreshCount();
        f.calendar.setHeld(true);
        f.maintenance.requestRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(f.calendar.waiting(), 1, 5000);
        QVERIFY(f.maintenance.isRunning());
        f.maintenance.requestRefresh();
        f.maintenance.requestRefresh();
        f.calendar.setHeld(false);
        f.calendar.release();
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
        QCOMPARE(f.maintenance.refreshCount(), before + 2);
    }

    void tickExpiresAndRefreshesWhenTheLastRefreshIsOld() {
        Fixture f;
        f.calendar.setSnapshots({meeting(kTen.addSecs(-1800))});
        f.startAll();
        QCOMPARE(f.service.pending().size(), 1);
        const int before = f.maintenance.refreshCount();

        f.now = kTen.addSecs(14 * 60);
        f.maintenance.tick();
        QCOMPARE(f.maintenance.refreshCount(), before);

        // Past its 48 hours the Moment goes on the tick itself, before any refresh.
        f.now = kTen.addSecs(172'800);
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        f.maintenance.tick();
        QVERIFY(f.service.pending().isEmpty());
        QCOMPARE(f.maintenance.refreshCount(), before + 1);
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
    }

    void timerTicks() {
        Fixture f(5ms);
        f.startAll();
        f.now = kTen.addSecs(900);
        QSignalSpy refreshed(&f.maintenance, &MomentMaintenance::refreshed);
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 5000);
        QCOMPARE(f.maintenance.lastRefresh(), kTen.addSecs(900));
    }

    void stoppedMaintenanceHearsNothing() {
        Fixture f;
        f.startAll();
        f.maintenance.stop();
        const int before = f.maintenance.refreshCount();
        f.calendar.setSnapshots({meeting(kTen.addSecs(-1800))});
        Q_EMIT f.session.woke();
        f.maintenance.applicationActivated();
        f.maintenance.tick();
        // Every trigger would have started its refresh right away.
        QVERIFY(!f.maintenance.isRunning());
        QCOMPARE(f.maintenance.refreshCount(), before);
    }
};

QTEST_GUILESS_MAIN(TestMomentMaintenance)
#include "TestMomentMaintenance.moc"
