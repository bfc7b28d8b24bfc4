// The Moment service over an in-memory calendar, the real record store and sync engine, and a
// Moments file in a temporary folder; "now" is a hand-set clock.
#include "Moments/MomentError.h"
#include "Moments/MomentService.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/MomentsWorld.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

using test::kCalendar;
using test::kTen;
using test::meeting;

CalendarEventSnapshot weekly(const QDateTime& start) {
    CalendarEventSnapshot e = meeting(u"weekly"_qs, start, start.addSecs(1800));
    e.recurring = true;
    e.occurrence = start;
    return e;
}

// Started, with a delay of 20 minutes, the calendar's access read and the default meeting with Ada
// in the calendar.
struct Fixture : test::MomentsWorld {
    Fixture() {
        test::await(sync.start());
        settings.setMomentDelayMinutes(20);
        test::await(service.refreshAccess());
        calendar.setSnapshots({meeting()});
    }

    void refresh() { test::await(service.refresh(now)); }

    // Refreshes and gives the first Moment on offer.
    MomentCandidate offered() {
        refresh();
        return service.pending().value(0);
    }

    // A refresh whose calendar read waits while `meanwhile` runs.
    void refreshWhile(const std::function<void()>& meanwhile) {
        calendar.setHeld(true);
        auto refreshing = service.refresh(now);
        QCOMPARE(calendar.waiting(), 1);
        meanwhile();
        calendar.release();
        test::await(std::move(refreshing));
    }
};

} // namespace

class TestMomentService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aMeetingIsOfferedOnceTheDelayHasPassed() {
        Fixture f;
        f.calendar.setSnapshots({meeting(u"e1"_qs, kTen.addSecs(-3600), kTen.addSecs(-600))});
        f.refresh();
        QVERIFY(f.service.pending().isEmpty());
        f.now = kTen.addSecs(15 * 60);
        f.refresh();
        QCOMPARE(f.service.pending().size(), 1);
        QCOMPARE(f.service.pending().first().profileID, u"ada"_qs);
        QVERIFY(!f.service.error());
        QVERIFY(f.dir.exists(MomentStore::fileName()));
    }

    // What the saved entry holds, and that the Moment stays saved when the calendar is read again,
    // is followed in TestMomentCaptureViewModel.
    void savingDropsTheDraftAndMarksEveryAliasSaved() {
        Fixture f;
        const MomentCandidate moment = f.offered();
        f.service.setDraft(moment.id, u"Talked about"_qs);
        QCOMPARE(f.service.drafts().value(moment.id), u"Talked about"_qs);
        test::await(f.service.save(moment, u"Talked about engines."_qs, false));
        QVERIFY(f.service.pending().isEmpty());
        QVERIFY(f.service.drafts().isEmpty());
        QVERIFY(!f.service.isSaving());
        QCOMPARE(f.sync.profile(u"ada"_qs)->record->interactions.size(), 1);
        for (const QString& alias : moment.aliases)
            QCOMPARE(f.local.state().suppressed.value(alias), MomentStatus::Saved);
    }

    void secondSaveWhileOneRunsIsRefused() {
        Fixture f;
        f.calendar.setSnapshots(
            {meeting(), meeting(u"e2"_qs, kTen.addSecs(-7200), kTen.addSecs(-3600), u"alan@example.com"_qs)});
        f.refresh();
        QCOMPARE(f.service.pending().size(), 2);
        auto first = f.service.save(f.service.pending()[0], u"One"_qs, false);
        QVERIFY(f.service.isSaving());
        const auto busy =
            test::awaitErrorOf<MomentError>(f.service.save(f.service.pending()[1], u"Two"_qs, false));
        QVERIFY(busy);
        QCOMPARE(busy->errorCase(), MomentError::Case::Busy);
        test::await(std::move(first));
        QCOMPARE(f.service.pending().size(), 1);
    }

    // (A Moment dismissed before its save is refused in TestMomentCaptureViewModel.)
    void aMomentWhoseContactWasDeletedIsUnavailable() {
        Fixture f;
        const MomentCandidate moment = f.offered();
        f.contacts.setPeople({test::adaAndAlan()[1]});
        test::await(f.sync.refresh());
        const auto deleted = test::awaitErrorOf<MomentError>(f.service.save(moment, u"x"_qs, false));
        QVERIFY(deleted && deleted->errorCase() == MomentError::Case::Unavailable);
        // The published list drops it as soon as anything publishes.
        QVERIFY(f.service.expire(f.now));
        QVERIFY(f.service.pending().isEmpty());
    }

    void momentSavedOnAnotherDeviceIsNeverOffered() {
        Fixture f;
        const CalendarEventSnapshot event = meeting();
        const QString external =
            MomentCandidate::stableHash({u"external-v1"_qs, u"account"_qs, u"e1"_qs, u"single"_qs});
        const Interaction synced{QUuid::createUuid(), event.end, Interaction::Kind::Met,
                                 u"From the laptop"_qs, external};
        test::await(f.sync.addInteraction(u"ada"_qs, synced));
        f.refresh();
        QVERIFY(f.service.pending().isEmpty());
        QVERIFY(f.service.committed().contains(external));
        QCOMPARE(f.local.state().suppressed.value(external), MomentStatus::Saved);
    }

    void stoppingASeriesAndAllowingItAgain() {
        Fixture f;
        const QDateTime monday = kTen.addDays(-1);
        const QDateTime today = kTen.addSecs(-3600);
        f.calendar.setSnapshots({weekly(monday), weekly(today)});
        f.refresh();
        QCOMPARE(f.service.pending().size(), 2);
        const MomentCandidate older = f.service.pending()[1];
        f.service.dismiss(older);
        QCOMPARE(f.service.pending().size(), 1);

        f.service.stopSuggesting(f.service.pending().first());
        QVERIFY(f.service.pending().isEmpty());
        QCOMPARE(f.service.excludedSeriesCount(), 1);
        f.refresh();
        QVERIFY(f.service.pending().isEmpty());

        f.service.allowAllSeries();
        QCOMPARE(f.service.excludedSeriesCount(), 0);
        f.refresh();
        // The occurrence only hidden with its series is back; the dismissed one is not.
        QCOMPARE(f.service.pending().size(), 1);
        QCOMPARE(f.service.pending().first().endDate, today.addSecs(1800));
    }

    void refreshesAskedTogetherRunOneAfterTheOther() {
        Fixture f;
        QSignalSpy finished(&f.service, &MomentService::refreshFinished);
        f.calendar.setHeld(true);
        auto first = f.service.refresh(f.now);
        QVERIFY(f.service.isRefreshing());
        QCOMPARE(f.calendar.waiting(), 1);
        test::await(f.service.refresh(f.now)); // returns at once: the running one goes again
        test::await(f.service.refresh(f.now));
        QCOMPARE(f.calendar.waiting(), 1);
        f.calendar.setHeld(false);
        f.calendar.release();
        test::await(std::move(first));
        QCOMPARE(f.calendar.eventReads(), 2);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!f.service.isRefreshing());
        QCOMPARE(f.service.pending().size(), 1);
    }

    void disconnectDuringARefreshDropsItsResult() {
        Fixture f;
        f.refreshWhile([&f] { f.service.disconnect(f.now); });
        QVERIFY(f.service.pending().isEmpty());
        QVERIFY(!f.service.error());
        QVERIFY(!f.settings.calendarConnected());
        QVERIFY(!f.settings.momentsEnabled());
        QVERIFY(f.settings.calendarIDs().isEmpty());
        QCOMPARE(f.settings.calendarSince(), double(kTen.toSecsSinceEpoch()));
        QVERIFY(!f.dir.exists(MomentStore::fileName()));
    }

    // A read that fails after a disconnect belongs to the old connection: the new one shows no error.
    void failureOfAReadFromBeforeADisconnectIsNotShown() {
        Fixture f;
        f.calendar.setUnavailable(true);
        f.refreshWhile([&f] {
            f.service.disconnect(f.now);
            f.settings.setCalendarConnected(true);
            f.settings.setMomentsEnabled(true);
            f.settings.setCalendarIDs({kCalendar});
        });
        QVERIFY(!f.service.error());
    }

    void otherCalendarsChosenDuringARefreshDropItsResult() {
        Fixture f;
        f.refreshWhile([&f] { f.settings.setCalendarIDs({u"/cal/home"_qs}); });
        QVERIFY(f.service.pending().isEmpty());
    }

    void reconnectingOffersOnlyWhatEndedAfterTheDisconnection() {
        Fixture f;
        f.service.disconnect(kTen);
        f.now = kTen.addSecs(3600);
        f.calendar.setSnapshots({meeting(u"before"_qs, kTen.addSecs(-3600), kTen.addSecs(-1800)),
                                 meeting(u"after"_qs, kTen, kTen.addSecs(1800), u"alan@example.com"_qs)});
        test::await(f.service.connect());
        f.settings.setCalendarIDs({kCalendar});
        f.refresh();
        QVERIFY(f.settings.calendarConnected());
        QCOMPARE(f.service.pending().size(), 1);
        QCOMPARE(f.service.pending().first().profileID, u"alan"_qs);
    }

    void connectTurnsMomentsOnAndRefreshes() {
        Fixture f;
        f.settings.setCalendarConnected(false);
        f.settings.setMomentsEnabled(false);
        f.calendar.setAuthorization(CalendarAccess::NotDetermined);
        test::await(f.service.refreshAccess());
        test::await(f.service.connect());
        QCOMPARE(f.service.access(), CalendarAccess::FullAccess);
        QVERIFY(f.settings.calendarConnected());
        QVERIFY(f.settings.momentsEnabled());
        QCOMPARE(f.service.calendars().size(), 1);
        QCOMPARE(f.service.pending().size(), 1);
        QVERIFY(!f.service.isConnecting());
    }

    void anUnavailableCalendarIsReportedAndWhatWasPendingKept() {
        Fixture f;
        f.refresh();
        f.calendar.setUnavailable(true);
        f.refresh();
        QCOMPARE(f.service.error(), MomentService::refreshFailedMessage());
        QCOMPARE(f.service.pending().size(), 1);
        QVERIFY(!test::await(f.service.refreshAccess()));
        QCOMPARE(f.service.error(), u"Calendar is temporarily unavailable. Try again."_qs);
        f.calendar.setUnavailable(false);
        f.refresh();
        QVERIFY(!f.service.error());
    }

    void losingAccessClearsEverything() {
        Fixture f;
        f.refresh();
        f.service.setDraft(test::ids(f.service.pending()).first(), u"half a thought"_qs);
        f.calendar.setAuthorization(CalendarAccess::Denied);
        QVERIFY(!test::await(f.service.refreshAccess()));
        QCOMPARE(f.service.access(), CalendarAccess::Denied);
        QVERIFY(f.service.pending().isEmpty());
        QVERIFY(f.service.calendars().isEmpty());
        QVERIFY(f.service.drafts().isEmpty());
        // The stored Moments stay out of sight at the next minute's expiry too.
        QVERIFY(f.service.expire(f.now));
        QVERIFY(f.service.pending().isEmpty());
    }

    // A check that fails (folders that do not answer in time) is reported and changes nothing shown.
    void aFailedAccessCheckKeepsWhatIsShown() {
        Fixture f;
        f.refresh();
        QCOMPARE(f.service.pending().size(), 1);
        f.calendar.setAuthorizationFails(true);
        QVERIFY(!test::await(f.service.refreshAccess()));
        QCOMPARE(f.service.error(), MomentService::calendarUnavailableMessage());
        QCOMPARE(f.service.access(), CalendarAccess::FullAccess);
        QCOMPARE(f.service.pending().size(), 1);
        f.calendar.setAuthorizationFails(false);
        QVERIFY(test::await(f.service.refreshAccess()));
    }

    void expiryRecordsAndHides() {
        Fixture f;
        const MomentCandidate moment = f.offered();
        QVERIFY(f.service.expire(moment.expiresAt.addSecs(-1)));
        QCOMPARE(f.service.pending().size(), 1);
        QVERIFY(f.service.expire(moment.expiresAt));
        QVERIFY(f.service.pending().isEmpty());
        QCOMPARE(f.local.state().suppressed.value(moment.id), MomentStatus::Expired);
    }

    void damagedFileIsReportedOnceThenReplaced() {
        Fixture f;
        f.dir.write(MomentStore::fileName(), "not json");
        MomentStore local(f.dir.filePath(MomentStore::fileName()), [] { return kTen; });
        MomentService service(f.calendar, local, f.settings, f.sync, f.store, [] { return kTen; });
        test::await(service.refreshAccess());
        test::await(service.refresh(kTen));
        QCOMPARE(service.error(), MomentService::refreshFailedMessage());
        QVERIFY(f.dir.exists(MomentStore::corruptBackupFileName(kTen)));
        test::await(service.refresh(kTen));
        QVERIFY(!service.error());
        QCOMPARE(service.pending().size(), 1);
    }

    void draftsOnlyForPendingMoments() {
        Fixture f;
        f.service.setDraft(u"nothing"_qs, u"text"_qs);
        QVERIFY(f.service.drafts().isEmpty());
        const MomentCandidate moment = f.offered();
        f.service.setDraft(moment.id, u"text"_qs);
        f.service.dismiss(moment);
        QVERIFY(f.service.drafts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMomentService)
#include "TestMomentService.moc"
