#include "CalendarGenerator.h"

#include "SeededRandom.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <array>
#include <stdexcept>

namespace pemmo::bench {
namespace {

const QTimeZone kBerlin("Europe/Berlin");

const std::array kTitles{"Coffee",    "1:1",      "Lunch",  "Catch-up",  "Walk",
                         "Mentoring", "Planning", "Review", "Interview", "Intro call"};

QString local(const QDateTime& instant) {
    return instant.toTimeZone(kBerlin).toString(u"yyyyMMdd'T'HHmmss"_qs);
}

QString utc(const QDateTime& instant) {
    return instant.toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_qs);
}

QByteArray wrap(const QString& body) {
    return (u"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Pemmo bench//EN\r\n"_qs + body +
            u"END:VCALENDAR\r\n"_qs)
        .toUtf8();
}

QString attendees(const QString& self, const QStringList& others) {
    QString lines = u"ORGANIZER;CN=Me:mailto:"_qs + self +
                    u"\r\nATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:"_qs + self + u"\r\n"_qs;
    for (const QString& other : others)
        lines += u"ATTENDEE;PARTSTAT=ACCEPTED:mailto:"_qs + other + u"\r\n"_qs;
    return lines;
}

void save(const QString& folder, const QString& name, const QByteArray& bytes) {
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write the generated calendar");
}

// A weekday working hour, in Berlin time.
QDateTime slot(SeededRandom& random, const QDate& monday) {
    const QDate day = monday.addDays(random.between(0, 4));
    return QDateTime(day, QTime(random.between(8, 17), random.chance(0.5) ? 0 : 30), kBerlin).toUTC();
}

} // namespace

QByteArray CalendarGenerator::oneOnOne(const QString& uid, const QDateTime& end, const QString& self,
                                       const QString& other, const QString& title) {
    const QDateTime start = end.addSecs(-30 * 60);
    return wrap(u"BEGIN:VEVENT\r\nUID:"_qs + uid + u"\r\nDTSTAMP:"_qs + utc(start) +
                u"\r\nDTSTART;TZID=Europe/Berlin:"_qs + local(start) + u"\r\nDTEND;TZID=Europe/Berlin:"_qs +
                local(end) + u"\r\nSUMMARY:"_qs + title + u"\r\n"_qs + attendees(self, {other}) +
                u"END:VEVENT\r\n"_qs);
}

CalendarGenerator::Written CalendarGenerator::write(const QString& folder, const QStringList& emails,
                                                    const Options& options) {
    QDir().mkpath(folder);
    SeededRandom random(options.seed);
    const auto someone = [&] { return emails[random.between(0, int(emails.size()) - 1)]; };
    Written written;

    const int weeks = options.years * 52;
    const QDate lastMonday = options.now.date().addDays(1 - options.now.date().dayOfWeek());
    const QDate firstMonday = lastMonday.addDays(-7 * (weeks - 1));
    const int oneOffsPerWeek = options.eventsPerWeek / 2;
    const int seriesAtOnce = options.eventsPerWeek - oneOffsPerWeek;
    constexpr int seriesWeeks = 26;

    for (int week = 0; week < weeks; ++week) {
        const QDate monday = firstMonday.addDays(7 * week);
        for (int i = 0; i < oneOffsPerWeek; ++i) {
            const QDateTime start = slot(random, monday);
            if (start > options.now)
                continue;
            const QDateTime end = start.addSecs(random.chance(0.5) ? 1800 : 3600);
            const QString uid = random.uuid().toString(QUuid::WithoutBraces);
            QStringList others{someone()};
            if (random.chance(0.3)) {
                const int more = random.between(1, 3);
                for (int m = 0; m < more; ++m)
                    others.append(someone());
            }
            const QString body = u"BEGIN:VEVENT\r\nUID:"_qs + uid + u"\r\nDTSTAMP:"_qs + utc(start) +
                                 u"\r\nDTSTART;TZID=Europe/Berlin:"_qs + local(start) +
                                 u"\r\nDTEND;TZID=Europe/Berlin:"_qs + local(end) + u"\r\nSUMMARY:"_qs +
                                 QString::fromLatin1(kTitles[random.between(0, int(kTitles.size()) - 1)]) +
                                 u"\r\n"_qs + attendees(options.self, others) + u"END:VEVENT\r\n"_qs;
            save(folder, uid + u".ics"_qs, wrap(body));
            ++written.oneOffs;
            ++written.files;
        }
        // A new half-year weekly series starts every few weeks, so that `seriesAtOnce` run at any time.
        const int due = (week + 1) * seriesAtOnce / seriesWeeks - week * seriesAtOnce / seriesWeeks;
        if (due == 0)
            continue;
        const QDateTime start = slot(random, monday);
        if (start > options.now)
            continue;
        const QDateTime end = start.addSecs(1800);
        const QString uid = random.uuid().toString(QUuid::WithoutBraces);
        const QString other = someone();
        const QDateTime deleted = start.addDays(7 * random.between(1, seriesWeeks - 2));
        const QDateTime moved = start.addDays(7 * random.between(1, seriesWeeks - 2));
        QString body = u"BEGIN:VEVENT\r\nUID:"_qs + uid + u"\r\nDTSTAMP:"_qs + utc(start) +
                       u"\r\nDTSTART;TZID=Europe/Berlin:"_qs + local(start) +
                       u"\r\nDTEND;TZID=Europe/Berlin:"_qs + local(end) + u"\r\nRRULE:FREQ=WEEKLY;COUNT="_qs +
                       QString::number(seriesWeeks) + u"\r\nSUMMARY:Weekly 1:1\r\n"_qs +
                       attendees(options.self, {other});
        if (deleted != moved)
            body += u"EXDATE;TZID=Europe/Berlin:"_qs + local(deleted) + u"\r\n"_qs;
        body += u"END:VEVENT\r\n"_qs;
        if (deleted != moved)
            body += u"BEGIN:VEVENT\r\nUID:"_qs + uid + u"\r\nDTSTAMP:"_qs + utc(start) +
                    u"\r\nRECURRENCE-ID;TZID=Europe/Berlin:"_qs + local(moved) +
                    u"\r\nDTSTART;TZID=Europe/Berlin:"_qs + local(moved.addSecs(7200)) +
                    u"\r\nDTEND;TZID=Europe/Berlin:"_qs + local(moved.addSecs(9000)) +
                    u"\r\nSUMMARY:Weekly 1:1 (moved)\r\n"_qs + attendees(options.self, {other}) +
                    u"END:VEVENT\r\n"_qs;
        save(folder, uid + u".ics"_qs, wrap(body));
        ++written.series;
        ++written.files;
    }
    return written;
}

} // namespace pemmo::bench
