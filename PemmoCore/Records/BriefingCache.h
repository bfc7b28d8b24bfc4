// The last AI briefing of a person, kept until the record it was made from changes.
#pragma once

#include <QDateTime>
#include <QString>

namespace pemmo {

struct BriefingCache {
    QString contentHash;
    QString summary;
    QString opener;
    QDateTime generatedAt;
    QString model;
    bool leftDevice = false; // produced by a cloud provider
    QString providerName;

    bool operator==(const BriefingCache&) const = default;
};

} // namespace pemmo
