#include "AI/ServerAddress.h"

#include <QHostAddress>

namespace pemmo::ServerAddress {

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    if (host.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

std::optional<QUrl> parse(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https" || (scheme == u"http" && isLoopback(url)))
        return url;
    return std::nullopt;
}

std::optional<QUrl> parseLocal(const QString& text) {
    const auto url = parse(text);
    return url && isLoopback(*url) ? url : std::nullopt;
}

bool mayRedirect(const QUrl& from, const QUrl& to) {
    if (from.scheme().compare(u"https", Qt::CaseInsensitive) == 0 &&
        to.scheme().compare(u"https", Qt::CaseInsensitive) != 0)
        return false;
    return !isLoopback(from) || isLoopback(to);
}

QUrl withPath(const QUrl& base, const QString& path) {
    QUrl url = base;
    QString own = url.path();
    while (own.endsWith(u'/'))
        own.chop(1);
    url.setPath(own + path);
    return url;
}

} // namespace pemmo::ServerAddress
