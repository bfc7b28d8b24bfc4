// The Moment capture screen: what a saved memory puts on the timeline, what is refused and shown,
// dismissing and stopping a series, and the screen's keys. (The draft kept while the screen is
// left is followed end to end in TestMomentsEndToEnd.)
#include "../Shell/KeyPress.h"
#include "App/AppEnvironment.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/MomentCaptureViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;
using test::await;

namespace {

// Half an hour of coffee with Anna.
CalendarEventSnapshot oneOnOne(const QString& uid, const QDateTime& end, bool recurring = false) {
    CalendarEventSnapshot event = test::meeting(uid, end.addSecs(-1800), end, u"anna@example.org"_qs);
    event.recurring = recurring;
    if (recurring)
        event.occurrence = event.start;
    return event;
}

} // namespace

class TestMomentCaptureViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    QDateTime m_now;

    InMemoryCalendarRepository& calendar() {
        return dynamic_cast<InMemoryCalendarRepository&>(m_env->calendar());
    }
    QList<Interaction> timeline() { return m_env->sync().profile(u"anna"_qs)->record->interactions; }
    void refresh() {
        await(m_env->moments().refreshAccess());
        await(m_env->moments().refresh(QDateTime::currentDateTimeUtc()));
    }
    // Opens the capture screen for the pending Moment at `index`, as the search screen does.
    MomentCandidate open(int index = 0) {
        const MomentCandidate moment = m_env->moments().pending().at(index);
        m_env->router().push(Route::momentCapture(std::make_shared<const MomentCandidate>(moment)));
        return moment;
    }

private Q_SLOTS:
    void init() {
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.emails = {{u"home"_qs, u"anna@example.org"_qs}};
        m_env = test::startedEnvironment({anna});
        m_now = QDateTime::currentDateTimeUtc();
        test::connectCalendar(*m_env, {oneOnOne(u"coffee"_qs, m_now.addSecs(-1800))}, m_now);
        QCOMPARE(m_env->moments().pending().size(), 1);
    }
    void cleanup() {
        m_env->sync().stop();
        m_env.reset();
    }

    void savingPutsAMetEntryWithTheMomentsHashesOnTheTimeline() {
        const MomentCandidate moment = open();
        MomentCaptureViewModel capture(*m_env, moment);
        QCOMPARE(capture.personName(), u"Anna Berg"_qs);
        capture.setText(u"  She is moving to Lisbon in May \n"_qs);
        await(capture.save());
        QVERIFY2(capture.error().isEmpty(), qPrintable(capture.error()));

        QCOMPARE(timeline().size(), 1);
        const Interaction entry = timeline().first();
        QCOMPARE(entry.kind, Interaction::Kind::Met);
        QCOMPARE(entry.text, u"She is moving to Lisbon in May"_qs);
        QCOMPARE(entry.date, moment.endDate);
        QCOMPARE(entry.calendarEventHash, std::optional(moment.id));
        QStringList others = moment.sortedAliases();
        others.removeAll(moment.id);
        QCOMPARE(entry.calendarEventAliases, std::optional(others));
        QVERIFY(m_env->moments().pending().isEmpty());
        // Back on the search screen, told where the memory went.
        QCOMPARE(m_env->router().depth(), 1);
        QCOMPARE(m_env->router().bannerStyle(), u"success"_qs);

        // The calendar still shows the event: the Moment stays saved.
        refresh();
        QVERIFY(m_env->moments().pending().isEmpty());
    }

    // The day is named for the time shown beside it: an evening that ran past midnight did not
    // start "today".
    void theTimeOfTheEventNamesItsDays_data() {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<int>("startDaysAgo");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<int>("endDaysAgo");
        QTest::addColumn<QString>("when");
        QTest::newRow("this morning") << QTime(9, 0) << 0 << QTime(10, 30) << 0 << u"Today, 09:00 – 10:30"_qs;
        QTest::newRow("yesterday") << QTime(14, 0) << 1 << QTime(15, 0) << 1
                                   << u"Yesterday, 14:00 – 15:00"_qs;
        QTest::newRow("past midnight")
            << QTime(23, 10) << 1 << QTime(0, 10) << 0 << u"Yesterday, 23:10 – Today, 00:10"_qs;
        QTest::newRow("a point in time") << QTime(8, 0) << 0 << QTime(8, 0) << 0 << u"Today, 08:00"_qs;
    }
    void theTimeOfTheEventNamesItsDays() {
        QFETCH(QTime, start);
        QFETCH(int, startDaysAgo);
        QFETCH(QTime, end);
        QFETCH(int, endDaysAgo);
        QFETCH(QString, when);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        const QDate today(2026, 12, 7);
        const QDateTime now(today, QTime(11, 0));
        QCOMPARE(MomentCaptureViewModel::describeWhen(QDateTime(today.addDays(-startDaysAgo), start),
                                                      QDateTime(today.addDays(-endDaysAgo), end), now),
                 when);
        QLocale::setDefault(QLocale::c());
    }

    void aRefusedSaveStaysOnTheScreenWithTheReason_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("goneFirst");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing written")
            << u" \n "_qs << false
            << u"Could not save. Write a memory first, or choose Just log that we met."_qs;
        QTest::newRow("Moment no longer pending") << u"Lunch"_qs << true
                                                  << u"Could not save. This Moment is no longer available. "
                                                     u"Check the calendar folders in Pemmo's settings "
                                                     u"and that the contact still exists."_qs;
    }
    void aRefusedSaveStaysOnTheScreenWithTheReason() {
        QFETCH(QString, text);
        QFETCH(bool, goneFirst);
        QFETCH(QString, error);
        const MomentCandidate moment = open();
        MomentCaptureViewModel capture(*m_env, moment);
        if (goneFirst)
            m_env->moments().dismiss(moment);
        capture.setText(text);
        await(capture.save());
        QCOMPARE(capture.error(), error);
        QVERIFY(!capture.isSaving());
        QVERIFY(timeline().isEmpty());
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::MomentCapture);
        // Typing again takes the complaint away.
        capture.setText(text + u"x"_qs);
        QVERIFY(capture.error().isEmpty());
    }

    void stoppingASeriesRemovesEveryOccurrenceButAOneOffHasNoSeries() {
        // A weekly coffee whose last two occurrences are both still on offer.
        calendar().setSnapshots({oneOnOne(u"weekly"_qs, m_now.addSecs(-1800), true),
                                 oneOnOne(u"weekly"_qs, m_now.addSecs(-1800 - 86'400), true),
                                 oneOnOne(u"coffee"_qs, m_now.addSecs(-3600))});
        refresh();
        QCOMPARE(m_env->moments().pending().size(), 3);
        MomentCaptureViewModel oneOff(*m_env, open(1));
        QVERIFY(!oneOff.isRecurring());
        oneOff.stopSuggesting();
        QCOMPARE(m_env->moments().pending().size(), 3);
        QCOMPARE(m_env->moments().excludedSeriesCount(), 0);
        m_env->router().pop();

        MomentCaptureViewModel weekly(*m_env, open(0));
        QVERIFY(weekly.isRecurring());
        weekly.stopSuggesting();
        QCOMPARE(m_env->moments().pending().size(), 1);
        QCOMPARE(m_env->moments().pending().first().eventTitle, u"Coffee"_qs);
        QVERIFY(!m_env->moments().pending().first().isRecurring());
        QCOMPARE(m_env->moments().excludedSeriesCount(), 1);
        QCOMPARE(m_env->router().depth(), 1);
    }

    // Return and letters are typing; the Control keys and Escape act on the Moment.
    void keysSaveLogDismissAndLeave_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("handled");
        QTest::addColumn<QString>("saved"); // the timeline text, empty when nothing was saved
        QTest::addColumn<bool>("stillPending");
        QTest::addColumn<int>("depth");
        const int control = int(Qt::ControlModifier);
        QTest::newRow("Control-Return saves")
            << int(Qt::Key_Return) << control << true << u"Pasta"_qs << false << 1;
        QTest::newRow("Control-Enter saves")
            << int(Qt::Key_Enter) << control << true << u"Pasta"_qs << false << 1;
        // Just logging saves that we met, whatever was typed.
        QTest::newRow("Control-J just logs")
            << int(Qt::Key_J) << control << true << u"Spent time together."_qs << false << 1;
        // A dismissed Moment does not come back with the next refresh.
        QTest::newRow("Control-D dismisses") << int(Qt::Key_D) << control << true << QString() << false << 1;
        QTest::newRow("Escape goes back") << int(Qt::Key_Escape) << 0 << true << QString() << true << 1;
        QTest::newRow("Return") << int(Qt::Key_Return) << 0 << false << QString() << true << 2;
        QTest::newRow("letter d") << int(Qt::Key_D) << 0 << false << QString() << true << 2;
    }
    void keysSaveLogDismissAndLeave() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, handled);
        QFETCH(QString, saved);
        QFETCH(bool, stillPending);
        QFETCH(int, depth);
        MomentCaptureViewModel capture(*m_env, open());
        capture.setText(u"Pasta"_qs);
        KeyEvent event = test::key(key, Qt::KeyboardModifiers(modifiers));
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            event.characters = QString(QChar(u'a' + (key - Qt::Key_A)));
        QCOMPARE(capture.handleKey(event), handled ? KeyResult::Handled : KeyResult::Pass);
        QTRY_COMPARE(m_env->router().depth(), depth);
        QCOMPARE(timeline().isEmpty(), saved.isEmpty());
        if (!saved.isEmpty())
            QCOMPARE(timeline().first().text, saved);
        QCOMPARE(m_env->moments().pending().size(), stillPending ? 1 : 0);
        refresh();
        QCOMPARE(m_env->moments().pending().size(), stillPending ? 1 : 0);
    }
};

QTEST_MAIN(TestMomentCaptureViewModel)
#include "TestMomentCaptureViewModel.moc"
