// Builds an iCalendar collection of synthetic but lifelike events for the Moment benchmarks: years
// of a working calendar, as vdirsyncer keeps a CalDAV calendar (one event or series per ".ics"
// file, in Europe/Berlin time). Half the week's events are one-offs (most of them one-on-ones,
// some small meetings), half come from weekly series of half a year, each with a deleted and a
// moved occurrence. The same seed always gives the same files.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace pemmo::bench {

class CalendarGenerator {
public:
    static constexpr std::uint64_t defaultSeed = 0xca1e'0da2'2026;

    struct Options {
        int years = 5;
        int eventsPerWeek = 20;
        QDateTime now; // the calendar ends here
        QString self = QStringLiteral("me@example.com");
        std::uint64_t seed = defaultSeed;
    };

    struct Written {
        int files = 0;
        int oneOffs = 0;
        int series = 0;
    };

    // Writes the collection into `folder`, drawing the other participants from `emails`.
    static Written write(const QString& folder, const QStringList& emails, const Options& options);

    // One one-on-one between `self` and `other`, ending at `end`, as one file's bytes.
    static QByteArray oneOnOne(const QString& uid, const QDateTime& end, const QString& self,
                               const QString& other, const QString& title);
};

} // namespace pemmo::bench
