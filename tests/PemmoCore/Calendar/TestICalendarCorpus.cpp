// Real calendar files from the test suites of other calendar projects (tests/data/ics/corpus, with
// their sources and licences in tests/data/ics/README.md), read as Pemmo reads a calendar: how
// many occurrences a window holds, where the first one starts, and what it is.
#include "Calendar/ICalendarFile.h"
#include "TestSupport/TestData.h"

#include <QTest>
#include <ctime>

using namespace pemmo;

namespace {

QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

std::shared_ptr<const ICalendarFile> corpusFile(const QString& name) {
    return ICalendarFile::parse(test::testData(u"ics/corpus/"_qs + name));
}

} // namespace

class TestICalendarCorpus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // Floating times are read in the local zone; this one has no daylight saving.
        qputenv("TZ", "Asia/Tokyo");
        tzset();
    }

    void readsTheFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<int>("count");
        QTest::addColumn<QDateTime>("firstStart");
        QTest::addColumn<int>("cancelled");
        QTest::addColumn<bool>("recurring");
        QTest::addColumn<bool>("allDay");

        // A weekly series in Berlin whose 7 July occurrence was moved (RECURRENCE-ID in UTC).
        QTest::newRow("khal: moved occurrence")
            << u"khal/event_rrule_recuid.ics"_qs << utc("2014-07-01T00:00:00Z") << utc("2014-07-31T00:00:00Z")
            << 4 << utc("2014-07-07T07:00:00Z") << 0 << true << false;
        QTest::newRow("khal: cancelled occurrence")
            << u"khal/event_rrule_recuid_cancelled.ics"_qs << utc("2014-07-01T00:00:00Z")
            << utc("2014-07-31T00:00:00Z") << 4 << utc("2014-07-07T07:00:00Z") << 1 << true << false;
        // EXDATE in UTC against a series in Berlin time, DURATION instead of DTEND.
        QTest::newRow("khal: excluded date in UTC")
            << u"khal/event_dtr_exdatez.ics"_qs << utc("2014-06-01T00:00:00Z") << utc("2014-08-01T00:00:00Z")
            << 3 << utc("2014-06-30T05:30:00Z") << 0 << true << false;
        // The file's own VTIMEZONE, under a Windows name, wins over any zone of that name.
        QTest::newRow("khal: Windows zone name with its VTIMEZONE")
            << u"khal/tz_windows_format.ics"_qs << utc("2019-11-01T00:00:00Z") << utc("2019-12-01T00:00:00Z")
            << 1 << utc("2019-11-20T12:00:00Z") << 0 << false << false;
        // An unknown TZID makes the series and its RECURRENCE-ID floating, and they still meet.
        QTest::newRow("khal: unknown zone, moved occurrence")
            << u"khal/event_rrule_recuid_invalid_tzid.ics"_qs << utc("2014-07-06T00:00:00Z")
            << utc("2014-07-08T00:00:00Z") << 1 << utc("2014-07-07T00:00:00Z") << 0 << true << false;
        QTest::newRow("khal: floating, no VCALENDAR around it")
            << u"khal/event_dt_floating.ics"_qs << utc("2014-04-01T00:00:00Z") << utc("2014-04-30T00:00:00Z")
            << 1 << utc("2014-04-09T00:30:00Z") << 0 << false << false;
        QTest::newRow("khal: all-day daily series")
            << u"khal/event_d_rr.ics"_qs << utc("2014-04-01T00:00:00Z") << utc("2014-05-01T00:00:00Z") << 10
            << utc("2014-04-08T15:00:00Z") << 0 << true << true;
        // RDATE with a list of values on one line.
        QTest::newRow("khal: extra dates")
            << u"khal/event_dt_two_rd.ics"_qs << utc("2014-04-01T00:00:00Z") << utc("2014-04-30T00:00:00Z")
            << 4 << utc("2014-04-09T00:30:00Z") << 0 << true << false;
        QTest::newRow("khal: moved occurrence without its series")
            << u"khal/event_dt_recuid_no_master.ics"_qs << utc("2017-03-01T00:00:00Z")
            << utc("2017-04-01T00:00:00Z") << 1 << utc("2017-03-29T07:00:00Z") << 0 << true << false;
        QTest::newRow("khal: participants")
            << u"khal/event_dt_partstat.ics"_qs << utc("2014-04-09T00:00:00Z") << utc("2014-04-10T00:00:00Z")
            << 1 << utc("2014-04-09T07:30:00Z") << 0 << false << false;

        QTest::newRow("icalendar: Google Calendar export")
            << u"icalendar/alarm_google_future.ics"_qs << utc("2024-10-04T00:00:00Z")
            << utc("2024-10-05T00:00:00Z") << 1 << utc("2024-10-04T18:15:00Z") << 0 << false << false;
        QTest::newRow("icalendar: Thunderbird export")
            << u"icalendar/alarm_thunderbird_future.ics"_qs << utc("2024-10-23T00:00:00Z")
            << utc("2024-10-24T00:00:00Z") << 1 << utc("2024-10-23T14:00:00Z") << 0 << false << false;
        QTest::newRow("icalendar: Etar export, start and end in different zones")
            << u"icalendar/alarm_etar_future.ics"_qs << utc("2024-10-05T00:00:00Z")
            << utc("2024-10-06T00:00:00Z") << 1 << utc("2024-10-05T12:00:00Z") << 0 << false << false;
        QTest::newRow("icalendar: custom zone name")
            << u"icalendar/america_new_york.ics"_qs << utc("2014-08-29T00:00:00Z")
            << utc("2014-08-30T00:00:00Z") << 1 << utc("2014-08-29T12:00:00Z") << 0 << false << false;
        QTest::newRow("icalendar: excluded dates one per line")
            << u"icalendar/event_with_recurrence_exdates_on_different_lines.ics"_qs
            << utc("2012-03-01T00:00:00Z") << utc("2012-08-01T00:00:00Z") << 10 << utc("2012-03-27T08:00:00Z")
            << 0 << true << false;

        // A rule whose semicolons are escaped like text, as a Ruby iCalendar library writes them.
        QTest::newRow("vobject: escaped rule")
            << u"vobject/ruby_rrule.ics"_qs << utc("2002-12-31T00:00:00Z") << utc("2003-02-01T00:00:00Z")
            << 10 << utc("2002-12-31T22:00:00Z") << 0 << true << false;

        // Mozilla Calendar: every line folded after its name, and a monthly series that ends (UNTIL)
        // on the date of its last occurrence, 28 December, given without a time.
        QTest::newRow("vobject: series until a date")
            << u"vobject/recurrence.ics"_qs << utc("2006-01-01T00:00:00Z") << utc("2007-01-01T00:00:00Z")
            << 12 << utc("2006-01-26T23:00:00Z") << 0 << true << false;

        // Apple iCal 1.0's moon phases, cut off in the middle of the last event: the complete
        // events are read, the cut one (8 May) is not.
        QTest::newRow("ical4j: calendar cut off")
            << u"ical4j/13-MoonPhase.ics"_qs << utc("2005-04-01T00:00:00Z") << utc("2005-06-01T00:00:00Z")
            << 1 << utc("2005-04-08T20:32:00Z") << 0 << false << false;

        // Outlook 12 names its zones after the cities they hold, commas and all, quoted or not.
        QTest::newRow("vobject: Outlook zone name with commas")
            << u"vobject/ms_tzid.ics"_qs << utc("2008-05-30T00:00:00Z") << utc("2008-05-31T00:00:00Z") << 1
            << utc("2008-05-30T05:00:00Z") << 0 << false << false;
        QTest::newRow("vobject: Outlook zone name in Cyrillic")
            << u"vobject/tzid_8bit.ics"_qs << utc("2008-05-30T00:00:00Z") << utc("2008-05-31T00:00:00Z") << 1
            << utc("2008-05-30T09:00:00Z") << 0 << false << false;
        QTest::newRow("biweekly: Outlook 2010 invitation")
            << u"biweekly/outlook-2010.ics"_qs << utc("2013-06-10T00:00:00Z") << utc("2013-06-11T00:00:00Z")
            << 1 << utc("2013-06-10T16:00:00Z") << 0 << false << false;
        // Outlook 16: lines folded with a tab, the Windows zone name quoted, a week before the
        // end of summer time.
        QTest::newRow("biweekly: Outlook 16 export")
            << u"biweekly/issue115-1.ics"_qs << utc("2022-10-29T00:00:00Z") << utc("2022-10-30T00:00:00Z")
            << 1 << utc("2022-10-29T06:00:00Z") << 0 << false << false;
        // Lotus Notes 6: lines that end in a bare CR, the series given as RDATE periods over folded
        // lines, two of them at other hours.
        QTest::newRow("ccs-calendarserver: Lotus Notes series of periods")
            << u"ccs-calendarserver/Test-03D.ics"_qs << utc("2005-04-25T00:00:00Z")
            << utc("2005-04-30T00:00:00Z") << 5 << utc("2005-04-25T13:00:00Z") << 0 << true << false;
        // Apple iCal 2.0's Thanksgiving: two days long, yearly on the fourth Thursday ("4TH").
        QTest::newRow("ccs-calendarserver: iCal yearly holiday")
            << u"ccs-calendarserver/C318ABFE-1ED0-11D9-A5E0-000A958A3252.ics"_qs
            << utc("2008-11-01T00:00:00Z") << utc("2008-12-01T00:00:00Z") << 1 << utc("2008-11-26T15:00:00Z")
            << 0 << true << true;
    }
    void readsTheFile() {
        QFETCH(QString, file);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(int, count);
        QFETCH(QDateTime, firstStart);
        QFETCH(int, cancelled);
        QFETCH(bool, recurring);
        QFETCH(bool, allDay);

        QList<CalendarEventSnapshot> events;
        corpusFile(file)->occurrences(from, to, {}, events);

        QCOMPARE(events.size(), count);
        std::sort(events.begin(), events.end(),
                  [](const auto& a, const auto& b) { return a.start < b.start; });
        QCOMPARE(events.first().start, firstStart);
        int cancelledCount = 0;
        for (const CalendarEventSnapshot& e : std::as_const(events)) {
            cancelledCount += e.cancelled ? 1 : 0;
            QCOMPARE(e.recurring, recurring);
            QCOMPARE(e.allDay, allDay);
            QVERIFY(e.start <= e.end);
            QVERIFY(!e.title.isEmpty());
            QCOMPARE(e.occurrence.has_value(), recurring);
        }
        QCOMPARE(cancelledCount, cancelled);
    }

    void partstatFileKeepsEveryParticipant() {
        QList<CalendarEventSnapshot> events;
        corpusFile(u"khal/event_dt_partstat.ics"_qs)
            ->occurrences(utc("2014-04-09T00:00:00Z"), utc("2014-04-10T00:00:00Z"), {}, events);
        QCOMPARE(events.size(), 1);
        // The file folds its lines with two spaces, as the standard's example does: unfolding takes
        // one, so the first two addresses keep a space inside and match nobody.
        QStringList seen;
        for (const CalendarAttendee& a : events.first().attendees)
            seen.append(a.email + (a.declined ? u" declined"_qs : QString()) +
                        (a.name.trimmed().isEmpty() ? QString() : u" " + a.name.trimmed()));
        QCOMPARE(seen, (QStringList{u"hcabot@ example.com Henry Cabot"_qs,
                                    u"iamboss @example.com The Big Cheese"_qs,
                                    u"jdoe@example.com Jane Doe"_qs, u"jqpublic@example.com"_qs,
                                    u"another@example.com declined"_qs, u"tent@example.com"_qs}));
    }

    // Outlook's invitation: names with commas, an address folded with a tab, the organiser last.
    void outlookInvitationKeepsItsParticipants() {
        QList<CalendarEventSnapshot> events;
        corpusFile(u"biweekly/outlook-2010.ics"_qs)
            ->occurrences(utc("2013-06-10T00:00:00Z"), utc("2013-06-11T00:00:00Z"), {}, events);
        QCOMPARE(events.size(), 1);
        QStringList seen;
        for (const CalendarAttendee& a : events.first().attendees)
            seen.append(a.email + u" " + a.name);
        QCOMPARE(seen, (QStringList{u"johndoe@example.com Doe, John"_qs, u"janedoe@example.com Doe, Jane"_qs,
                                    u"bobsmith@example.com Smith, Bob"_qs}));
        QCOMPARE(events.first().title, u"Team Meeting"_qs);
    }

    // Google's calendar of the contacts' birthdays, exported: every event is a generated birthday.
    void googleBirthdaysAreLeftOut() {
        const auto file = corpusFile(u"icaljs/google_birthday.ics"_qs);
        QCOMPARE(file->seriesCount(), 2);
        QVERIFY(file->onlyBirthdays());
        QList<CalendarEventSnapshot> events;
        file->occurrences(utc("2012-12-01T00:00:00Z"), utc("2015-01-01T00:00:00Z"), {}, events);
        QVERIFY(events.isEmpty());
    }

    void theHeaderNamesTheCalendarAndMarksASubscription() {
        const auto feed = corpusFile(u"icalendar/rfc_7986_properties.ics"_qs);
        QVERIFY(feed->isPublishedFeed());
        QCOMPARE(feed->calendarName(), u"RFC 7986 calendar"_qs);
        QCOMPARE(feed->seriesCount(), 0);
        const auto googleExport = corpusFile(u"icalendar/alarm_google_future.ics"_qs);
        QVERIFY(!googleExport->isPublishedFeed());
        QCOMPARE(googleExport->calendarName(), u"Nicco Kunzmann"_qs);
    }
};

QTEST_GUILESS_MAIN(TestICalendarCorpus)
#include "TestICalendarCorpus.moc"
