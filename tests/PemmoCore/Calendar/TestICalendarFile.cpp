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

QList<QDateTime> starts(const QList<CalendarEventSnapshot>& events) {
    QList<QDateTime> list;
    for (const CalendarEventSnapshot& e : events)
        list.append(e.start);
    std::sort(list.begin(), list.end());
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

    void movedOccurrenceKeepsItsPlaceInTheSeries() {
        const auto events =
            lay(dataFile(u"weekly-moved.ics"_qs), "2026-01-01T00:00:00Z", "2026-02-28T00:00:00Z");
        QCOMPARE(events.size(), 6);
        int moved = 0;
        for (const CalendarEventSnapshot& e : events) {
            QVERIFY(e.recurring);
            QCOMPARE(e.externalID, u"weekly-moved@pemmo.test"_qs);
            QVERIFY(e.occurrence);
            if (e.title == u"1:1 with Ada (moved)") {
                ++moved;
                QCOMPARE(e.start, utc("2026-01-19T11:00:00Z"));
                QCOMPARE(e.end, utc("2026-01-19T11:30:00Z"));
                QCOMPARE(*e.occurrence, utc("2026-01-19T09:00:00Z"));
            } else {
                QCOMPARE(*e.occurrence, e.start);
                QCOMPARE(e.start.time(), QTime(9, 0));
            }
        }
        QCOMPARE(moved, 1);
        // The original slot of the moved occurrence is gone.
        QVERIFY(!starts(events).contains(utc("2026-01-19T09:00:00Z")));
    }

    // Series laid out in a window: a deleted occurrence is left out, a weekly meeting keeps its
    // local time across the clock change, and an endless series is entered near the window rather
    // than walked from its start, where the occurrence found must be the one the rule gives.
    void seriesAreLaidOutInTheWindow_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<QList<QDateTime>>("starts");
        QTest::addColumn<int>("minutes"); // of every occurrence
        QTest::newRow("deleted occurrence")
            << u"weekly-deleted.ics"_qs << utc("2026-02-01T00:00:00Z") << utc("2026-03-31T00:00:00Z")
            << QList<QDateTime>{utc("2026-02-05T20:00:00Z"), utc("2026-02-12T20:00:00Z"),
                                utc("2026-02-26T20:00:00Z"), utc("2026-03-05T20:00:00Z")}
            << 60;
        QTest::newRow("across the clock change")
            << u"weekly-dst.ics"_qs << utc("2026-03-15T00:00:00Z") << utc("2026-04-07T00:00:00Z")
            << QList<QDateTime>{utc("2026-03-16T08:00:00Z"), utc("2026-03-23T08:00:00Z"),
                                utc("2026-03-30T07:00:00Z"), utc("2026-04-06T07:00:00Z")}
            << 45;
        QTest::newRow("years later") << u"weekly-dst.ics"_qs << utc("2031-03-03T00:00:00Z")
                                     << utc("2031-03-04T00:00:00Z")
                                     << QList<QDateTime>{utc("2031-03-03T08:00:00Z")} << 45;
    }
    void seriesAreLaidOutInTheWindow() {
        QFETCH(QString, file);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(QList<QDateTime>, starts);
        QFETCH(int, minutes);
        QList<CalendarEventSnapshot> events;
        ICalendarFile::parse(dataFile(file))->occurrences(from, to, context(), events);
        QCOMPARE(::starts(events), starts);
        for (const CalendarEventSnapshot& e : events) {
            QCOMPARE(e.start.secsTo(e.end), minutes * 60);
            QCOMPARE(e.occurrence, std::optional(e.start));
        }
    }

    void floatingTimesAreLocalTimes() {
        const auto events = lay(dataFile(u"floating.ics"_qs), "2026-03-31T00:00:00Z", "2026-04-05T00:00:00Z");
        // 10:00 and 09:00 in Tokyo are 01:00 and 00:00 UTC.
        QCOMPARE(starts(events),
                 (QList<QDateTime>{utc("2026-04-01T00:00:00Z"), utc("2026-04-01T01:00:00Z"),
                                   utc("2026-04-02T00:00:00Z"), utc("2026-04-03T00:00:00Z")}));
        for (const CalendarEventSnapshot& e : events) {
            if (e.title == u"Stand-up")
                QCOMPARE(e.start.secsTo(e.end), 15 * 60);
            else
                QVERIFY(!e.recurring);
        }
    }

    void allDayEventsStartAtLocalMidnight() {
        const auto single = lay(dataFile(u"all-day.ics"_qs), "2026-04-30T00:00:00Z", "2026-05-02T00:00:00Z");
        QCOMPARE(single.size(), 1);
        QVERIFY(single.first().allDay);
        QCOMPARE(single.first().start, utc("2026-04-30T15:00:00Z"));
        QCOMPARE(single.first().end, utc("2026-05-01T15:00:00Z"));

        const auto yearly = lay(dataFile(u"all-day.ics"_qs), "2026-06-01T00:00:00Z", "2026-06-30T00:00:00Z");
        QCOMPARE(yearly.size(), 1);
        QVERIFY(yearly.first().allDay);
        QVERIFY(yearly.first().recurring);
        QCOMPARE(yearly.first().start, utc("2026-06-09T15:00:00Z"));
    }

    void cancelledEventsAndOccurrencesAreMarked() {
        const auto events =
            lay(dataFile(u"cancelled.ics"_qs), "2026-06-01T00:00:00Z", "2026-06-05T00:00:00Z");
        QCOMPARE(events.size(), 4);
        QStringList cancelled;
        for (const CalendarEventSnapshot& e : events) {
            if (e.cancelled)
                cancelled.append(e.externalID + u' ' + e.start.toString(Qt::ISODate));
        }
        std::sort(cancelled.begin(), cancelled.end());
        QCOMPARE(cancelled, (QStringList{u"cancelled-one@pemmo.test 2026-06-01T08:00:00Z"_qs,
                                         u"cancelled-series@pemmo.test 2026-06-03T08:00:00Z"_qs}));
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
        const auto events = lay(calendar("BEGIN:VEVENT\r\nUID:p\r\nDTSTART:20260101T100000Z\r\n"
                                         "DTEND:20260101T110000Z\r\n" +
                                         lines + "END:VEVENT\r\n"),
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

    void zoneNamesResolve_data() {
        QTest::addColumn<QByteArray>("tzid");
        QTest::addColumn<QDateTime>("start");
        QTest::newRow("IANA name") << QByteArray("Europe/Berlin") << utc("2026-03-10T13:00:00Z");
        QTest::newRow("Windows name without VTIMEZONE")
            << QByteArray("W. Europe Standard Time") << utc("2026-03-10T13:00:00Z");
        QTest::newRow("vendor prefix")
            << QByteArray("/mozilla.org/20050126_1/America/New_York") << utc("2026-03-10T18:00:00Z");
        QTest::newRow("unknown name is floating")
            << QByteArray("Somewhere/Else") << utc("2026-03-10T05:00:00Z");
    }
    void zoneNamesResolve() {
        QFETCH(QByteArray, tzid);
        QFETCH(QDateTime, start);
        const auto events =
            lay(calendar("BEGIN:VEVENT\r\nUID:z\r\nDTSTART;TZID=" + tzid +
                         ":20260310T140000\r\nDTEND;TZID=" + tzid + ":20260310T143000\r\nEND:VEVENT\r\n"),
                "2026-03-09T00:00:00Z", "2026-03-12T00:00:00Z");
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().start, start);
    }

    void windowIncludesBothEnds() {
        const QByteArray bytes =
            calendar("BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260101T090000Z\r\nDTEND:20260101T100000Z\r\n"
                     "END:VEVENT\r\n");
        QCOMPARE(lay(bytes, "2026-01-01T10:00:00Z", "2026-01-01T12:00:00Z").size(), 1);
        QCOMPARE(lay(bytes, "2026-01-01T07:00:00Z", "2026-01-01T09:00:00Z").size(), 1);
        QCOMPARE(lay(bytes, "2026-01-01T10:00:01Z", "2026-01-01T12:00:00Z").size(), 0);
    }

    // What an event leaves out: a title reads as time together, an end as no time at all.
    void missingPartsHaveTheirDefaults_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("minutes");
        QTest::newRow("blank title") << QByteArray("DTEND:20260101T100000Z\r\nSUMMARY:  \r\n")
                                     << u"Time together"_qs << 60;
        QTest::newRow("no end") << QByteArray("SUMMARY:Tea\r\n") << u"Tea"_qs << 0;
    }
    void missingPartsHaveTheirDefaults() {
        QFETCH(QByteArray, lines);
        QFETCH(QString, title);
        QFETCH(int, minutes);
        const auto events =
            lay(calendar("BEGIN:VEVENT\r\nUID:t\r\nDTSTART:20260101T090000Z\r\n" + lines + "END:VEVENT\r\n"),
                "2026-01-01T00:00:00Z", "2026-01-02T00:00:00Z");
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().title, title);
        QCOMPARE(events.first().start.secsTo(events.first().end), minutes * 60);
        // Without a start there is nothing to place.
        QCOMPARE(ICalendarFile::parse(calendar("BEGIN:VEVENT\r\nUID:n\r\n" + lines + "END:VEVENT\r\n"))
                     ->seriesCount(),
                 0);
    }

    // An extra date given as a period that ends before it starts lasts no time, as an event whose
    // end comes before its start does.
    void backwardPeriodLastsNoTime_data() {
        QTest::addColumn<QByteArray>("period");
        QTest::newRow("end before start") << QByteArray("20260103T150000Z/20260102T160000Z");
        QTest::newRow("negative duration") << QByteArray("20260103T150000Z/-PT1H");
    }
    void backwardPeriodLastsNoTime() {
        QFETCH(QByteArray, period);
        const auto events =
            lay(calendar("BEGIN:VEVENT\r\nUID:p\r\nDTSTART:20260101T090000Z\r\nDTEND:20260101T100000Z\r\n"
                         "RDATE;VALUE=PERIOD:" +
                         period + "\r\nEND:VEVENT\r\n"),
                "2026-01-01T00:00:00Z", "2026-01-05T00:00:00Z");
        QCOMPARE(starts(events),
                 (QList<QDateTime>{utc("2026-01-01T09:00:00Z"), utc("2026-01-03T15:00:00Z")}));
        for (const CalendarEventSnapshot& e : events)
            QVERIFY2(e.start <= e.end,
                     qPrintable(e.start.toString(Qt::ISODate) + u" – "_qs + e.end.toString(Qt::ISODate)));
        QCOMPARE(events.last().end, events.last().start);
    }

    // Rules stepping by the hour, minute or second are left out: the event stands alone.
    void rulesWithinADayAreLeftOut_data() {
        QTest::addColumn<QByteArray>("rule");
        QTest::newRow("hourly") << QByteArray("FREQ=HOURLY;COUNT=5");
        QTest::newRow("minutely") << QByteArray("FREQ=MINUTELY;INTERVAL=30;COUNT=4");
    }
    void rulesWithinADayAreLeftOut() {
        QFETCH(QByteArray, rule);
        const auto events = lay(calendar("BEGIN:VEVENT\r\nUID:h\r\nDTSTART:20260101T090000Z\r\n"
                                         "DTEND:20260101T091000Z\r\nRRULE:" +
                                         rule + "\r\nEND:VEVENT\r\n"),
                                "2026-01-01T00:00:00Z", "2026-01-02T00:00:00Z");
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.first().start, utc("2026-01-01T09:00:00Z"));
        QVERIFY(!events.first().recurring);
    }

    // A counted series far from its start is entered near the window, in step with its start.
    void countedSeriesKeepTheirStep() {
        const QByteArray bytes =
            calendar("BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20200101T090000Z\r\nDTEND:20200101T100000Z\r\n"
                     "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=1000\r\nEND:VEVENT\r\n");
        // Day 2250 after the start, and the days three and six after it.
        QCOMPARE(starts(lay(bytes, "2026-02-27T00:00:00Z", "2026-03-06T12:00:00Z")),
                 (QList<QDateTime>{utc("2026-02-28T09:00:00Z"), utc("2026-03-03T09:00:00Z"),
                                   utc("2026-03-06T09:00:00Z")}));
        // The thousandth occurrence, day 2997, is the last.
        QCOMPARE(starts(lay(bytes, "2028-03-11T00:00:00Z", "2028-04-05T00:00:00Z")),
                 (QList<QDateTime>{utc("2028-03-13T09:00:00Z"), utc("2028-03-16T09:00:00Z")}));
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
        const auto events = lay(calendar("BEGIN:VEVENT\r\nUID:w\r\nDTSTART:02000101T000000Z\r\n"
                                         "DTEND:20260316T000000Z\r\nRRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"),
                                "2026-01-01T00:00:00Z", "2026-01-08T00:00:00Z");
        QCOMPARE(events.size(), 1000);
        for (const CalendarEventSnapshot& e : events)
            QVERIFY(e.start <= utc("2026-01-08T00:00:00Z") && e.end >= utc("2026-01-01T00:00:00Z"));
    }

    void birthdayEventsAreLeftOut() {
        const auto file = ICalendarFile::parse(
            calendar("BEGIN:VEVENT\r\nUID:b\r\nDTSTART;VALUE=DATE:19900101\r\nRRULE:FREQ=YEARLY\r\n"
                     "X-NEXTCLOUD-BC-FIELD-TYPE:BDAY\r\nSUMMARY:Ada's birthday\r\nEND:VEVENT\r\n"));
        QVERIFY(file->onlyBirthdays());
        QList<CalendarEventSnapshot> out;
        file->occurrences(utc("2026-01-01T00:00:00Z"), utc("2026-01-03T00:00:00Z"), context(), out);
        QVERIFY(out.isEmpty());
    }

    void publishedFeedIsRecognised_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("feed");
        QTest::newRow("refresh interval") << QByteArray("REFRESH-INTERVAL;VALUE=DURATION:PT12H\r\n") << true;
        QTest::newRow("published TTL") << QByteArray("X-PUBLISHED-TTL:PT1H\r\n") << true;
        QTest::newRow("source") << QByteArray("SOURCE;VALUE=URI:https://example.com/cal.ics\r\n") << true;
        QTest::newRow("an export is no feed")
            << QByteArray("METHOD:PUBLISH\r\nX-WR-CALNAME:Work\r\n") << false;
    }
    void publishedFeedIsRecognised() {
        QFETCH(QByteArray, header);
        QFETCH(bool, feed);
        QCOMPARE(ICalendarFile::parse(calendar(header))->isPublishedFeed(), feed);
    }

    void calendarNameComesFromTheFile() {
        QCOMPARE(ICalendarFile::parse(calendar("X-WR-CALNAME:Work\r\n"))->calendarName(), u"Work"_qs);
        QCOMPARE(ICalendarFile::parse(calendar("NAME:Team\r\nX-WR-CALNAME:Work\r\n"))->calendarName(),
                 u"Team"_qs);
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
