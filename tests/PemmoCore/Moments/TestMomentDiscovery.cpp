// Which events become Moments, and the identity hashes they carry. The hashes
// are stored in timeline entries and must never change: they are pinned here by
// values computed independently (SHA-256 over "<UTF-8 length>:<component>"
// pieces).
#include "Moments/MomentDiscovery.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::CalendarEventSnapshot)

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 1, 10), QTime(12, 0), Qt::UTC);

using Kind = CalendarAttendee::Kind;

CalendarAttendee attendee(const QString& email, const QString& name = {}, Kind kind = Kind::Person) {
    return {email, name, false, false, kind};
}

CalendarAttendee me() {
    return {u"me@example.com"_qs, u"Me"_qs, true};
}

// A one-on-one with Ada that ended half an hour ago.
CalendarEventSnapshot base() {
    CalendarEventSnapshot e;
    e.calendarID = u"/cal/work"_qs;
    e.sourceID = u"work"_qs;
    e.externalID = u"evt-1"_qs;
    e.localID = u"evt-1.ics"_qs;
    e.title = u"Coffee"_qs;
    e.start = kNow.addSecs(-90 * 60);
    e.end = kNow.addSecs(-30 * 60);
    e.attendees = {me(), attendee(u"ada@example.com"_qs, u"Ada Lovelace"_qs)};
    return e;
}

// That one-on-one, changed by `edit`.
CalendarEventSnapshot with(const std::function<void(CalendarEventSnapshot&)>& edit) {
    CalendarEventSnapshot e = base();
    edit(e);
    return e;
}

Profile profile(const QString& id, const QString& given, const QString& family,
                const QStringList& emails = {}) {
    Profile p;
    p.person = test::person(id, given, family);
    for (const QString& email : emails)
        p.person.edit().emails.append({u"work"_qs, email});
    return p;
}

QList<Profile> people() {
    return {profile(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, {u"Ada@Example.com"_qs}),
            profile(u"alan"_qs, u"Alan"_qs, u"Turing"_qs, {u"alan@example.com"_qs})};
}

QList<MomentCandidate> discover(const QList<CalendarEventSnapshot>& events, double delayMinutes = 20,
                                const QDateTime& since = {}) {
    return MomentDiscovery::candidates(events, people(), kNow, since, {}, delayMinutes * 60);
}

CalendarEventSnapshot weekly(const QDateTime& occurrence) {
    CalendarEventSnapshot e = base();
    e.externalID = u"weekly@pemmo.test"_qs;
    e.localID = u"weekly.ics"_qs;
    e.recurring = true;
    e.occurrence = occurrence;
    return e;
}

} // namespace

class TestMomentDiscovery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // (Who the other participant is, by address or by name, is TestMomentMatcher's.)
    void whichEventsQualify_data() {
        QTest::addColumn<CalendarEventSnapshot>("event");
        QTest::addColumn<QString>("match");
        const QString none;
        const auto add = [](CalendarAttendee a) { return with([a](auto& e) { e.attendees.append(a); }); };
        const auto other = [](CalendarAttendee a) { return with([a](auto& e) { e.attendees[1] = a; }); };
        QTest::newRow("one-on-one with a contact") << base() << u"ada"_qs;
        QTest::newRow("a meeting room is ignored")
            << add(attendee(u"room@example.com"_qs, u"Room 4"_qs, Kind::Resource)) << u"ada"_qs;
        QTest::newRow("two contacts") << add(attendee(u"alan@example.com"_qs, u"Alan Turing"_qs)) << none;
        QTest::newRow("a mailing list") << add(attendee(u"team@example.com"_qs, {}, Kind::Group)) << none;
        QTest::newRow("a participant of unknown type")
            << add(attendee(u"x@example.com"_qs, {}, Kind::Unknown)) << none;
        QTest::newRow("the user declined") << with([](auto& e) { e.attendees[0].declined = true; }) << none;
        QTest::newRow("the contact declined")
            << with([](auto& e) { e.attendees[1].declined = true; }) << none;
        QTest::newRow("the user is not among the participants") << with([](auto& e) {
            e.attendees.removeFirst();
            e.attendees.append(attendee(u"alan@example.com"_qs));
        }) << none;
        QTest::newRow("nobody else") << with([](auto& e) { e.attendees = {me()}; }) << none;
        QTest::newRow("start equals end") << with([](auto& e) { e.start = e.end; }) << none;
        QTest::newRow("all day") << with([](auto& e) { e.allDay = true; }) << none;
        QTest::newRow("cancelled") << with([](auto& e) { e.cancelled = true; }) << none;
        QTest::newRow("no identifier at all") << with([](auto& e) {
            e.externalID.clear();
            e.localID.clear();
        }) << none;
        QTest::newRow("the same people listed twice") << with([](auto& e) {
            e.attendees.append(attendee({}, u"Ada Lovelace"_qs));
            e.attendees.append(me());
        }) << u"ada"_qs;
        QTest::newRow("a stranger") << other(attendee(u"nobody@example.com"_qs, u"Nobody Known"_qs)) << none;
    }
    void whichEventsQualify() {
        QFETCH(CalendarEventSnapshot, event);
        QFETCH(QString, match);
        QStringList matched;
        for (const MomentCandidate& c : discover({event}))
            matched.append(c.profileID);
        QCOMPARE(matched, match.isEmpty() ? QStringList() : QStringList{match});
    }

    // A Moment is offered once the delay after its end has passed, for 48 hours, and not for a
    // meeting that ended before `since` (when the calendar was connected).
    void whenAMeetingIsOffered_data() {
        QTest::addColumn<int>("endedMinutesAgo");
        QTest::addColumn<double>("delayMinutes");
        QTest::addColumn<QDateTime>("since");
        QTest::addColumn<bool>("offered");
        QTest::newRow("ended 10 minutes ago, delay 30") << 10 << 30.0 << QDateTime() << false;
        QTest::newRow("ended 10 minutes ago, no delay") << 10 << 0.0 << QDateTime() << true;
        QTest::newRow("ended 10 minutes ago, negative delay") << 10 << -5.0 << QDateTime() << true;
        QTest::newRow("ended exactly 48 hours ago") << 48 * 60 << 20.0 << QDateTime() << false;
        QTest::newRow("ended 47 hours 59 minutes ago") << 48 * 60 - 1 << 20.0 << QDateTime() << true;
        QTest::newRow("ended before since") << 30 << 20.0 << kNow.addSecs(-29 * 60) << false;
        QTest::newRow("ended exactly at since") << 30 << 20.0 << kNow.addSecs(-30 * 60) << true;
    }
    void whenAMeetingIsOffered() {
        QFETCH(int, endedMinutesAgo);
        QFETCH(double, delayMinutes);
        QFETCH(QDateTime, since);
        QFETCH(bool, offered);
        CalendarEventSnapshot e = base();
        e.end = kNow.addSecs(-60 * endedMinutesAgo);
        e.start = e.end.addSecs(-3600);
        QCOMPARE(discover({e}, delayMinutes, since).size(), offered ? 1 : 0);
    }

    void candidateCarriesTheEventAndItsTimes() {
        const QList<MomentCandidate> found = discover({base()});
        QCOMPARE(found.size(), 1);
        const MomentCandidate& c = found.first();
        QCOMPARE(c.calendarID, u"/cal/work"_qs);
        QCOMPARE(c.eventTitle, u"Coffee"_qs);
        QCOMPARE(c.startDate, base().start);
        QCOMPARE(c.endDate, base().end);
        QCOMPARE(c.createdAt, kNow);
        QCOMPARE(c.expiresAt, base().end.addSecs(172'800));
        QCOMPARE(c.status, MomentStatus::Pending);
    }

    void stableHashIsPinned_data() {
        QTest::addColumn<QStringList>("components");
        QTest::addColumn<QString>("hash");
        QTest::newRow("none") << QStringList()
                              << u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_qs;
        QTest::newRow("ab c") << QStringList{u"ab"_qs, u"c"_qs}
                              << u"430fb1b4ac43316eca81fab27a1930ab8eff8fef6a1dc7903dce44bbc2790dc5"_qs;
        QTest::newRow("a bc") << QStringList{u"a"_qs, u"bc"_qs}
                              << u"5310a58788781ab25d5ad7c3f85035824b4eb7bdfa394e0ac2186271472b5492"_qs;
        QTest::newRow("lengths count UTF-8 bytes")
            << QStringList{u"external-v1"_qs, QString(), u"üñí©ødé"_qs, u"1767225600.0"_qs}
            << u"cbe1f44c0e33364a4271af29c8d59e46be6aa24ccf0d113d141fad51f5552425"_qs;
    }
    void stableHashIsPinned() {
        QFETCH(QStringList, components);
        QFETCH(QString, hash);
        QCOMPARE(MomentCandidate::stableHash(components), hash);
    }

    void oneOffEventHashes() {
        auto e = base();
        e.sourceID = u"source-A"_qs;
        e.externalID = u"event-123@example.com"_qs;
        e.localID = u"ABC.ics"_qs;
        const MomentCandidate c = discover({e}).value(0);
        QCOMPARE(c.id, u"12fdb6946de2bebe92b94911e1e166f40f23512e311197f04be04a1a5e5b3bee"_qs);
        QCOMPARE(c.aliases,
                 (QSet<QString>{u"12fdb6946de2bebe92b94911e1e166f40f23512e311197f04be04a1a5e5b3bee"_qs,
                                u"bd73b588c2a0cb0a40c361dd163c2d876553dfcfc4f480923e117c966cceb50d"_qs}));
        QVERIFY(!c.seriesHash);
        QVERIFY(c.seriesAliases.isEmpty());

        e.externalID.clear();
        const MomentCandidate local = discover({e}).value(0);
        QCOMPARE(local.id, u"bd73b588c2a0cb0a40c361dd163c2d876553dfcfc4f480923e117c966cceb50d"_qs);
        QCOMPARE(local.aliases, QSet<QString>{local.id});
    }

    void recurringEventHashes() {
        const QDateTime occurrence(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        auto e = weekly(occurrence);
        e.start = kNow.addSecs(-3600);
        e.end = kNow.addSecs(-1800);
        const MomentCandidate c = discover({e}).value(0);
        QCOMPARE(c.id, u"b247dca1e0fcec129a7a69df77791927d986775ef3e699e368848f4a4b5bada6"_qs);
        QCOMPARE(c.aliases,
                 (QSet<QString>{u"b247dca1e0fcec129a7a69df77791927d986775ef3e699e368848f4a4b5bada6"_qs,
                                u"3d3059f95bb36faf534f420e313996844f415581035643ed5d529beabf6731fc"_qs}));
        QCOMPARE(c.seriesHash, u"dfceb9f03762f2c7e90c344ee2820a6ccbabc82833ebe46ff0f457d11da1b2ca"_qs);
        QCOMPARE(c.seriesAliases,
                 (QSet<QString>{u"dfceb9f03762f2c7e90c344ee2820a6ccbabc82833ebe46ff0f457d11da1b2ca"_qs,
                                u"41baed46ff664a03ca065c41416310c4dec6cd8e0fe89da975527668e782dddc"_qs}));
    }

    void occurrenceToken_data() {
        QTest::addColumn<bool>("recurring");
        QTest::addColumn<QDateTime>("occurrence");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("token");
        const QDateTime whole(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("one-off") << false << whole << whole << u"single"_qs;
        QTest::newRow("whole seconds end in .0")
            << true << whole << whole.addSecs(7200) << u"1767225600.0"_qs;
        QTest::newRow("fraction") << true << whole.addMSecs(500) << whole << u"1767225600.5"_qs;
        QTest::newRow("no occurrence: the start")
            << true << QDateTime() << whole.addSecs(604'800) << u"1767830400.0"_qs;
        // Few significant digits: plain notation all the same.
        QTest::newRow("on a round instant")
            << true << QDateTime::fromSecsSinceEpoch(1'773'000'000, Qt::UTC) << whole << u"1773000000.0"_qs;
        QTest::newRow("before 1970") << true << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59), Qt::UTC)
                                     << whole << u"-1.0"_qs;
    }
    void occurrenceToken() {
        QFETCH(bool, recurring);
        QFETCH(QDateTime, occurrence);
        QFETCH(QDateTime, start);
        QFETCH(QString, token);
        CalendarEventSnapshot e;
        e.recurring = recurring;
        if (occurrence.isValid())
            e.occurrence = occurrence;
        e.start = start;
        QCOMPARE(MomentDiscovery::occurrenceToken(e), token);
    }

    void sameOccurrenceReadTwiceIsOneMoment() {
        auto first = base();
        auto second = base();
        second.localID = u"copy.ics"_qs;
        const QList<MomentCandidate> found = discover({first, second});
        QCOMPARE(found.size(), 1);
        const QString local =
            MomentCandidate::stableHash({u"local-v1"_qs, u"work"_qs, u"evt-1.ics"_qs, u"single"_qs});
        QCOMPARE(found.first().aliases, (QSet<QString>{found.first().id, local}));
    }

    void twoOccurrencesOfASeriesShareTheSeries() {
        auto earlier = weekly(kNow.addDays(-1).addSecs(-3600));
        earlier.start = *earlier.occurrence;
        earlier.end = earlier.start.addSecs(1800);
        auto later = weekly(kNow.addSecs(-3600));
        later.start = *later.occurrence;
        later.end = later.start.addSecs(1800);
        const QList<MomentCandidate> found = discover({earlier, later});
        QCOMPARE(found.size(), 2);
        QVERIFY(found[0].id != found[1].id);
        QCOMPARE(found[0].seriesHash, found[1].seriesHash);
        // Most recently ended first.
        QCOMPARE(found[0].endDate, later.end);
    }

    void equalEndsAreOrderedById() {
        auto a = base();
        auto b = base();
        b.externalID = u"evt-2"_qs;
        b.localID = u"evt-2.ics"_qs;
        b.attendees[1] = attendee(u"alan@example.com"_qs);
        const QList<MomentCandidate> found = discover({a, b});
        QCOMPARE(found.size(), 2);
        QVERIFY(found[0].id < found[1].id);
    }
};

QTEST_GUILESS_MAIN(TestMomentDiscovery)
#include "TestMomentDiscovery.moc"
