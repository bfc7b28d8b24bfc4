// The in-memory calendar the practice environment and the tests use: which events a window holds.
// (Its access, unavailability and change signal are exercised through the Moment service tests.)
#include "Calendar/InMemoryCalendarRepository.h"
#include "TestSupport/Await.h"

#include <QTest>

using namespace pemmo;

namespace {

const QDateTime kNoon = QDateTime(QDate(2026, 1, 10), QTime(12, 0), Qt::UTC);

CalendarEventSnapshot snapshot(const QString& calendar, const QString& uid, int startMinutes,
                               int endMinutes) {
    CalendarEventSnapshot e;
    e.calendarID = calendar;
    e.externalID = uid;
    e.start = kNoon.addSecs(startMinutes * 60);
    e.end = kNoon.addSecs(endMinutes * 60);
    return e;
}

QStringList uids(const QList<CalendarEventSnapshot>& events) {
    QStringList list;
    for (const CalendarEventSnapshot& e : events)
        list.append(e.externalID);
    return list;
}

} // namespace

class TestInMemoryCalendarRepository : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eventsOverlappingTheWindowInStoredOrder() {
        InMemoryCalendarRepository repository(
            CalendarAccess::FullAccess, {{u"a"_qs, u"A"_qs}},
            {snapshot(u"a"_qs, u"ends at the start"_qs, -60, 0), snapshot(u"a"_qs, u"before"_qs, -60, -1),
             snapshot(u"b"_qs, u"other calendar"_qs, 10, 20),
             snapshot(u"a"_qs, u"starts at the end"_qs, 60, 90), snapshot(u"a"_qs, u"after"_qs, 61, 90),
             snapshot(u"a"_qs, u"inside"_qs, 10, 20)});
        const auto found = test::await(repository.events(kNoon, kNoon.addSecs(3600), {u"a"_qs}));
        QCOMPARE(uids(found), (QStringList{u"ends at the start"_qs, u"starts at the end"_qs, u"inside"_qs}));
        QVERIFY(test::await(repository.events(kNoon, kNoon.addSecs(3600), {})).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestInMemoryCalendarRepository)
#include "TestInMemoryCalendarRepository.moc"
