#include "Updates/UpdateFeed.h"

#include "Support/DecodingError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>

namespace pemmo::UpdateFeed {

namespace {

// "1.4.0" and "v1.4.0" both count; "1.4.0-beta" does not (suffixes are never offered).
QVersionNumber versionOf(QString text) {
    text = text.trimmed();
    if (text.startsWith(u'v') || text.startsWith(u'V'))
        text.remove(0, 1);
    qsizetype suffix = -1;
    const QVersionNumber version = QVersionNumber::fromString(text, &suffix);
    if (version.isNull() || suffix != text.size())
        return {};
    return version;
}

} // namespace

QList<UpdateRelease> parse(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(DecodingError::Kind::DataCorrupted, {}, error.errorString());
    if (!document.isObject())
        throw DecodingError(DecodingError::Kind::TypeMismatch, {}, u"the feed is not a JSON object"_qs);
    const QJsonValue releases = document.object().value(u"releases");
    if (releases.isUndefined())
        throw DecodingError(DecodingError::Kind::KeyNotFound, u"releases"_qs,
                            u"the feed lists no releases"_qs);
    if (!releases.isArray())
        throw DecodingError(DecodingError::Kind::TypeMismatch, u"releases"_qs, u"expected an array"_qs);

    QList<UpdateRelease> out;
    for (const QJsonValue& entry : releases.toArray()) {
        const QJsonObject object = entry.toObject();
        const QString version = object.value(u"version").toString().trimmed();
        const QUrl url(object.value(u"url").toString(), QUrl::StrictMode);
        if (versionOf(version).isNull() || !url.isValid() || url.host().isEmpty() ||
            (url.scheme() != u"https" && url.scheme() != u"http"))
            continue;
        out.append({version, url});
    }
    return out;
}

std::optional<UpdateRelease> newerRelease(const QList<UpdateRelease>& releases,
                                          const QString& currentVersion) {
    const QVersionNumber current = versionOf(currentVersion);
    std::optional<UpdateRelease> best;
    QVersionNumber bestVersion = current;
    for (const UpdateRelease& release : releases) {
        const QVersionNumber version = versionOf(release.version);
        // Compared without trailing zeros, so "1.4" and "1.4.0" are the same release.
        if (QVersionNumber::compare(version.normalized(), bestVersion.normalized()) > 0) {
            best = release;
            bestVersion = version;
        }
    }
    return best;
}

} // namespace pemmo::UpdateFeed
