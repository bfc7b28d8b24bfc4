// iCalendar reading on arbitrary bytes, and what Moment discovery makes of the events. Reading
// either fails with a CalendarError or gives a file whose occurrences all overlap the window asked
// for, start before they end, and are the same whichever wider window they are read in; the
// Moments found among them ended inside their 48 hours, once each, latest first.
#include "Calendar/CalendarError.h"
#include "Calendar/ICalendarFile.h"
#include "Calendar/SelfAddresses.h"
#include "Moments/MomentDiscovery.h"
#include "Records/Person.h"

#include <QTimeZone>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

[[noreturn]] void fail(const char* what, const CalendarEventSnapshot* event = nullptr) {
    std::fprintf(stderr, "%s\n", what);
    if (event) {
        std::fprintf(stderr, "  %s: %s – %s (occurrence %s)\n", qUtf8Printable(event->externalID),
                     qUtf8Printable(event->start.toString(Qt::ISODateWithMs)),
                     qUtf8Printable(event->end.toString(Qt::ISODateWithMs)),
                     event->occurrence ? qUtf8Printable(event->occurrence->toString(Qt::ISODateWithMs))
                                       : "-");
    }
    std::abort();
}

bool overlaps(const CalendarEventSnapshot& event, const QDateTime& start, const QDateTime& end) {
    return event.end >= start && event.start <= end;
}

QList<CalendarEventSnapshot> occurrences(const ICalendarFile& file, const QDateTime& start,
                                         const QDateTime& end, const ICalendarFile::Context& context) {
    QList<CalendarEventSnapshot> list;
    file.occurrences(start, end, context, list);
    for (const CalendarEventSnapshot& event : list) {
        if (!event.start.isValid() || !event.end.isValid())
            fail("An occurrence without a start or an end", &event);
        if (event.end < event.start)
            fail("An occurrence ends before it starts", &event);
        if (!overlaps(event, start, end))
            fail("An occurrence outside the window asked for", &event);
        if (event.title.trimmed().isEmpty())
            fail("An occurrence without a title", &event);
    }
    return list;
}

// One contact every participant with an address or a name is taken for.
QList<Profile> contacts() {
    Person person;
    person.id = QStringLiteral("ada");
    person.givenName = QStringLiteral("Ada");
    person.familyName = QStringLiteral("Lovelace");
    Profile profile;
    profile.person = person;
    return {profile};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Floating times and all-day events are placed in the local zone: one with daylight saving.
    setenv("TZ", "Europe/Berlin", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::shared_ptr<const ICalendarFile> file;
    try {
        file = ICalendarFile::parse(bytes);
    } catch (const CalendarError&) {
        return 0;
    }
    (void)file->onlyBirthdays();
    (void)file->isPublishedFeed();
    if (file->seriesCount() < 0)
        fail("A negative number of series");

    const QList<QSet<QString>> participants = file->participantsPerSeries();
    const QStringList self = SelfAddresses::infer(participants, {file->calendarName()});
    ICalendarFile::Context context{.calendarID = QStringLiteral("/calendars/work"),
                                   .sourceID = QStringLiteral("work"),
                                   .localID = QStringLiteral("event.ics"),
                                   .selfAddresses = QSet<QString>(self.cbegin(), self.cend())};

    // A window over the spring change of the clocks, and a wider one around it.
    const QDateTime start(QDate(2026, 3, 27), QTime(0, 0), QTimeZone::utc());
    const QDateTime end(QDate(2026, 4, 3), QTime(0, 0), QTimeZone::utc());
    const QList<CalendarEventSnapshot> narrow = occurrences(*file, start, end, context);
    const QList<CalendarEventSnapshot> wide = occurrences(*file, start.addDays(-2), end.addDays(2), context);
    // A series is laid out step by step up to a limit, which a rule adding occurrences by the
    // minute or second reaches within days: where its occurrences stop depends on the window.
    static const QByteArrayList shortSteps = {"BYSECOND", "BYMINUTE"};
    const QByteArray upper = bytes.toUpper();
    // A series gives at most a thousand occurrences in a window: which ones depends on the window.
    const bool mayStopEarly = narrow.size() >= 1000 || wide.size() >= 1000 ||
                              std::any_of(shortSteps.cbegin(), shortSteps.cend(),
                                          [&upper](const QByteArray& word) { return upper.contains(word); });
    QMultiHash<qint64, qsizetype> narrowByStart;
    for (qsizetype i = 0; i < narrow.size(); ++i)
        narrowByStart.insert(narrow.at(i).start.toMSecsSinceEpoch(), i);
    qsizetype inNarrow = 0;
    for (const CalendarEventSnapshot& event : wide) {
        if (!overlaps(event, start, end))
            continue;
        ++inNarrow;
        const QList<qsizetype> sameStart = narrowByStart.values(event.start.toMSecsSinceEpoch());
        if (!mayStopEarly && std::none_of(sameStart.cbegin(), sameStart.cend(),
                                          [&](qsizetype i) { return narrow.at(i) == event; }))
            fail("An occurrence of the wider window is missing from the narrow one", &event);
    }
    if (!mayStopEarly && inNarrow != narrow.size())
        fail("The narrow window has occurrences the wider one does not");

    // Every participant with an address is taken for the one contact.
    QHash<QString, QString> knownEmails;
    for (const QSet<QString>& addresses : participants) {
        for (const QString& address : addresses)
            knownEmails.insert(address, QStringLiteral("ada"));
    }
    const QDateTime now = end.addSecs(-3600);
    const QList<MomentCandidate> moments =
        MomentDiscovery::candidates(wide, contacts(), now, {}, knownEmails, 600);
    QSet<QString> ids;
    for (qsizetype i = 0; i < moments.size(); ++i) {
        const MomentCandidate& moment = moments.at(i);
        if (moment.endDate > now.addSecs(-600) ||
            moment.endDate <= now.addSecs(-MomentDiscovery::windowSeconds))
            fail("A Moment outside its hours");
        if (!(moment.startDate < moment.endDate))
            fail("A Moment that does not start before it ends");
        if (moment.expiresAt != moment.endDate.addSecs(MomentDiscovery::windowSeconds))
            fail("A Moment that expires at the wrong time");
        if (moment.profileID != u"ada" || !moment.aliases.contains(moment.id))
            fail("A Moment for the wrong contact or without its own id");
        if (ids.contains(moment.id))
            fail("A Moment offered twice");
        ids.insert(moment.id);
        if (i > 0 && moments.at(i - 1).endDate < moment.endDate)
            fail("Moments out of order");
    }
    return 0;
}
