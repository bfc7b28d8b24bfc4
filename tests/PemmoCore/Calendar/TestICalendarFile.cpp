// One ".ics" file laid out in time: repeating series, edited and deleted occurrences, zones,
// floating and all-day times, participants. Runs in a zone of its own (Asia/Tokyo, no daylight
// saving) so that floating and all-day times show where they are placed.
#include "Calendar/CalendarError.h"
#include "Calendar/ICalendarFile.h"
#include "TestSupport/TestData.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <ctime>

using namespace pemmo;

namespace {

QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

QByteArray dataFile(const QString& name) {
    return test::testData(u"ics/"_qs + name);
}

QByteArray calendar(const QByteArray& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Pemmo tests//EN\r\n" + body + "END:VCALENDAR\r\n";
}

ICalendarFile::Context context(QSet<QString> self = {u"me@example.com"_qs}) {
    ICalendarFile::Context c;
    c.calendarID = u"/cal/work"_qs;
    c.sourceID = u"account"_qs;
    c.localID = u"event.ics"_qs;
    c.selfAddresses = std::move(self);
    return c;
}

QList<CalendarEventSnapshot> lay(const QByteArray& bytes, const char* from, const char* to,
                                 const ICalendarFile::Context& ctx = context()) {
    QList<CalendarEventSnapshot> out;
    ICalendarFile::parse(bytes)->occurrences(utc(from), utc(to), ctx, out);
    return out;
}

QByteArray vevent(const QByteArray& lines) {
    return calendar("BEGIN:VEVENT\r\nUID:i\r\n" + lines + "END:VEVENT\r\n");
}

// Each occurrence as "start length flags", in order of start; a moved occurrence names its slot.
QStringList described(QList<CalendarEventSnapshot> events) {
    std::sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    QStringList list;
    for (const CalendarEventSnapshot& e : events) {
        QString d = e.start.toString(Qt::ISODate) + u' ' + QString::number(e.start.secsTo(e.end) / 60) + u'm';
        if (e.allDay)
            d += u" all-day"_qs;
        if (e.cancelled)
            d += u" cancelled"_qs;
        if (e.recurring && e.occurrence == e.start)
            d += u" series"_qs;
        else if (e.recurring)
            d += u" moved from "_qs + e.occurrence.value_or(QDateTime()).toString(Qt::ISODate);
        else if (e.occurrence)
            d += u" occurrence outside a series"_qs;
        list.append(d);
    }
    return list;
}

} // namespace

class TestICalendarFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        qputenv("TZ", "Asia/Tokyo");
        tzset();
    }

    // Files and single events laid out in a window. A moved occurrence keeps its place in the series
    // and leaves its slot empty, a deleted one is left out, a weekly meeting keeps its local time
    // across the clock change, floating and all-day times are local (Tokyo), and an endless or
    // counted series is entered near the window rather than walked from its start, where the
    // occurrence found must be the one the rule gives. Both ends of the window count; an event
    // without an end, or an extra date given as a backward period, lasts no time; rules stepping
    // within a day are left out, so the event stands alone.
    void eventsAreLaidOutInTheWindow_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<QStringList>("occurrences");
        QTest::newRow("moved occurrence")
            << dataFile(u"weekly-moved.ics"_qs) << utc("2026-01-01T00:00:00Z") << utc("2026-02-28T00:00:00Z")
            << QStringList{u"2026-01-05T09:00:00Z 30m series"_qs,
                           u"2026-01-12T09:00:00Z 30m series"_qs,
                           u"2026-01-19T11:00:00Z 30m moved from 2026-01-19T09:00:00Z"_qs,
                           u"2026-01-26T09:00:00Z 30m series"_qs,
                           u"2026-02-02T09:00:00Z 30m series"_qs,
                           u"2026-02-09T09:00:00Z 30m series"_qs};
        QTest::newRow("deleted occurrence")
            << dataFile(u"weekly-deleted.ics"_qs) << utc("2026-02-01T00:00:00Z")
            << utc("2026-03-31T00:00:00Z")
            << QStringList{u"2026-02-05T20:00:00Z 60m series"_qs, u"2026-02-12T20:00:00Z 60m series"_qs,
                           u"2026-02-26T20:00:00Z 60m series"_qs, u"2026-03-05T20:00:00Z 60m series"_qs};
        QTest::newRow("across the clock change")
            << dataFile(u"weekly-dst.ics"_qs) << utc("2026-03-15T00:00:00Z") << utc("2026-04-07T00:00:00Z")
            << QStringList{u"2026-03-16T08:00:00Z 45m series"_qs, u"2026-03-23T08:00:00Z 45m series"_qs,
                           u"2026-03-30T07:00:00Z 45m series"_qs, u"2026-04-06T07:00:00Z 45m series"_qs};
        QTest::newRow("years later") << dataFile(u"weekly-dst.ics"_qs) << utc("2031-03-03T00:00:00Z")
                                     << utc("2031-03-04T00:00:00Z")
                                     << QStringList{u"2031-03-03T08:00:00Z 45m series"_qs};
        QTest::newRow("floating times")
            << dataFile(u"floating.ics"_qs) << utc("2026-03-31T00:00:00Z") << utc("2026-04-05T00:00:00Z")
            << QStringList{u"2026-04-01T00:00:00Z 15m series"_qs, u"2026-04-01T01:00:00Z 60m"_qs,
                           u"2026-04-02T00:00:00Z 15m series"_qs, u"2026-04-03T00:00:00Z 15m series"_qs};
        QTest::newRow("an all-day event")
            << dataFile(u"all-day.ics"_qs) << utc("2026-04-30T00:00:00Z") << utc("2026-05-02T00:00:00Z")
            << QStringList{u"2026-04-30T15:00:00Z 1440m all-day"_qs};
        QTest::newRow("a yearly all-day event")
            << dataFile(u"all-day.ics"_qs) << utc("2026-06-01T00:00:00Z") << utc("2026-06-30T00:00:00Z")
            << QStringList{u"2026-06-09T15:00:00Z 1440m all-day series"_qs};
        QTest::newRow("cancelled event and occurrence")
            << dataFile(u"cancelled.ics"_qs) << utc("2026-06-01T00:00:00Z") << utc("2026-06-05T00:00:00Z")
            << QStringList{u"2026-06-01T08:00:00Z 60m cancelled"_qs, u"2026-06-02T08:00:00Z 60m series"_qs,
                           u"2026-06-03T08:00:00Z 60m cancelled series"_qs,
                           u"2026-06-04T08:00:00Z 60m series"_qs};

        const QByteArray nine = "DTSTART:20260101T090000Z\r\nDTEND:20260101T100000Z\r\n";
        const QDateTime day = utc("2026-01-01T00:00:00Z");
        const QStringList atNine{u"2026-01-01T09:00:00Z 60m"_qs};
        QTest::newRow("ends at the window's start")
            << vevent(nine) << utc("2026-01-01T10:00:00Z") << utc("2026-01-01T12:00:00Z") << atNine;
        QTest::newRow("starts at the window's end")
            << vevent(nine) << utc("2026-01-01T07:00:00Z") << utc("2026-01-01T09:00:00Z") << atNine;
        QTest::newRow("ended a second before the window")
            << vevent(nine) << utc("2026-01-01T10:00:01Z") << utc("2026-01-01T12:00:00Z") << QStringList();
        const auto zoned = [](const QByteArray& tzid) {
            return vevent("DTSTART;TZID=" + tzid + ":20260310T140000\r\nDTEND;TZID=" + tzid +
                          ":20260310T143000\r\n");
        };
        const QDateTime march = utc("2026-03-09T00:00:00Z");
        QTest::newRow("IANA zone name") << zoned("Europe/Berlin") << march << march.addDays(3)
                                        << QStringList{u"2026-03-10T13:00:00Z 30m"_qs};
        QTest::newRow("Windows zone name without VTIMEZONE")
            << zoned("W. Europe Standard Time") << march << march.addDays(3)
            << QStringList{u"2026-03-10T13:00:00Z 30m"_qs};
        QTest::newRow("zone name with a vendor prefix")
            << zoned("/mozilla.org/20050126_1/America/New_York") << march << march.addDays(3)
            << QStringList{u"2026-03-10T18:00:00Z 30m"_qs};
        QTest::newRow("unknown zone name is floating") << zoned("Somewhere/Else") << march << march.addDays(3)
                                                       << QStringList{u"2026-03-10T05:00:00Z 30m"_qs};
        QTest::newRow("no end") << vevent("DTSTART:20260101T090000Z\r\n") << day << day.addDays(1)
                                << QStringList{u"2026-01-01T09:00:00Z 0m"_qs};
        const QStringList backward{u"2026-01-01T09:00:00Z 60m series"_qs,
                                   u"2026-01-03T15:00:00Z 0m series"_qs};
        QTest::newRow("extra date ending before it starts")
            << vevent(nine + "RDATE;VALUE=PERIOD:20260103T150000Z/20260102T160000Z\r\n") << day
            << day.addDays(4) << backward;
        QTest::newRow("extra date with a negative duration")
            << vevent(nine + "RDATE;VALUE=PERIOD:20260103T150000Z/-PT1H\r\n") << day << day.addDays(4)
            << backward;
        QTest::newRow("hourly rule") << vevent(nine + "RRULE:FREQ=HOURLY;COUNT=5\r\n") << day
                                     << day.addDays(1) << atNine;
        QTest::newRow("minutely rule") << vevent(nine + "RRULE:FREQ=MINUTELY;INTERVAL=30;COUNT=4\r\n") << day
                                       << day.addDays(1) << atNine;
        // Lines ending in a bare CR (as Lotus Notes writes them), a rule escaped like text, and the
        // file cut off in its second event.
        QTest::newRow("cut off, escaped rule, bare CR line ends")
            << QByteArray("BEGIN:VCALENDAR\rVERSION:2.0\rBEGIN:VEVENT\rUID:a\rDTSTART:20260101T090000Z\r"
                          "DTEND:20260101T100000Z\rRRULE:FREQ=DAILY\\;COUNT=2\rEND:VEVENT\rBEGIN:VEVENT\r"
                          "UID:b\rDTSTART:2026")
            << day << day.addDays(3)
            << QStringList{u"2026-01-01T09:00:00Z 60m series"_qs, u"2026-01-02T09:00:00Z 60m series"_qs};
        // A series in Berlin until 26 January, written as a date: Monday the 26th is its last day.
        QTest::newRow("until a date, the series starting at a time")
            << vevent("DTSTART;TZID=Europe/Berlin:20260105T090000\r\nDTEND;TZID=Europe/"
                      "Berlin:20260105T093000\r\n"
                      "RRULE:FREQ=WEEKLY;UNTIL=20260126\r\n")
            << utc("2026-01-19T00:00:00Z") << utc("2026-02-28T00:00:00Z")
            << QStringList{u"2026-01-19T08:00:00Z 30m series"_qs, u"2026-01-26T08:00:00Z 30m series"_qs};
        const QByteArray counted = vevent("DTSTART:20200101T090000Z\r\nDTEND:20200101T100000Z\r\n"
                                          "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=1000\r\n");
        QTest::newRow("counted series, day 2250 after its start and the days three and six after it")
            << counted << utc("2026-02-27T00:00:00Z") << utc("2026-03-06T12:00:00Z")
            << QStringList{u"2026-02-28T09:00:00Z 60m series"_qs, u"2026-03-03T09:00:00Z 60m series"_qs,
                           u"2026-03-06T09:00:00Z 60m series"_qs};
        QTest::newRow("counted series, its thousandth occurrence (day 2997) is the last")
            << counted << utc("2028-03-11T00:00:00Z") << utc("2028-04-05T00:00:00Z")
            << QStringList{u"2028-03-13T09:00:00Z 60m series"_qs, u"2028-03-16T09:00:00Z 60m series"_qs};
    }
    void eventsAreLaidOutInTheWindow() {
        QFETCH(QByteArray, bytes);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(QStringList, occurrences);
        QList<CalendarEventSnapshot> events;
        ICalendarFile::parse(bytes)->occurrences(from, to, context(), events);
        QCOMPARE(described(events), occurrences);
    }

    void outlookInvitationReadsZoneRoomAndOrganizer() {
        const auto events =
            lay(dataFile(u"outlook-invite.ics"_qs), "2026-03-10T00:00:00Z", "2026-03-11T00:00:00Z");
        QCOMPARE(events.size(), 1);
        const CalendarEventSnapshot& e = events.first();
        QCOMPARE(e.start, utc("2026-03-10T13:00:00Z"));
        QCOMPARE(e.title, u"Catch-up"_qs);
        QVERIFY(e.externalID.startsWith(u"040000008200E00074C5B7101A82E008"));
        // The organiser is listed among the attendees already (in another case): not added again.
        QCOMPARE(e.attendees, (QList<CalendarAttendee>{
                                  {.email = u"me@example.com"_qs, .name = u"Me"_qs, .isSelf = true},
                                  {.email = u"room4@example.com"_qs,
                                   .name = u"Room 4"_qs,
                                   .kind = CalendarAttendee::Kind::Resource},
                                  {.email = u"grace.hopper@example.com"_qs, .name = u"Grace Hopper"_qs}}));
    }

    void participantsTranslate_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("emails");
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<QString>("flags");
        // flags per attendee: s = self, d = declined, - = neither
        QTest::newRow("organiser not among attendees comes last")
            << QByteArray("ORGANIZER;CN=Ada:mailto:ada@example.com\r\nATTENDEE:mailto:me@example.com\r\n")
            << u"me@example.com ada@example.com"_qs << u"person person"_qs << u"s -"_qs;
        QTest::newRow("self organiser also listed as attendee")
            << QByteArray("ORGANIZER:mailto:ME@example.com\r\nATTENDEE:mailto:me@example.com\r\n"
                          "ATTENDEE:mailto:ada@example.com\r\n")
            << u"me@example.com ada@example.com"_qs << u"person person"_qs << u"s -"_qs;
        QTest::newRow("participant types")
            << QByteArray("ATTENDEE;CUTYPE=GROUP:mailto:team@example.com\r\nATTENDEE;CUTYPE=ROOM:mailto:r@"
                          "example.com\r\n"
                          "ATTENDEE;CUTYPE=UNKNOWN:mailto:u@example.com\r\nATTENDEE;CUTYPE=X-BOT:mailto:b@"
                          "example.com\r\n"
                          "ATTENDEE;CUTYPE=INDIVIDUAL:mailto:i@example.com\r\n")
            << u"team@example.com r@example.com u@example.com b@example.com i@example.com"_qs
            << u"group resource unknown unknown person"_qs << u"- - - - -"_qs;
        QTest::newRow("declined") << QByteArray("ATTENDEE;PARTSTAT=DECLINED:mailto:me@example.com\r\n")
                                  << u"me@example.com"_qs << u"person"_qs << u"sd"_qs;
        QTest::newRow("address that is no e-mail")
            << QByteArray("ATTENDEE;CN=Phone:tel:+15555550123\r\n") << u""_qs << u"person"_qs << u"-"_qs;
    }
    void participantsTranslate() {
        QFETCH(QByteArray, lines);
        QFETCH(QString, emails);
        QFETCH(QString, kinds);
        QFETCH(QString, flags);
        const auto events = lay(vevent("DTSTART:20260101T100000Z\r\nDTEND:20260101T110000Z\r\n" + lines),
                                "2026-01-01T00:00:00Z", "2026-01-02T00:00:00Z");
        QCOMPARE(events.size(), 1);
        QStringList gotEmails, gotKinds, gotFlags;
        for (const CalendarAttendee& a : events.first().attendees) {
            gotEmails.append(a.email);
            const char* kind[] = {"person", "resource", "group", "unknown"};
            gotKinds.append(QString::fromLatin1(kind[static_cast<int>(a.kind)]));
            QString f = a.isSelf ? u"s"_qs : QString();
            if (a.declined)
                f += u'd';
            gotFlags.append(f.isEmpty() ? u"-"_qs : f);
        }
        QCOMPARE(gotEmails.join(u' '), emails);
        QCOMPARE(gotKinds.join(u' '), kinds);
        QCOMPARE(gotFlags.join(u' '), flags);
    }

    // What an event leaves out: a title reads as time together, a start means nothing to place.
    void missingPartsHaveTheirDefaults() {
        const auto events = lay(vevent("DTSTART:20260101T090000Z\r\nSUMMARY:  \r\n"), "2026-01-01T00:00:00Z",
                                "2026-01-02T00:00:00Z");
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().title, u"Time together"_qs);
        QCOMPARE(ICalendarFile::parse(vevent("SUMMARY:Tea\r\n"))->seriesCount(), 0);
    }

    // A rule whose parts never meet (30 February) is given up on within moments, with COUNT or
    // without; libical alone would look for a match for centuries.
    void rulesThatNeverMatchEndQuickly() {
        QByteArray body;
        for (int i = 0; i < 60; ++i) {
            body += "BEGIN:VEVENT\r\nUID:never-" + QByteArray::number(i) +
                    "\r\nDTSTART:19000101T090000Z\r\nRRULE:FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30" +
                    (i % 2 ? ";COUNT=2" : "") + "\r\nEND:VEVENT\r\n";
        }
        QElapsedTimer timer;
        timer.start();
        const auto events = lay(calendar(body), "2026-01-01T00:00:00Z", "2026-01-08T00:00:00Z");
        QVERIFY(events.isEmpty());
        QVERIFY2(timer.elapsed() < 8'000, qPrintable(QString::number(timer.elapsed()) + u" ms"_qs));
    }

    // A broken series whose weekly occurrences each last for centuries would put a hundred thousand
    // of them into any window: a series gives at most a thousand.
    void seriesGiveAtMostAThousandOccurrences() {
        const auto events =
            lay(vevent("DTSTART:02000101T000000Z\r\nDTEND:20260316T000000Z\r\nRRULE:FREQ=WEEKLY\r\n"),
                "2026-01-01T00:00:00Z", "2026-01-08T00:00:00Z");
        QCOMPARE(events.size(), 1000);
        for (const CalendarEventSnapshot& e : events)
            QVERIFY(e.start <= utc("2026-01-08T00:00:00Z") && e.end >= utc("2026-01-01T00:00:00Z"));
    }

    void birthdayEventsAreLeftOut() {
        const auto file =
            ICalendarFile::parse(vevent("DTSTART;VALUE=DATE:19900101\r\nRRULE:FREQ=YEARLY\r\n"
                                        "X-NEXTCLOUD-BC-FIELD-TYPE:BDAY\r\nSUMMARY:Ada's birthday\r\n"));
        QVERIFY(file->onlyBirthdays());
        QList<CalendarEventSnapshot> out;
        file->occurrences(utc("2026-01-01T00:00:00Z"), utc("2026-01-03T00:00:00Z"), context(), out);
        QVERIFY(out.isEmpty());
    }

    void theHeaderTellsFeedAndName_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("feed");
        QTest::addColumn<QString>("name");
        QTest::newRow("refresh interval")
            << QByteArray("REFRESH-INTERVAL;VALUE=DURATION:PT12H\r\n") << true << QString();
        QTest::newRow("published TTL") << QByteArray("X-PUBLISHED-TTL:PT1H\r\n") << true << QString();
        QTest::newRow("source") << QByteArray("SOURCE;VALUE=URI:https://example.com/cal.ics\r\n") << true
                                << QString();
        QTest::newRow("an export is no feed, named by X-WR-CALNAME")
            << QByteArray("METHOD:PUBLISH\r\nX-WR-CALNAME:Work\r\n") << false << u"Work"_qs;
        QTest::newRow("NAME wins over X-WR-CALNAME")
            << QByteArray("NAME:Team\r\nX-WR-CALNAME:Work\r\n") << false << u"Team"_qs;
    }
    void theHeaderTellsFeedAndName() {
        QFETCH(QByteArray, header);
        QFETCH(bool, feed);
        QFETCH(QString, name);
        const auto file = ICalendarFile::parse(calendar(header));
        QCOMPARE(file->isPublishedFeed(), feed);
        QCOMPARE(file->calendarName(), name);
    }

    void textThatIsNoCalendarFails() {
        QVERIFY_THROWS_EXCEPTION(CalendarError, ICalendarFile::parse("just some words\n"));
    }

    void participantsPerSeriesCountsEachSeriesOnce() {
        const auto file = ICalendarFile::parse(dataFile(u"weekly-moved.ics"_qs));
        const QList<QSet<QString>> participants = file->participantsPerSeries();
        QCOMPARE(participants.size(), 1);
        QCOMPARE(participants.first(), (QSet<QString>{u"me@example.com"_qs, u"ada@example.com"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestICalendarFile)
#include "TestICalendarFile.moc"
