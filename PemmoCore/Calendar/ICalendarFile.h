// One ".ics" file, read once with libical and laid out on demand in any time window: repeating
// series expanded (RRULE, RDATE, EXDATE), single occurrences replaced by their edited copies
// (RECURRENCE-ID), times placed in their zones (the file's VTIMEZONE, else the system's zone
// data), floating times in the local zone, all-day events from local midnight.
//
// One-off events are turned into plain values while reading; only files with a repeating series
// keep libical's tree, which their zones and rules point into. Immutable once read, so one read
// can serve any number of threads and windows.
#pragma once

#include "Calendar/CalendarAttendee.h"
#include "Calendar/CalendarEventSnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace pemmo {

class ICalendarFile {
public:
    // One participant as the file gives it.
    struct Participant {
        QString address; // the calendar address, "mailto:…" for e-mail
        QString email;   // normalised; empty unless a "mailto:" address
        QString name;
        CalendarAttendee::Kind kind = CalendarAttendee::Kind::Person;
        bool declined = false;
    };

    // What one VEVENT says about itself, apart from its times.
    struct Details {
        QString uid;
        QString title;
        bool cancelled = false;
        bool birthday = false; // generated from a contact's birthday by the server
        QList<Participant> attendees;
        std::optional<Participant> organizer;
    };

    // Where the occurrences go and how they are labelled.
    struct Context {
        QString calendarID;
        QString sourceID;
        QString localID;             // the file name, or empty when the file holds several events
        QSet<QString> selfAddresses; // normalised addresses of the user
    };

    // Reads the bytes of one file. Throws CalendarError when they hold no calendar at all; broken
    // events inside a calendar are skipped.
    static std::shared_ptr<const ICalendarFile> parse(const QByteArray& bytes);

    ~ICalendarFile();
    ICalendarFile(const ICalendarFile&) = delete;
    ICalendarFile& operator=(const ICalendarFile&) = delete;

    // The calendar declares itself a published feed that clients refresh from a server
    // (REFRESH-INTERVAL, X-PUBLISHED-TTL or SOURCE): a subscription.
    bool isPublishedFeed() const { return m_publishedFeed; }
    // NAME, else X-WR-CALNAME; empty when neither.
    const QString& calendarName() const { return m_calendarName; }
    // How many events or series (by UID) the file holds.
    int seriesCount() const { return static_cast<int>(m_series.size()); }
    // Every event in the file is generated from contacts' birthdays (and there is at least one).
    bool onlyBirthdays() const;

    // Every occurrence that overlaps the window from `start` to `end` (both included), appended
    // to `out` in the file's order, birthday events left out.
    void occurrences(const QDateTime& start, const QDateTime& end, const Context& context,
                     QList<CalendarEventSnapshot>& out) const;

    // The addresses taking part in each event or series (organiser included), one set per
    // series: what tells the user's own addresses apart.
    QList<QSet<QString>> participantsPerSeries() const;

    // The attendees of an event as the Moment logic sees them: the file's order, the organiser
    // appended unless listed already, and `isSelf` for the user's own addresses.
    static QList<CalendarAttendee> attendees(const Details& details, const QSet<QString>& selfAddresses);

    struct Series; // one UID's events, ready to lay out

private:
    ICalendarFile();

    std::shared_ptr<void> m_tree; // libical's components, kept only when a series needs them
    std::vector<std::unique_ptr<Series>> m_series;
    bool m_publishedFeed = false;
    QString m_calendarName;
};

} // namespace pemmo
