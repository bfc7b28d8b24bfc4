// The update feed on arbitrary bytes. A feed either reads or fails with a DecodingError; every
// release it lists has a plain version and an http(s) page, and written out again reads the same.
// The release offered is newer than the running version, and no release listed is newer still.
#include "Support/DecodingError.h"
#include "Updates/UpdateFeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "%s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

// The version a text gives ("v1.4.0" and "1.4.0" alike); null when none.
QVersionNumber version(QString text) {
    text = text.trimmed();
    if (text.startsWith(u'v') || text.startsWith(u'V'))
        text.remove(0, 1);
    return QVersionNumber::fromString(text);
}

// Compared without trailing zeros, as the feed compares them: "1.4" and "1.4.0" are one release.
int compare(const QVersionNumber& a, const QVersionNumber& b) {
    return QVersionNumber::compare(a.normalized(), b.normalized());
}

QByteArray write(const QList<UpdateRelease>& releases) {
    QJsonArray list;
    for (const UpdateRelease& release : releases)
        list.append(QJsonObject{{u"version"_qs, release.version}, {u"url"_qs, release.url.toString()}});
    return QJsonDocument(QJsonObject{{u"releases"_qs, list}}).toJson(QJsonDocument::Compact);
}

void checkOffer(const QList<UpdateRelease>& releases, const QString& running) {
    const std::optional<UpdateRelease> offer = UpdateFeed::newerRelease(releases, running);
    const QVersionNumber current = version(running);
    if (!offer) {
        for (const UpdateRelease& release : releases) {
            if (!current.isNull() && compare(version(release.version), current) > 0)
                fail("A newer release is not offered", release.version);
        }
        return;
    }
    if (!releases.contains(*offer))
        fail("The offer is not a listed release", offer->version);
    if (compare(version(offer->version), current) <= 0)
        fail("The offer is not newer than the running version", offer->version + u" / "_qs + running);
    for (const UpdateRelease& release : releases) {
        if (compare(version(release.version), version(offer->version)) > 0)
            fail("A release newer than the offer", release.version);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<UpdateRelease> releases;
    try {
        releases = UpdateFeed::parse(bytes);
    } catch (const DecodingError&) {
        return 0;
    }
    for (const UpdateRelease& release : releases) {
        if (version(release.version).isNull() || release.version != release.version.trimmed())
            fail("A release without a plain version", release.version);
        if (!release.url.isValid() || release.url.host().isEmpty() ||
            (release.url.scheme() != u"https" && release.url.scheme() != u"http"))
            fail("A release without an http(s) page", release.url.toString());
    }
    const QByteArray written = write(releases);
    try {
        if (UpdateFeed::parse(written) != releases)
            fail("A feed written out reads back differently", QString::fromUtf8(written));
    } catch (const DecodingError& error) {
        fail("A feed written out does not read", QString::fromUtf8(written));
    }
    checkOffer(releases, QStringLiteral("1.2.0"));
    for (const UpdateRelease& release : releases)
        checkOffer(releases, release.version);
    return 0;
}
