#include "Moments/MomentDiscovery.h"

#include "Moments/MomentMatcher.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pemmo::MomentDiscovery {
namespace {

// Seconds since 1970 with the millisecond precision the instants carry.
double secondsSince1970(const QDateTime& instant) {
    return static_cast<double>(instant.toMSecsSinceEpoch()) / 1000.0;
}

// The shortest decimal that reads back to the same double, in plain notation (an instant on the
// hour such as 1773000000 would otherwise come out as "1.773e+09"), with ".0" for whole numbers.
QString shortestDecimal(double value) {
    char buffer[400]; // the longest plain double has 309 digits before the point
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, error == std::errc() ? end - buffer : 0);
    if (!text.contains(u'.') && !text.contains(u'n') && !text.contains(u'i'))
        text += QLatin1String(".0");
    return text;
}

bool intersects(const QSet<QString>& a, const QSet<QString>& b) {
    return a.intersects(b);
}

} // namespace

QString occurrenceToken(const CalendarEventSnapshot& event) {
    if (!event.recurring)
        return QStringLiteral("single");
    return shortestDecimal(secondsSince1970(event.occurrence.value_or(event.start)));
}

QList<MomentCandidate> candidates(const QList<CalendarEventSnapshot>& events, const QList<Profile>& profiles,
                                  const QDateTime& now, const QDateTime& since,
                                  const QHash<QString, QString>& knownEmails, double delaySeconds) {
    const qint64 delayMs = static_cast<qint64>(std::llround(std::max(delaySeconds, 0.0) * 1000.0));
    const QDateTime earliestEnd = now.addSecs(-windowSeconds);
    const QDateTime latestEnd = now.addMSecs(-delayMs);

    QList<MomentCandidate> accepted;
    for (const CalendarEventSnapshot& event : events) {
        if (event.allDay || event.cancelled)
            continue;
        if (!(event.end > earliestEnd) || !(event.end <= latestEnd))
            continue;
        if (since.isValid() && event.end < since)
            continue;
        if (!(event.start < event.end))
            continue;

        const QList<CalendarAttendee> attendees = MomentMatcher::mergedAttendees(event.attendees);
        bool hasSelf = false;
        bool selfDeclined = false;
        bool crowd = false;
        QList<const CalendarAttendee*> others;
        for (const CalendarAttendee& attendee : attendees) {
            if (attendee.isSelf) {
                hasSelf = true;
                selfDeclined = selfDeclined || attendee.declined;
                continue;
            }
            if (attendee.kind == CalendarAttendee::Kind::Group ||
                attendee.kind == CalendarAttendee::Kind::Unknown)
                crowd = true;
            else if (attendee.kind == CalendarAttendee::Kind::Person)
                others.append(&attendee);
        }
        if (!hasSelf || selfDeclined || crowd || others.size() != 1 || others.first()->declined)
            continue;

        const std::optional<QString> profileID = MomentMatcher::match(*others.first(), profiles, knownEmails);
        if (!profileID)
            continue;

        const QString token = occurrenceToken(event);
        std::optional<QString> externalHash;
        std::optional<QString> localHash;
        if (!event.externalID.isEmpty())
            externalHash = MomentCandidate::stableHash(
                {QStringLiteral("external-v1"), event.sourceID, event.externalID, token});
        if (!event.localID.isEmpty())
            localHash = MomentCandidate::stableHash(
                {QStringLiteral("local-v1"), event.sourceID, event.localID, token});
        if (!externalHash && !localHash)
            continue;

        MomentCandidate candidate;
        candidate.id = externalHash ? *externalHash : *localHash;
        if (externalHash)
            candidate.aliases.insert(*externalHash);
        if (localHash)
            candidate.aliases.insert(*localHash);
        candidate.aliases.insert(candidate.id);

        if (event.recurring) {
            const QString primary = event.externalID.isEmpty() ? event.localID : event.externalID;
            const auto seriesHash = [&event](const QString& identifier) {
                return MomentCandidate::stableHash({QStringLiteral("series-v1"), event.sourceID, identifier});
            };
            candidate.seriesHash = seriesHash(primary);
            for (const QString& identifier : {event.externalID, event.localID}) {
                if (!identifier.isEmpty())
                    candidate.seriesAliases.insert(seriesHash(identifier));
            }
            candidate.seriesAliases.insert(*candidate.seriesHash);
        }

        candidate.calendarID = event.calendarID;
        candidate.profileID = *profileID;
        candidate.eventTitle = event.title;
        candidate.startDate = event.start;
        candidate.endDate = event.end;
        candidate.createdAt = now;
        candidate.expiresAt = event.end.addSecs(windowSeconds);
        candidate.status = MomentStatus::Pending;

        const bool seen =
            std::any_of(accepted.cbegin(), accepted.cend(), [&candidate](const MomentCandidate& c) {
                return intersects(c.aliases, candidate.aliases);
            });
        if (!seen)
            accepted.append(std::move(candidate));
    }

    std::stable_sort(accepted.begin(), accepted.end(),
                     [](const MomentCandidate& a, const MomentCandidate& b) {
                         if (a.endDate != b.endDate)
                             return a.endDate > b.endDate;
                         return a.id < b.id;
                     });
    return accepted;
}

} // namespace pemmo::MomentDiscovery
