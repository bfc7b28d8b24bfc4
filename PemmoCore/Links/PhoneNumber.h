// What a written phone number dials: the number without the extension written after it, and
// without the "(0)" that international numbers show for callers inside the country.
#pragma once

#include <QString>

namespace pemmo::PhoneNumber {

// The number as it is dialled: a leading "+" when written, then the digits. An extension ("ext. 89",
// "x89", ", 89") is left out: a call or a text reaches the main number. A "(0)" after an
// international prefix ("+44 (0) 20 …", "0044 (0)20 …") is left out too; written without a
// country code the 0 is part of the number. Empty when the text holds no digit.
QString dialled(const QString& written);

// Whether a handle is a phone number: digits with spaces, brackets, dashes, dots or slashes, a
// leading "+", and perhaps an extension after them.
bool isNumber(const QString& handle);

} // namespace pemmo::PhoneNumber
