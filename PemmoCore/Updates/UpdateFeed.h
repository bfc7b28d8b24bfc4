// The update feed: a small JSON document listing released versions, and the choice of the one
// worth offering over the running version.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace pemmo {

struct UpdateRelease {
    // As shown to the user ("1.4.0").
    QString version;
    // The release's page: what is new, and how to install it.
    QUrl url;

    bool operator==(const UpdateRelease&) const = default;
};

namespace UpdateFeed {

// The releases a feed lists. Entries without a readable version or an http(s) page are skipped;
// a document that is not a feed at all throws DecodingError.
QList<UpdateRelease> parse(const QByteArray& json);

// The newest release later than `currentVersion`, if any.
std::optional<UpdateRelease> newerRelease(const QList<UpdateRelease>& releases,
                                          const QString& currentVersion);

} // namespace UpdateFeed

} // namespace pemmo
