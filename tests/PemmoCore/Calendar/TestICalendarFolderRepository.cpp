// The calendar on Linux over real folders: access, the calendars listed and left out, the events
// read with their identities, the user's own addresses, the file cache and change watching.
#include "Calendar/CalendarFolders.h"
#include "Calendar/ICalendarFolderRepository.h"
#include "Moments/MomentError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

const QDateTime kFrom = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kTo = QDateTime(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);

// A one-on-one of me@example.com with `other`.
QByteArray oneOnOne(const QString& uid, const QString& when = u"20260110T100000Z"_qs,
                    const QString& other = u"ada@example.com"_qs) {
    return QStringLiteral(
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Pemmo tests//EN\r\nBEGIN:VEVENT\r\n"
               "UID:%1\r\nDTSTART:%2\r\nDURATION:PT30M\r\nSUMMARY:Coffee\r\n"
               "ATTENDEE:mailto:me@example.com\r\nATTENDEE:mailto:%3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(uid, when, other)
        .toUtf8();
}

QByteArray dataFile(const QString& name) {
    return test::testData(u"ics/"_qs + name);
}

// vdirsyncer's layout: <root>/<account>/<collection>/<uid>.ics, a "displayname" beside them.
struct Calendars {
    Calendars() { QDir().mkpath(work()); }

    QString work() const { return dir.filePath(u"nextcloud/work"_qs); }
    QString path(const QString& relative) const { return dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& bytes) const { dir.write(relative, bytes); }

    test::TempDir dir;
};

QStringList titles(const QList<ObservedCalendar>& calendars) {
    QStringList list;
    for (const ObservedCalendar& c : calendars)
        list.append(c.title);
    return list;
}

} // namespace

class TestICalendarFolderRepository : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void accessFollowsTheChosenCalendars() {
        Calendars c;
        ICalendarFolderRepository none({});
        QCOMPARE(test::await(none.authorization()), CalendarAccess::NotDetermined);
        ICalendarFolderRepository readable({c.work()});
        QCOMPARE(test::await(readable.authorization()), CalendarAccess::FullAccess);
        ICalendarFolderRepository missing({c.work(), c.path(u"gone"_qs)});
        QCOMPARE(test::await(missing.authorization()), CalendarAccess::Denied);
        QVERIFY(test::await(missing.calendars()).isEmpty());
        const auto error = test::awaitErrorOf<MomentError>(missing.events(kFrom, kTo, {c.work()}));
        QVERIFY(error);
        QCOMPARE(error->errorCase(), MomentError::Case::Unavailable);
    }

    void calendarsAreTitledAndTheGeneratedOnesLeftOut() {
        Calendars c;
        c.write(u"nextcloud/work/displayname"_qs, "Work\n");
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"nextcloud/personal/b.ics"_qs, oneOnOne(u"b"_qs));
        c.write(u"nextcloud/contact_birthdays/c.ics"_qs, oneOnOne(u"c"_qs));
        c.write(u"google/x/displayname"_qs, "Birthdays");
        c.write(u"google/en.usa#holiday@group.v.calendar.google.com/h.ics"_qs, oneOnOne(u"h"_qs));
        c.write(u"khal/contacts/ada.vcf"_qs, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada\r\nEND:VCARD\r\n");
        c.write(u"feed.ics"_qs,
                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nX-PUBLISHED-TTL:PT1H\r\nEND:VCALENDAR\r\n");
        c.write(u"generated/n.ics"_qs, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:n\r\n"
                                       "DTSTART;VALUE=DATE:19900101\r\nX-NEXTCLOUD-BC-FIELD-TYPE:BDAY\r\n"
                                       "END:VEVENT\r\nEND:VCALENDAR\r\n");
        c.write(u"export.ics"_qs, dataFile(u"corpus/icalendar/alarm_google_future.ics"_qs));
        c.write(u"plain.ics"_qs, oneOnOne(u"p"_qs));
        QStringList all;
        for (const char* calendar : {"nextcloud/work", "nextcloud/personal", "nextcloud/contact_birthdays",
                                     "google/x", "google/en.usa#holiday@group.v.calendar.google.com",
                                     "khal/contacts", "feed.ics", "generated", "export.ics", "plain.ics"})
            all.append(c.path(QString::fromLatin1(calendar)));
        ICalendarFolderRepository repository(all, {u"me@example.com"_qs});
        const QList<ObservedCalendar> calendars = test::await(repository.calendars());
        QCOMPARE(titles(calendars),
                 (QStringList{u"Work"_qs, u"personal"_qs, u"Nicco Kunzmann"_qs, u"plain"_qs}));
        QCOMPARE(calendars.first().id, c.work());

        // Their events never come back, even when asked for.
        const QSet<QString> everything(all.cbegin(), all.cend());
        const QList<CalendarEventSnapshot> events = test::await(repository.events(kFrom, kTo, everything));
        QStringList uids;
        for (const CalendarEventSnapshot& e : events)
            uids.append(e.externalID);
        uids.sort();
        QCOMPARE(uids, (QStringList{u"a"_qs, u"b"_qs, u"p"_qs}));
    }

    void eventsCarryTheirCalendarAccountAndFile() {
        Calendars c;
        c.write(u"nextcloud/work/abc-123.ics"_qs, oneOnOne(u"uid-1"_qs));
        c.write(u"nextcloud/work/two.ics"_qs, dataFile(u"floating.ics"_qs));
        c.write(u"single.ics"_qs, oneOnOne(u"uid-2"_qs));
        ICalendarFolderRepository repository({c.work(), c.path(u"single.ics"_qs)}, {u"Me@Example.com"_qs});
        const QList<CalendarEventSnapshot> events = test::await(repository.events(
            kFrom, QDateTime(QDate(2026, 5, 1), QTime(0, 0), Qt::UTC), {c.work(), c.path(u"single.ics"_qs)}));
        QHash<QString, CalendarEventSnapshot> byUID;
        for (const CalendarEventSnapshot& e : events)
            byUID.insert(e.externalID, e);
        const CalendarEventSnapshot one = byUID.value(u"uid-1"_qs);
        QCOMPARE(one.calendarID, c.work());
        QCOMPARE(one.sourceID, u"nextcloud"_qs);
        QCOMPARE(one.localID, u"abc-123.ics"_qs);
        QVERIFY(one.attendees.first().isSelf);
        QVERIFY(!one.attendees.last().isSelf);
        // A file holding several events cannot name one of them.
        QCOMPARE(byUID.value(u"floating-one@pemmo.test"_qs).localID, QString());
        const CalendarEventSnapshot single = byUID.value(u"uid-2"_qs);
        QCOMPARE(single.calendarID, c.path(u"single.ics"_qs));
        QCOMPARE(single.sourceID, QString());
        QCOMPARE(single.localID, u"single.ics"_qs);
    }

    void onlyTheRequestedCalendarsAreRead() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"nextcloud/home/b.ics"_qs, oneOnOne(u"b"_qs));
        ICalendarFolderRepository repository({c.work(), c.path(u"nextcloud/home"_qs)},
                                             {u"me@example.com"_qs});
        QVERIFY(test::await(repository.events(kFrom, kTo, {})).isEmpty());
        QCOMPARE(repository.parseCount(), 0);
        // A calendar not chosen is not read, whatever is asked.
        QVERIFY(test::await(repository.events(kFrom, kTo, {c.path(u"nextcloud/other"_qs)})).isEmpty());
        const auto events = test::await(repository.events(kFrom, kTo, {c.work()}));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().externalID, u"a"_qs);
        // A path written by hand in the settings file, with a trailing slash, is the same calendar.
        QCOMPARE(test::await(repository.events(kFrom, kTo, {c.work() + u"/"_qs})).size(), 1);
    }

    void filesAreParsedOnceUntilTheyChange() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"nextcloud/work/b.ics"_qs, oneOnOne(u"b"_qs));
        ICalendarFolderRepository repository({c.work()}, {u"me@example.com"_qs});
        QCOMPARE(test::await(repository.events(kFrom, kTo, {c.work()})).size(), 2);
        QCOMPARE(repository.parseCount(), 2);
        QCOMPARE(test::await(repository.events(kFrom, kTo, {c.work()})).size(), 2);
        QCOMPARE(repository.parseCount(), 2);
        c.write(u"nextcloud/work/b.ics"_qs,
                oneOnOne(u"b"_qs, u"20260111T100000Z"_qs, u"alan@example.com"_qs));
        QFile::remove(c.path(u"nextcloud/work/a.ics"_qs));
        const auto events = test::await(repository.events(kFrom, kTo, {c.work()}));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().attendees.last().email, u"alan@example.com"_qs);
        QCOMPARE(repository.parseCount(), 3);
        // A file that is no calendar is skipped; the others still come.
        c.write(u"nextcloud/work/broken.ics"_qs, "this is not a calendar");
        QCOMPARE(test::await(repository.events(kFrom, kTo, {c.work()})).size(), 1);
    }

    void withoutAddressesTheUserIsGuessedAndAnnounced() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"nextcloud/work/b.ics"_qs,
                oneOnOne(u"b"_qs, u"20260111T100000Z"_qs, u"alan@example.com"_qs));
        c.write(u"nextcloud/work/c.ics"_qs,
                oneOnOne(u"c"_qs, u"20260112T100000Z"_qs, u"grace@example.com"_qs));
        ICalendarFolderRepository repository({c.work()});
        QSignalSpy inferred(&repository, &ICalendarFolderRepository::selfAddressesInferred);
        // (That the guess marks the user in the events is followed in TestMomentsCommand.)
        QCOMPARE(test::await(repository.events(kFrom, kTo, {c.work()})).size(), 3);
        // Announced by the time the events arrive, so that the setting holds the addresses when the
        // command line ends right after its refresh.
        QCOMPARE(inferred.size(), 1);
        QCOMPARE(inferred.first().first().toStringList(), QStringList{u"me@example.com"_qs});
        QCOMPARE(test::await(repository.inferSelfAddresses()), QStringList{u"me@example.com"_qs});

        // The same guess is not announced twice; after the user typed addresses and cleared them
        // again, it is, so that the setting is filled again.
        test::await(repository.events(kFrom, kTo, {c.work()}));
        QCOMPARE(inferred.size(), 1);
        repository.setSelfAddresses({u"other@example.com"_qs});
        test::await(repository.events(kFrom, kTo, {c.work()}));
        repository.setSelfAddresses({});
        test::await(repository.events(kFrom, kTo, {c.work()}));
        QCOMPARE(inferred.size(), 2);
    }

    // What a folder picked in the settings window stands for: a calendar file, a collection, or the
    // collections one or two folders down (an account, a root of accounts).
    void aPickedFolderStandsForTheCalendarsBelowIt() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"nextcloud/home/displayname"_qs, "Home");
        c.write(u"notes/readme.txt"_qs, "not a calendar");
        const QStringList both{c.path(u"nextcloud/home"_qs), c.work()};
        QCOMPARE(CalendarFolders::discover(c.dir.path()), both);
        QCOMPARE(CalendarFolders::discover(c.path(u"nextcloud"_qs)), both);
        QCOMPARE(CalendarFolders::discover(c.work()), QStringList{c.work()});
        QCOMPARE(CalendarFolders::discover(c.path(u"nextcloud/work/a.ics"_qs)),
                 QStringList{c.path(u"nextcloud/work/a.ics"_qs)});
        QVERIFY(CalendarFolders::discover(c.path(u"notes"_qs)).isEmpty());
        // With none chosen, asking for access opens nothing: the choice is the settings window's.
        ICalendarFolderRepository repository({});
        QCOMPARE(test::await(repository.requestAccess()), CalendarAccess::NotDetermined);
        repository.setCalendarPaths(both);
        QCOMPARE(test::await(repository.requestAccess()), CalendarAccess::FullAccess);
    }

    void changesArriveOncePerBurst() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"single.ics"_qs, oneOnOne(u"s"_qs));
        ICalendarFolderRepository repository({c.work(), c.path(u"single.ics"_qs)}, {}, 50ms);
        test::await(repository.authorization()); // the watcher is in place once the first job ran
        QSignalSpy changed(&repository, &CalendarRepository::changed);

        c.write(u"nextcloud/work/b.ics"_qs, oneOnOne(u"b"_qs));
        c.write(u"nextcloud/work/c.ics"_qs, oneOnOne(u"c"_qs));
        c.write(u"nextcloud/work/.c.ics.tmp"_qs, "half");
        QVERIFY(changed.wait(5000));
        QCOMPARE(changed.size(), 1);

        // A single-file calendar replaced the way editors save it.
        changed.clear();
        c.write(u"single.ics.new"_qs, oneOnOne(u"s-moved"_qs, u"20260120T100000Z"_qs));
        QVERIFY(QFile::remove(c.path(u"single.ics"_qs)));
        QVERIFY(QFile::rename(c.path(u"single.ics.new"_qs), c.path(u"single.ics"_qs)));
        QVERIFY(changed.wait(5000));
    }

    void followsOtherCalendars() {
        Calendars c;
        c.write(u"nextcloud/work/a.ics"_qs, oneOnOne(u"a"_qs));
        c.write(u"other/b.ics"_qs, oneOnOne(u"b"_qs));
        ICalendarFolderRepository repository({c.work()}, {u"me@example.com"_qs}, 50ms);
        repository.setCalendarPaths({c.path(u"other"_qs)});
        QCOMPARE(titles(test::await(repository.calendars())), QStringList{u"other"_qs});
        QSignalSpy changed(&repository, &CalendarRepository::changed);
        c.write(u"other/c.ics"_qs, oneOnOne(u"c"_qs));
        QVERIFY(changed.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestICalendarFolderRepository)
#include "TestICalendarFolderRepository.moc"
