// Everything Pemmo keeps about one contact, keyed in the store by the contact's identifier.
#pragma once

#include "Records/BriefingCache.h"
#include "Records/DateComponents.h"
#include "Records/Details.h"
#include "Records/FieldChange.h"
#include "Records/Interaction.h"
#include "Records/QuickLink.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace pemmo {

struct PemmoRecord {
    static constexpr std::int64_t currentSchema = 2;

    std::int64_t schema = currentSchema;
    QStringList tags; // circle ids
    QList<QuickLink> links;
    Details details;
    std::optional<DateComponents> birthday;
    std::optional<QString> messageHandle;
    std::optional<QString> findMyURL;
    std::optional<QString> gmailTemplate;
    QString about;
    QList<Interaction> interactions;
    QList<FieldChange> changes;
    bool aiCloudOptOut = false;
    std::optional<BriefingCache> briefingCache;
    QDateTime updatedAt;

    // A fresh record: every default, stamped with `now`.
    static PemmoRecord fresh(const QDateTime& now);

    bool operator==(const PemmoRecord&) const = default;

    // True when it holds nothing the user entered (the change log, opt-out, cached briefing and
    // stamps do not count).
    bool isEmpty() const;
};

} // namespace pemmo
