// FNV-1a, 64 bits: a small, stable hash of text for values that must come out the same on every
// run and every machine (circle colours once the palette is full, embedding content hashes).
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace pemmo::Hashing {

// The hash of the bytes.
quint64 fnv1a64(QByteArrayView bytes);
// The hash of the text's UTF-8 bytes as 16 lower-case hexadecimal digits.
QString fnv1a64Hex(const QString& text);

} // namespace pemmo::Hashing
