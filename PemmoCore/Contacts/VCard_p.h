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
// Resolves backslash escapes: \n (or \N) is a line break; \\ \, \; \: stand for themselves.
QByteArray unescape(const QByteArray& value);
QByteArray unescape(QByteArrayView value);
// The parts between unescaped separators, escapes kept.
QList<QByteArrayView> splitComponents(QByteArrayView value, char separator = ';');
// The X-ABLabel that labels `property`, if any.
const Property* appleLabelOf(const Card& card, const Property& property);

} // namespace pemmo::VCard
