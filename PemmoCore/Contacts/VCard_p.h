// What the vCard reader, decoding and editor share: byte helpers that ignore ASCII case, and the
// steps from a written value to its text. Private to those three.
#pragma once

#include "Contacts/VCardReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace pemmo::VCard {

// ---- bytes -----------------------------------------------------------------------------------

inline bool isFoldWhitespace(char c) {
    return c == ' ' || c == '\t';
}

inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

inline QByteArray upper(QByteArrayView bytes) {
    QByteArray result(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        result[i] = upperAscii(bytes[i]);
    return result;
}

inline bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

inline bool startsWithIgnoringCase(QByteArrayView bytes, QByteArrayView prefix) {
    return bytes.size() >= prefix.size() && equalsIgnoringCase(bytes.first(prefix.size()), prefix);
}

inline QByteArrayView trimmedView(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && (isFoldWhitespace(bytes[begin]) || bytes[begin] == '\r' || bytes[begin] == '\n'))
        ++begin;
    while (end > begin &&
           (isFoldWhitespace(bytes[end - 1]) || bytes[end - 1] == '\r' || bytes[end - 1] == '\n'))
        --end;
    return bytes.sliced(begin, end - begin);
}

inline bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// ---- values ----------------------------------------------------------------------------------

// The value with its transfer encoding (quoted-printable) undone; base64 stays as written.
QByteArray transferDecoded(const Property& property);
// Bytes as text in the property's CHARSET; undeclared bytes as UTF-8, else Windows-1252.
QString decodeCharset(QByteArrayView bytes, const Property& property);

// Which bytes start a two-byte character in the property's CHARSET. Shift_JIS (Japanese phones),
// Big5 and GBK write characters whose second byte can be 0x5C, a backslash to ASCII eyes ("能" is
// 0x94 0x5C in Shift_JIS): such a byte escapes nothing, so the two bytes are stepped over whole.
enum class LeadBytes { None, ShiftJis, Wide };
LeadBytes leadBytesOf(const Property& property);

// Resolves backslash escapes: \n (or \N) is a line break; \\ \, \; \: stand for themselves.
QByteArray unescape(const QByteArray& value, LeadBytes leads = LeadBytes::None);
QByteArray unescape(QByteArrayView value, LeadBytes leads = LeadBytes::None);
// The parts between unescaped separators, escapes kept.
QList<QByteArrayView> splitComponents(QByteArrayView value, char separator = ';',
                                      LeadBytes leads = LeadBytes::None);
// The X-ABLabel that labels `property`, if any.
const Property* appleLabelOf(const Card& card, const Property& property);

} // namespace pemmo::VCard
