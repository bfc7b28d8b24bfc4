#include "Links/PhoneNumber.h"

#include <QRegularExpression>

namespace pemmo::PhoneNumber {
namespace {

bool isSeparator(QChar c) {
    return c == u' ' || c == u'(' || c == u')' || c == u'-' || c == u'.' || c == u'/';
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The number before an extension written at its end: "ext. 89", "extension 89", ";ext=89"
// (RFC 3966), "x89", ", 89" (a dialling pause).
QString withoutExtension(const QString& written) {
    static const QRegularExpression extension(
        QStringLiteral(R"(\d[\s\)]*((?:;?\s*ext(?:n|ension)?\.?\s*[:=]?|x|,+)\s*\d+\s*)$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = extension.match(written);
    if (!match.hasMatch())
        return written;
    return written.left(match.capturedStart(1));
}

// "+44 (0) 20 …" and "0044 (0)20 …": the 0 in brackets is dialled only inside the country.
QString withoutTrunkZero(const QString& number) {
    static const QRegularExpression trunkZero(QStringLiteral(R"(\(\s*0\s*\))"));
    const QString trimmed = number.trimmed();
    if (!trimmed.startsWith(u'+') && !trimmed.startsWith(u"00"))
        return number;
    QString result = number;
    return result.remove(trunkZero);
}

} // namespace

QString dialled(const QString& written) {
    const QString number = withoutTrunkZero(withoutExtension(written));
    QString digits;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        if (isAsciiDigit(c) || (i == 0 && c == u'+'))
            digits.append(c);
    }
    if (digits == u"+")
        return {};
    return digits;
}

bool isNumber(const QString& handle) {
    const QString number = withoutExtension(handle);
    bool digit = false;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        if (isAsciiDigit(c))
            digit = true;
        else if (!(isSeparator(c) || (i == 0 && c == u'+')))
            return false;
    }
    return digit;
}

} // namespace pemmo::PhoneNumber
