// A Moment: the offer, after a one-on-one event with a known contact has ended, to write down a
// memory of it. Identified by hashes of the event's occurrence that stay the same across re-reads
// of the calendar, releases and devices: they are stored in timeline entries.
#pragma once

#include "Moments/MomentStatus.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo {

struct MomentCandidate {
    QString id;            // the primary occurrence hash
    QSet<QString> aliases; // every occurrence hash known for the event, `id` included
    QString calendarID;
    QString profileID;
    QString eventTitle;
    QDateTime startDate;
    QDateTime endDate;
    QDateTime createdAt;
    QDateTime expiresAt;
    std::optional<QString> seriesHash; // only for repeating events
    QSet<QString> seriesAliases;       // every series hash, `seriesHash` included; empty for one-offs
    MomentStatus status = MomentStatus::Pending;

    bool operator==(const MomentCandidate&) const = default;

    // SHA-256 over the components, each written as its UTF-8 length in decimal, ":" and itself,
    // as 64 lower-case hexadecimal digits. The length prefix keeps ["ab","c"] and ["a","bc"] apart.
    static QString stableHash(const QStringList& components);

    // The aliases in a fixed order, for files and timeline entries.
    QStringList sortedAliases() const;
    QStringList sortedSeriesAliases() const;
    bool isRecurring() const { return seriesHash.has_value(); }
};

size_t qHash(const MomentCandidate& candidate, size_t seed = 0);

} // namespace pemmo
