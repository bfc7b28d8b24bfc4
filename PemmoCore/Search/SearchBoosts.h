// The personal signals that lift a match: starred, opened lately, in touch lately.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

namespace pemmo {

struct SearchBoosts {
    QSet<QString> starred;
    QHash<QString, QDateTime> recentOpens;   // contact id → last opening
    QHash<QString, QDateTime> lastContacted; // contact id → newest timeline entry
    QDateTime now;

    bool operator==(const SearchBoosts&) const = default;
};

} // namespace pemmo
