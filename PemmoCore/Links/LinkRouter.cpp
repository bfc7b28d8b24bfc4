#include "Links/LinkRouter.h"

#include "Records/Text.h"

#include <QUrl>

namespace pemmo::LinkRouter {
namespace {

const QString kHttps = QStringLiteral("https://");

std::optional<QuickLink::Kind> kindForAlias(const QString& named) {
    const QString alias = Text::trimmed(named).toLower();
    if (alias == u"insta" || alias == u"ig" || alias == u"instagram")
        return QuickLink::Kind::Instagram;
    if (alias == u"linkedin" || domains(QuickLink::Kind::LinkedIn).contains(alias))
        return QuickLink::Kind::LinkedIn;
    if (alias == u"x" || alias == u"twitter" || alias == domains(QuickLink::Kind::X).constFirst())
        return QuickLink::Kind::X;
    return std::nullopt;
}

QString hostWithoutWWW(const QString& url) {
    QString host = QUrl(url).host().toLower();
    if (host.startsWith(u"www."))
        host = host.mid(4);
    return host;
}

bool hostBelongsTo(const QString& host, const QStringList& names) {
    for (const QString& name : names) {
        if (host == name || host.endsWith(u'.' + name))
            return true;
    }
    return false;
}

} // namespace

QStringList domains(QuickLink::Kind kind) {
    switch (kind) {
    case QuickLink::Kind::Instagram:
        return {QStringLiteral("instagram.com")};
    case QuickLink::Kind::LinkedIn:
        return {QStringLiteral("linkedin.com")};
    case QuickLink::Kind::X:
        return {QStringLiteral("x.com"), QStringLiteral("twitter.com")};
    case QuickLink::Kind::Custom:
        return {};
    }
    return {};
}

QString defaultGmailTemplate() {
    return QStringLiteral("https://mail.google.com/mail/?view=cm&to={email}");
}

QString defaultFindMyURL() {
    return QStringLiteral("https://www.google.com/maps");
}

std::optional<QString> normalizedURL(const QString& text) {
    const QString trimmed = Text::trimmed(text);
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (c.isSpace())
            return std::nullopt;
    }
    const QString candidate = trimmed.contains(u"://") ? trimmed : kHttps + trimmed;
    const QUrl url(candidate, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return candidate;
}

QuickLink::Kind kind(const QString& url, const std::optional<QString>& namedKind) {
    if (namedKind) {
        if (const auto named = kindForAlias(*namedKind))
            return *named;
    }
    const auto normalized = normalizedURL(url);
    if (!normalized)
        return QuickLink::Kind::Custom;
    const QString host = hostWithoutWWW(*normalized);
    if (host.isEmpty())
        return QuickLink::Kind::Custom;
    for (const auto k : {QuickLink::Kind::Instagram, QuickLink::Kind::LinkedIn, QuickLink::Kind::X}) {
        if (hostBelongsTo(host, domains(k)))
            return k;
    }
    return QuickLink::Kind::Custom;
}

QString defaultTitle(QuickLink::Kind kind, const QString& url) {
    switch (kind) {
    case QuickLink::Kind::Instagram:
        return QStringLiteral("Instagram");
    case QuickLink::Kind::LinkedIn:
        return QStringLiteral("LinkedIn");
    case QuickLink::Kind::X:
        return QStringLiteral("X");
    case QuickLink::Kind::Custom:
        break;
    }
    const auto normalized = normalizedURL(url);
    QString host = normalized ? hostWithoutWWW(*normalized) : QString();
    if (host.isEmpty())
        return url;
    // QUrl gives the ASCII form ("xn--bcher-kva.example") for most top-level domains; the title
    // shows the name as people write it ("Bücher.example").
    if (const QString letters = QUrl::fromAce(QUrl::toAce(host), QUrl::IgnoreIDNWhitelist);
        !letters.isEmpty())
        host = letters;
    return host.left(1).toUpper() + host.mid(1);
}

std::optional<QString> messagesURL(const QString& handle) {
    const QString trimmed = Text::trimmed(handle);
    if (trimmed.isEmpty())
        return std::nullopt;
    // Letters (with their marks) and digits of any script stay as they are; everything else,
    // "+", "@" and "." included, is percent-encoded as UTF-8.
    QString encoded;
    for (const uint point : trimmed.toUcs4()) {
        const QString text = QString::fromUcs4(reinterpret_cast<const char32_t*>(&point), 1);
        if (QChar::isLetterOrNumber(char32_t(point)) || QChar::isMark(char32_t(point)))
            encoded += text;
        else
            encoded += QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), "-._~"));
    }
    return QStringLiteral("imessage://") + encoded;
}

QString dialled(const QString& phone) {
    // Full-width forms ("０３－１２３４", "＋８１") fold to their ASCII letters; the digits of
    // other scripts ("٠١٢") are dialled as the digits they stand for.
    const QString written = phone.normalized(QString::NormalizationForm_KC);
    QString number;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written.at(i);
        if (c.isDigit())
            number.append(QChar(u'0' + c.digitValue()));
        else if (i == 0 && c == u'+')
            number.append(c);
    }
    return number == u"+" ? QString() : number;
}

std::optional<QString> callURL(const QString& phone) {
    const QString number = dialled(phone);
    if (number.isEmpty())
        return std::nullopt;
    return QStringLiteral("tel://") + number;
}

std::optional<QString> mailURL(const QString& address, const QString& subject, const QString& body) {
    const QString trimmed = Text::trimmed(address);
    if (trimmed.isEmpty())
        return std::nullopt;
    // The query's own characters, and "+" (which some mail clients read as a space), are encoded.
    const auto item = [](const char* name, const QString& value) -> QString {
        return QString::fromLatin1(name) +
               QString::fromLatin1(QUrl::toPercentEncoding(value, "!$'()*,;:@/", "&+=?"));
    };
    QStringList items;
    if (!subject.isEmpty())
        items.append(item("subject=", subject));
    if (!body.isEmpty())
        items.append(item("body=", body));
    QString url = QStringLiteral("mailto:") + trimmed;
    if (!items.isEmpty())
        url += u'?' + items.join(u'&');
    return url;
}

std::optional<QString> gmailURL(const QString& templateText, const QString& address) {
    QString text = templateText;
    text.replace(QStringLiteral("{email}"), address);
    return normalizedURL(text);
}

std::optional<QString> webURL(const QString& text) {
    return normalizedURL(text);
}

} // namespace pemmo::LinkRouter
