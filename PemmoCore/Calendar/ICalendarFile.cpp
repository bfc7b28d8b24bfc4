#include "Calendar/ICalendarFile.h"

#include "Calendar/CalendarError.h"
#include "Calendar/ParticipantAddress.h"
#include "Records/Text.h"

#include <QDate>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <libical/ical.h>
#include <map>

namespace pemmo {
namespace {

// libical fills its zone tables lazily and keeps error state globally: one caller at a time.
QMutex& libicalLock() {
    static QMutex lock;
    return lock;
}

void prepareLibical() {
    // A malformed file must never abort the process.
    static const bool prepared = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    Q_UNUSED(prepared);
}

// Enough for any real series; a rule that would run longer than this is broken.
constexpr int kMaxSteps = 100'000;
// The most occurrences one series gives in one window: far more than a window Pemmo reads holds.
// A series that would give more is broken (occurrences lasting centuries, a rule adding one a
// minute), and laying all of them out would stall the read.
constexpr int kMaxOccurrences = 1000;
// How far past its start a series with COUNT is laid out: beyond any real one, and near enough
// that a rule whose parts seldom or never meet (30 February) is given up on within moments.
constexpr int kCountedYears = 100;
// Zones and floating times can move an occurrence by up to a day either way.
constexpr qint64 kSlackSeconds = 2 * 86'400;

// Whether the content line at `i` is a recurrence rule (RRULE or EXRULE).
bool isRuleLine(const QByteArray& bytes, qsizetype i) {
    for (const char* name : {"RRULE", "EXRULE"}) {
        const qsizetype length = qsizetype(qstrlen(name));
        if (i + length < bytes.size() && qstrnicmp(bytes.constData() + i, name, length) == 0 &&
            (bytes[i + length] == ':' || bytes[i + length] == ';'))
            return true;
    }
    return false;
}

// Some programs escape a rule's separators as if it were text ("RRULE:FREQ=DAILY\;COUNT=10", as a
// Ruby iCalendar library and the programs built on it write). A rule never holds a backslash, and
// libical drops such a rule whole, leaving a single event: the backslashes are taken out first.
QByteArray withPlainRules(const QByteArray& bytes) {
    if (!bytes.contains("\\;") && !bytes.contains("\\,"))
        return bytes;
    QByteArray result;
    result.reserve(bytes.size());
    bool inRule = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool lineStart = i == 0 || bytes[i - 1] == '\n' || bytes[i - 1] == '\r';
        if (lineStart && c != ' ' && c != '\t')
            inRule = isRuleLine(bytes, i); // a folded line goes on with a blank
        if (inRule && c == '\\' && i + 1 < bytes.size() && (bytes[i + 1] == ';' || bytes[i + 1] == ','))
            continue;
        result += c;
    }
    return result;
}

// A calendar cut off before its END:VCALENDAR (a copy that stopped short, a program that left out
// the last line) is thrown away whole by libical. Such a file is read up to the end of its last
// complete event, the calendar closed there; anything after it is lost. Empty when the file is not
// such a calendar.
QByteArray closedCalendar(const QByteArray& bytes) {
    const QByteArray upper = bytes.toUpper();
    if (!upper.contains("BEGIN:VCALENDAR") || upper.contains("END:VCALENDAR"))
        return {};
    // The last line that ends an event (lines may end in LF, CR LF or a bare CR).
    qsizetype lastEnd = upper.size();
    do {
        lastEnd = upper.lastIndexOf("END:VEVENT", lastEnd - 1);
    } while (lastEnd > 0 && upper[lastEnd - 1] != '\n' && upper[lastEnd - 1] != '\r');
    if (lastEnd <= 0)
        return {};
    qsizetype lineEnd = lastEnd + qsizetype(qstrlen("END:VEVENT"));
    while (lineEnd < upper.size() && upper[lineEnd] != '\n' && upper[lineEnd] != '\r')
        ++lineEnd;
    // The calendar is closed with a line ending like that one: libical reads a file of bare CRs
    // only while every line ends so.
    QByteArray lineBreak = bytes.mid(lineEnd, bytes.mid(lineEnd, 2) == "\r\n" ? 2 : 1);
    if (lineBreak.isEmpty())
        lineBreak = "\r\n";
    return bytes.left(lineEnd) + lineBreak + "END:VCALENDAR" + lineBreak;
}

QString textOf(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

// A point in time as the file gives it: a date (all-day) or a date and time.
struct Time {
    QDateTime instant; // UTC; local midnight for a date
    bool isDate = false;
    QDate date; // for a date, and the wall-clock date of a date-time

    bool isValid() const { return instant.isValid(); }
};

Time toTime(const icaltimetype& t) {
    Time time;
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return time;
    time.date = QDate(t.year, t.month, t.day);
    if (t.is_date) {
        time.isDate = true;
        time.instant = QDateTime(time.date, QTime(0, 0), Qt::LocalTime).toUTC();
        return time;
    }
    if (t.zone) {
        time.instant = QDateTime::fromSecsSinceEpoch(
            static_cast<qint64>(icaltime_as_timet_with_zone(t, const_cast<icaltimezone*>(t.zone))), Qt::UTC);
        return time;
    }
    // Floating: the same wall-clock time wherever the user is.
    time.instant = QDateTime(time.date, QTime(t.hour, t.minute, t.second), Qt::LocalTime).toUTC();
    return time;
}

icaltimezone* builtinZone(const QByteArray& name) {
    if (name.isEmpty())
        return nullptr;
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone_from_tzid(name.constData()))
        return zone;
    return icaltimezone_get_builtin_timezone(name.constData());
}

// The zone a TZID names: the file's own VTIMEZONE first, then the system's zone data under the
// name itself, under a Windows zone name's IANA twin, or under the name with a vendor prefix
// ("/mozilla.org/20050126_1/America/New_York") taken off. Unknown: floating.
icaltimezone* findZone(const char* tzid, icalcomponent* calendar) {
    if (!tzid || !*tzid)
        return nullptr;
    if (calendar) {
        if (icaltimezone* zone = icalcomponent_get_timezone(calendar, tzid))
            return zone;
    }
    QByteArray name = QByteArray(tzid).trimmed();
    if (name.size() > 1 && name.startsWith('"') && name.endsWith('"'))
        name = name.mid(1, name.size() - 2);
    if (icaltimezone* zone = builtinZone(name))
        return zone;
    if (icaltimezone* zone = builtinZone(QTimeZone::windowsIdToDefaultIanaId(name)))
        return zone;
    QByteArray rest = name;
    while (true) {
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0)
            break;
        rest = rest.mid(slash + 1);
        if (icaltimezone* zone = builtinZone(rest))
            return zone;
    }
    return nullptr;
}

// libical resolves TZID for some properties and not for others (RECURRENCE-ID, RDATE, EXDATE);
// every time value is resolved here the same way.
icaltimetype resolved(icalproperty* property, icaltimetype value, icalcomponent* calendar) {
    if (icaltime_is_null_time(value) || value.is_date || icaltime_is_utc(value))
        return value;
    icalparameter* parameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    value.zone = parameter ? findZone(icalparameter_get_tzid(parameter), calendar) : nullptr;
    return value;
}

icalproperty* firstProperty(icalcomponent* component, icalproperty_kind kind) {
    return icalcomponent_get_first_property(component, kind);
}

QString propertyText(icalproperty* property) {
    icalvalue* value = icalproperty_get_value(property);
    if (!value)
        return {};
    switch (icalvalue_isa(value)) {
    case ICAL_TEXT_VALUE:
        return textOf(icalvalue_get_text(value));
    case ICAL_X_VALUE:
        return textOf(icalvalue_get_x(value));
    default:
        return textOf(icalvalue_as_ical_string(value));
    }
}

bool hasPropertyNamed(icalcomponent* component, const char* name) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
        const char* own = icalproperty_get_property_name(p);
        if (own && qstricmp(own, name) == 0)
            return true;
    }
    return false;
}

CalendarAttendee::Kind kindOf(icalproperty* property) {
    icalparameter* parameter = icalproperty_get_first_parameter(property, ICAL_CUTYPE_PARAMETER);
    if (!parameter)
        return CalendarAttendee::Kind::Person; // the standard's default: an individual
    switch (icalparameter_get_cutype(parameter)) {
    case ICAL_CUTYPE_INDIVIDUAL:
        return CalendarAttendee::Kind::Person;
    case ICAL_CUTYPE_GROUP:
        return CalendarAttendee::Kind::Group;
    case ICAL_CUTYPE_RESOURCE:
    case ICAL_CUTYPE_ROOM:
        return CalendarAttendee::Kind::Resource;
    default:
        return CalendarAttendee::Kind::Unknown;
    }
}

ICalendarFile::Participant participant(icalproperty* property, const char* address) {
    ICalendarFile::Participant p;
    p.address = textOf(address).trimmed();
    p.email = ParticipantAddress::email(p.address);
    if (icalparameter* cn = icalproperty_get_first_parameter(property, ICAL_CN_PARAMETER))
        p.name = textOf(icalparameter_get_cn(cn));
    p.kind = kindOf(property);
    if (icalparameter* status = icalproperty_get_first_parameter(property, ICAL_PARTSTAT_PARAMETER))
        p.declined = icalparameter_get_partstat(status) == ICAL_PARTSTAT_DECLINED;
    return p;
}

ICalendarFile::Details detailsOf(icalcomponent* event) {
    ICalendarFile::Details d;
    if (icalproperty* uid = firstProperty(event, ICAL_UID_PROPERTY))
        d.uid = textOf(icalproperty_get_uid(uid)).trimmed();
    if (icalproperty* summary = firstProperty(event, ICAL_SUMMARY_PROPERTY))
        d.title = textOf(icalproperty_get_summary(summary));
    if (icalproperty* status = firstProperty(event, ICAL_STATUS_PROPERTY))
        d.cancelled = icalproperty_get_status(status) == ICAL_STATUS_CANCELLED;
    // Nextcloud marks the events of its contact-birthday calendar; Google names them
    // "BIRTHDAY_<contact>@google.com" (with the year in front for a year's own copy).
    static const QRegularExpression googleBirthday(
        QStringLiteral("^(\\d{4}_)?BIRTHDAY_[0-9a-f]+@google\\.com$"),
        QRegularExpression::CaseInsensitiveOption);
    d.birthday =
        hasPropertyNamed(event, "X-NEXTCLOUD-BC-FIELD-TYPE") || googleBirthday.match(d.uid).hasMatch();
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_ATTENDEE_PROPERTY))
        d.attendees.append(participant(p, icalproperty_get_attendee(p)));
    if (icalproperty* organizer = firstProperty(event, ICAL_ORGANIZER_PROPERTY))
        d.organizer = participant(organizer, icalproperty_get_organizer(organizer));
    return d;
}

// How long each occurrence lasts: whole days for an all-day event, else seconds.
struct Length {
    qint64 seconds = 0;
    qint64 days = 0;
    bool inDays = false;

    Time endFor(const Time& start) const {
        Time end;
        if (start.isDate && inDays) {
            end.isDate = true;
            end.date = start.date.addDays(days);
            end.instant = QDateTime(end.date, QTime(0, 0), Qt::LocalTime).toUTC();
        } else {
            end.instant = start.instant.addSecs(seconds);
            end.date = end.instant.date();
        }
        return end;
    }
    qint64 approximateSeconds() const { return inDays ? days * 86'400 : seconds; }
};

struct Event {
    ICalendarFile::Details details;
    Time start;
    Time end;
    icaltimetype rawStart = icaltime_null_time();
    Length length;
};

// Reads DTSTART and DTEND (or DURATION) of one VEVENT; absent without a start.
std::optional<Event> eventOf(icalcomponent* component, icalcomponent* calendar) {
    icalproperty* startProperty = firstProperty(component, ICAL_DTSTART_PROPERTY);
    if (!startProperty)
        return std::nullopt;
    Event event;
    event.rawStart = resolved(startProperty, icalproperty_get_dtstart(startProperty), calendar);
    event.start = toTime(event.rawStart);
    if (!event.start.isValid())
        return std::nullopt;
    event.details = detailsOf(component);

    Length& length = event.length;
    if (icalproperty* endProperty = firstProperty(component, ICAL_DTEND_PROPERTY)) {
        const Time end = toTime(resolved(endProperty, icalproperty_get_dtend(endProperty), calendar));
        if (end.isValid() && event.start.isDate && end.isDate) {
            length.inDays = true;
            length.days = std::max<qint64>(0, event.start.date.daysTo(end.date));
        } else if (end.isValid()) {
            length.seconds = std::max<qint64>(0, event.start.instant.secsTo(end.instant));
        }
    } else if (icalproperty* durationProperty = firstProperty(component, ICAL_DURATION_PROPERTY)) {
        const qint64 seconds =
            std::max(0, icaldurationtype_as_int(icalproperty_get_duration(durationProperty)));
        if (event.start.isDate && seconds % 86'400 == 0) {
            length.inDays = true;
            length.days = seconds / 86'400;
        } else {
            length.seconds = seconds;
        }
    } else if (event.start.isDate) {
        length.inDays = true;
        length.days = 1;
    }
    event.end = length.endFor(event.start);
    return event;
}

// The key an occurrence is known by when excluded or replaced: its date for all-day series, else
// its instant.
qint64 occurrenceKey(const Time& time) {
    return time.isDate ? time.date.toJulianDay() : time.instant.toMSecsSinceEpoch();
}

// The lower bound to start a rule's iteration from, in the frame of the series' start.
icaltimetype iterationStart(const QDateTime& from, const icaltimetype& start) {
    if (start.is_date) {
        const QDate date = from.toLocalTime().date();
        icaltimetype t = icaltime_null_date();
        t.year = date.year();
        t.month = date.month();
        t.day = date.day();
        return t;
    }
    if (start.zone)
        return icaltime_from_timet_with_zone(static_cast<time_t>(from.toSecsSinceEpoch()), 0,
                                             icaltimezone_get_utc_timezone());
    const QDateTime local = from.toLocalTime();
    icaltimetype t = icaltime_null_time();
    t.year = local.date().year();
    t.month = local.date().month();
    t.day = local.date().day();
    t.hour = local.time().hour();
    t.minute = local.time().minute();
    t.second = local.time().second();
    return t;
}

bool overlaps(const Time& start, const Time& end, const QDateTime& windowStart, const QDateTime& windowEnd) {
    return end.instant >= windowStart && start.instant <= windowEnd;
}

} // namespace

struct ICalendarFile::Series {
    struct Override {
        Event event;
        Time recurrenceID;
    };
    struct ExtraDate {
        Time start;
        std::optional<Time> end; // a PERIOD gives its own end
    };

    QString uid;
    std::optional<Event> master;
    std::vector<Override> overrides;
    bool recurring = false;
    std::vector<icalrecurrencetype> rules;
    std::vector<ExtraDate> extraDates;
    QSet<qint64> excluded;     // occurrence keys (EXDATE)
    QSet<qint64> excludedDays; // EXDATE given as a date for a series with times
    QSet<qint64> replaced;     // occurrence keys with an edited copy
    QDateTime spanStart;       // no occurrence starts earlier
    QDateTime spanEnd;         // none ends later; invalid: no end

    bool mayOverlap(const QDateTime& start, const QDateTime& end) const {
        return (!spanEnd.isValid() || spanEnd >= start) && (!spanStart.isValid() || spanStart <= end);
    }
};

namespace {

using Series = ICalendarFile::Series;

icaltimetype yearsLater(icaltimetype time, int years) {
    time.year = std::min(time.year + years, 9999);
    if (time.month == 2 && time.day == 29)
        time.day = 28;
    return time;
}

// A rule with COUNT as the same rule ending (UNTIL) at its last occurrence, or at its last one
// within kCountedYears of the start: libical enters only a rule without COUNT near a window, and
// takes COUNT or UNTIL, never both, so the occurrences are counted here.
icalrecurrencetype withoutCount(icalrecurrencetype rule, const icaltimetype& start) {
    const int count = rule.count;
    rule.count = 0;
    rule.until = yearsLater(start, kCountedYears);
    icaltimetype last = start;
    if (icalrecur_iterator* it = icalrecur_iterator_new(rule, start)) {
        for (int i = 0; i < std::min(count, kMaxSteps); ++i) {
            const icaltimetype t = icalrecur_iterator_next(it);
            if (icaltime_is_null_time(t))
                break;
            last = t;
        }
        icalrecur_iterator_free(it);
    }
    rule.until = last;
    return rule;
}

// Rules as Pemmo lays them out. libical walks a rule step by step, checking every step against the
// rule's other parts, so a rule that steps by the hour, minute or second and whose parts seldom or
// never meet would be walked for centuries: such rules (which no calendar application writes) are
// left out, and the event stands alone.
std::optional<icalrecurrencetype> usableRule(icalrecurrencetype rule, const icaltimetype& start) {
    switch (rule.freq) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
    case ICAL_NO_RECURRENCE:
        return std::nullopt;
    default:
        break;
    }
    // UNTIL as a bare date against a start with a time (old Mozilla calendars write it so) ends the
    // series on that day, as people mean it: it becomes that day at the start's time of day, in the
    // start's zone, so that an occurrence on that day is kept. libical would stop at its midnight.
    if (!icaltime_is_null_time(rule.until) && rule.until.is_date && !start.is_date) {
        icaltimetype until = start;
        until.year = rule.until.year;
        until.month = rule.until.month;
        until.day = rule.until.day;
        rule.until = until;
    }
    if (rule.count > 0)
        return withoutCount(rule, start);
    return rule;
}

void readRecurrence(Series& series, icalcomponent* component, icalcomponent* calendar) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_RRULE_PROPERTY)) {
        if (const auto rule = usableRule(icalproperty_get_rrule(p), series.master->rawStart))
            series.rules.push_back(*rule);
    }
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
        Series::ExtraDate extra;
        if (!icaltime_is_null_time(value.period.start)) {
            extra.start = toTime(resolved(p, value.period.start, calendar));
            if (!icaltime_is_null_time(value.period.end))
                extra.end = toTime(resolved(p, value.period.end, calendar));
            else if (extra.start.isValid())
                extra.end = Time{
                    extra.start.instant.addSecs(icaldurationtype_as_int(value.period.duration)), false, {}};
            // A period that ends before it starts lasts no time, like an event whose end comes
            // first; one whose end cannot be read lasts as long as the series' events.
            if (extra.end && !extra.end->isValid())
                extra.end.reset();
            else if (extra.end && extra.start.isValid() && extra.end->instant < extra.start.instant)
                extra.end = Time{extra.start.instant, false, extra.start.instant.date()};
        } else {
            extra.start = toTime(resolved(p, value.time, calendar));
        }
        if (extra.start.isValid())
            series.extraDates.push_back(extra);
    }
    const bool datedSeries = series.master && series.master->start.isDate;
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_EXDATE_PROPERTY)) {
        const Time excluded = toTime(resolved(p, icalproperty_get_exdate(p), calendar));
        if (!excluded.isValid())
            continue;
        if (excluded.isDate && !datedSeries)
            series.excludedDays.insert(excluded.date.toJulianDay());
        else
            series.excluded.insert(occurrenceKey(excluded));
    }
    series.recurring = !series.rules.empty() || !series.extraDates.empty();
}

// The earliest start and latest end any occurrence can have, so that most series are passed over
// without expanding them.
void measureSpan(Series& series) {
    QDateTime first;
    QDateTime last;
    bool open = false;
    const auto widen = [&](const QDateTime& start, const QDateTime& end) {
        if (!first.isValid() || start < first)
            first = start;
        if (!last.isValid() || end > last)
            last = end;
    };
    if (series.master) {
        const Event& m = *series.master;
        widen(m.start.instant, m.end.instant);
        const qint64 length = m.length.approximateSeconds() + kSlackSeconds;
        for (const icalrecurrencetype& rule : series.rules) {
            if (!icaltime_is_null_time(rule.until)) {
                // UNTIL is in UTC, or floating like a floating start.
                icaltimetype untilValue = rule.until;
                if (!untilValue.is_date && !icaltime_is_utc(untilValue))
                    untilValue.zone = m.rawStart.zone;
                const Time until = toTime(untilValue);
                if (until.isValid())
                    widen(m.start.instant, until.instant.addSecs(length));
                else
                    open = true;
            } else {
                open = true;
            }
        }
        for (const Series::ExtraDate& extra : series.extraDates) {
            const Time end = extra.end ? *extra.end : m.length.endFor(extra.start);
            widen(extra.start.instant.addSecs(-kSlackSeconds), end.instant.addSecs(kSlackSeconds));
        }
    }
    for (const Series::Override& o : series.overrides)
        widen(o.event.start.instant, o.event.end.instant);
    series.spanStart = first.isValid() ? first.addSecs(-kSlackSeconds) : first;
    series.spanEnd = open ? QDateTime() : (last.isValid() ? last.addSecs(kSlackSeconds) : last);
}

QString titleOf(const ICalendarFile::Details& details) {
    return Text::isBlank(details.title) ? QStringLiteral("Time together") : details.title;
}

CalendarEventSnapshot snapshot(const ICalendarFile::Details& details, const Time& start, const Time& end,
                               std::optional<QDateTime> occurrence, bool recurring,
                               const ICalendarFile::Context& context) {
    CalendarEventSnapshot s;
    s.calendarID = context.calendarID;
    s.sourceID = context.sourceID;
    s.externalID = details.uid;
    s.localID = context.localID;
    s.title = titleOf(details);
    s.start = start.instant;
    s.end = end.instant;
    s.occurrence = std::move(occurrence);
    s.recurring = recurring;
    s.allDay = start.isDate;
    s.cancelled = details.cancelled;
    s.attendees = ICalendarFile::attendees(details, context.selfAddresses);
    return s;
}

} // namespace

ICalendarFile::ICalendarFile() = default;
ICalendarFile::~ICalendarFile() {
    if (m_tree) {
        // The tree goes under the lock: its zones share libical's tables.
        QMutexLocker locker(&libicalLock());
        m_tree.reset();
    }
}

std::shared_ptr<const ICalendarFile> ICalendarFile::parse(const QByteArray& bytes) {
    prepareLibical();
    QMutexLocker locker(&libicalLock());
    const QByteArray plain = withPlainRules(bytes);
    icalcomponent* root = icalparser_parse_string(plain.constData());
    if (!root) {
        if (const QByteArray closed = closedCalendar(plain); !closed.isEmpty())
            root = icalparser_parse_string(closed.constData());
    }
    if (!root)
        throw CalendarError(QStringLiteral("Not an iCalendar file."));
    std::shared_ptr<void> tree(
        root, [](void* component) { icalcomponent_free(static_cast<icalcomponent*>(component)); });

    // What to read: each VCALENDAR (several may be concatenated), or a bare VEVENT.
    std::vector<icalcomponent*> calendars;
    std::vector<std::pair<icalcomponent*, icalcomponent*>> events; // (event, its calendar)
    const auto collect = [&](icalcomponent* calendar) {
        calendars.push_back(calendar);
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            events.emplace_back(e, calendar);
    };
    switch (icalcomponent_isa(root)) {
    case ICAL_VCALENDAR_COMPONENT:
        collect(root);
        break;
    case ICAL_XROOT_COMPONENT:
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
            if (icalcomponent_isa(c) == ICAL_VCALENDAR_COMPONENT)
                collect(c);
            else if (icalcomponent_isa(c) == ICAL_VEVENT_COMPONENT)
                events.emplace_back(c, nullptr);
        }
        break;
    case ICAL_VEVENT_COMPONENT:
        events.emplace_back(root, nullptr);
        break;
    default:
        throw CalendarError(QStringLiteral("No calendar in the file."));
    }

    std::shared_ptr<ICalendarFile> file(new ICalendarFile);
    for (icalcomponent* calendar : calendars) {
        for (icalproperty* p = icalcomponent_get_first_property(calendar, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(calendar, ICAL_ANY_PROPERTY)) {
            const char* name = icalproperty_get_property_name(p);
            if (!name)
                continue;
            if (qstricmp(name, "REFRESH-INTERVAL") == 0 || qstricmp(name, "X-PUBLISHED-TTL") == 0 ||
                qstricmp(name, "SOURCE") == 0)
                file->m_publishedFeed = true;
            else if (qstricmp(name, "NAME") == 0 ||
                     (qstricmp(name, "X-WR-CALNAME") == 0 && file->m_calendarName.isEmpty()))
                file->m_calendarName = propertyText(p).trimmed();
        }
    }

    // Group by UID, in the order of first appearance; an event without a UID is a series of its own.
    std::map<QString, Series*> byUID;
    bool keepsTree = false;
    for (const auto& [component, calendar] : events) {
        std::optional<Event> event = eventOf(component, calendar);
        if (!event)
            continue; // no start: nothing to place in time
        const QString uid = event->details.uid;
        Series* series = nullptr;
        if (!uid.isEmpty()) {
            const auto found = byUID.find(uid);
            if (found != byUID.end())
                series = found->second;
        }
        if (!series) {
            file->m_series.push_back(std::make_unique<Series>());
            series = file->m_series.back().get();
            series->uid = uid;
            if (!uid.isEmpty())
                byUID.emplace(uid, series);
        }
        icalproperty* recurrenceID = firstProperty(component, ICAL_RECURRENCEID_PROPERTY);
        if (recurrenceID) {
            const Time id =
                toTime(resolved(recurrenceID, icalproperty_get_recurrenceid(recurrenceID), calendar));
            if (id.isValid()) {
                series->overrides.push_back({std::move(*event), id});
                continue;
            }
        }
        if (series->master)
            continue; // a second master of the same UID is a broken copy; the first one stands
        series->master = std::move(event);
        readRecurrence(*series, component, calendar);
        keepsTree = keepsTree || series->recurring;
    }
    for (const auto& series : file->m_series) {
        for (const Series::Override& o : series->overrides)
            series->replaced.insert(occurrenceKey(o.recurrenceID));
        measureSpan(*series);
    }
    if (keepsTree)
        file->m_tree = std::move(tree);
    return file;
}

bool ICalendarFile::onlyBirthdays() const {
    if (m_series.empty())
        return false;
    for (const auto& series : m_series) {
        if (series->master && !series->master->details.birthday)
            return false;
        for (const Series::Override& o : series->overrides) {
            if (!o.event.details.birthday)
                return false;
        }
    }
    return true;
}

void ICalendarFile::occurrences(const QDateTime& start, const QDateTime& end, const Context& context,
                                QList<CalendarEventSnapshot>& out) const {
    for (const auto& series : m_series) {
        if (!series->mayOverlap(start, end))
            continue;
        if (series->master && !series->master->details.birthday) {
            const Event& master = *series->master;
            if (!series->recurring) {
                if (!series->replaced.contains(occurrenceKey(master.start)) &&
                    overlaps(master.start, master.end, start, end))
                    out.append(
                        snapshot(master.details, master.start, master.end, std::nullopt, false, context));
            } else {
                // Occurrence starts by instant, each once: the series start, the rules, RDATE.
                std::map<qint64, std::pair<Time, std::optional<Time>>> starts;
                const auto full = [&starts] { return starts.size() >= std::size_t(kMaxOccurrences); };
                const auto consider = [&](const Time& time, std::optional<Time> explicitEnd) {
                    if (!time.isValid() || time.instant > end || full())
                        return;
                    const qint64 key = occurrenceKey(time);
                    if (series->excluded.contains(key) || series->replaced.contains(key))
                        return;
                    if (!time.isDate && series->excludedDays.contains(time.date.toJulianDay()))
                        return;
                    if (!overlaps(time, explicitEnd ? *explicitEnd : master.length.endFor(time), start, end))
                        return;
                    starts.emplace(time.instant.toMSecsSinceEpoch(),
                                   std::make_pair(time, std::move(explicitEnd)));
                };
                consider(master.start, std::nullopt);
                const QDateTime from = start.addSecs(-(master.length.approximateSeconds() + kSlackSeconds));
                QMutexLocker locker(&libicalLock());
                // Each rule ends with the window, so that libical stops looking there for steps
                // that match the rule's parts, however seldom they do.
                const icaltimetype horizon = iterationStart(end.addSecs(kSlackSeconds), master.rawStart);
                for (icalrecurrencetype rule : series->rules) {
                    if (icaltime_is_null_time(rule.until) || icaltime_compare(rule.until, horizon) > 0)
                        rule.until = horizon;
                    icalrecur_iterator* it = icalrecur_iterator_new(rule, master.rawStart);
                    if (!it)
                        continue;
                    if (from > master.start.instant)
                        icalrecur_iterator_set_start(it, iterationStart(from, master.rawStart));
                    for (int i = 0; i < kMaxSteps; ++i) {
                        const icaltimetype t = icalrecur_iterator_next(it);
                        if (icaltime_is_null_time(t))
                            break;
                        const Time time = toTime(t);
                        if (!time.isValid() || time.instant > end)
                            break;
                        if (time.instant >= from)
                            consider(time, std::nullopt);
                        if (full())
                            break;
                    }
                    icalrecur_iterator_free(it);
                }
                locker.unlock();
                for (const Series::ExtraDate& extra : series->extraDates)
                    consider(extra.start, extra.end);
                for (const auto& [key, occurrence] : starts) {
                    const Time& s = occurrence.first;
                    const Time e = occurrence.second ? *occurrence.second : master.length.endFor(s);
                    if (overlaps(s, e, start, end))
                        out.append(snapshot(master.details, s, e, s.instant, true, context));
                }
            }
        }
        // Edited occurrences stand on their own: one moved into the window shows, one moved out
        // of it does not, and one whose series is missing is still part of a series.
        for (const Series::Override& o : series->overrides) {
            if (o.event.details.birthday || !overlaps(o.event.start, o.event.end, start, end))
                continue;
            out.append(
                snapshot(o.event.details, o.event.start, o.event.end, o.recurrenceID.instant, true, context));
        }
    }
}

QList<QSet<QString>> ICalendarFile::participantsPerSeries() const {
    QList<QSet<QString>> result;
    const auto add = [](QSet<QString>& set, const Details& d) {
        for (const Participant& p : d.attendees) {
            if (!p.email.isEmpty())
                set.insert(p.email);
        }
        if (d.organizer && !d.organizer->email.isEmpty())
            set.insert(d.organizer->email);
    };
    for (const auto& series : m_series) {
        QSet<QString> set;
        if (series->master)
            add(set, series->master->details);
        for (const Series::Override& o : series->overrides)
            add(set, o.event.details);
        if (!set.isEmpty())
            result.append(std::move(set));
    }
    return result;
}

QList<CalendarAttendee> ICalendarFile::attendees(const Details& details, const QSet<QString>& selfAddresses) {
    const auto toAttendee = [&selfAddresses](const Participant& p) {
        CalendarAttendee a;
        a.email = p.email;
        a.name = p.name;
        a.isSelf = !p.email.isEmpty() && selfAddresses.contains(p.email);
        a.declined = p.declined;
        a.kind = p.kind;
        return a;
    };
    QList<CalendarAttendee> list;
    list.reserve(details.attendees.size() + 1);
    for (const Participant& p : details.attendees)
        list.append(toAttendee(p));
    if (details.organizer) {
        const CalendarAttendee organizer = toAttendee(*details.organizer);
        // When the organiser is the user, only an attendee that is the user too stands for them.
        bool listed = false;
        for (qsizetype i = 0; i < details.attendees.size() && !listed; ++i) {
            if (ParticipantAddress::same(details.attendees[i].address, details.organizer->address) &&
                (!organizer.isSelf || list[i].isSelf))
                listed = true;
        }
        if (!listed)
            list.append(organizer);
    }
    return list;
}

} // namespace pemmo
