#include "Calendar/ParticipantAddress.h"

#include "Moments/MomentMatcher.h"

#include <QStringDecoder>
#include <optional>

namespace pemmo::ParticipantAddress {
namespace {

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Percent escapes decoded as UTF-8; absent when an escape is malformed or the bytes are not UTF-8.
std::optional<QString> percentDecoded(const QString& text) {
    if (!text.contains(u'%'))
        return text;
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes += utf8[i];
            continue;
        }
        if (i + 2 >= utf8.size())
            return std::nullopt;
        const int high = hexValue(char16_t(uchar(utf8[i + 1])));
        const int low = hexValue(char16_t(uchar(utf8[i + 2])));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

bool isMailto(const QString& address) {
    return address.size() >= 7 &&
           address.first(7).compare(QLatin1String("mailto:"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString email(const QString& address) {
    if (!isMailto(address))
        return {};
    QString rest = address.mid(7);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == u'?' || rest[i] == u',') {
            rest.truncate(i);
            break;
        }
    }
    return MomentMatcher::normalizedEmail(percentDecoded(rest).value_or(rest));
}

bool same(const QString& a, const QString& b) {
    if (isMailto(a) && isMailto(b))
        return email(a) == email(b);
    return a == b;
}

} // namespace pemmo::ParticipantAddress
