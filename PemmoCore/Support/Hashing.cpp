#include "Support/Hashing.h"

namespace pemmo::Hashing {

quint64 fnv1a64(QByteArrayView bytes) {
    constexpr quint64 offsetBasis = 0xcbf29ce484222325ULL;
    constexpr quint64 prime = 0x100000001b3ULL;
    quint64 hash = offsetBasis;
    for (const char byte : bytes) {
        hash ^= static_cast<quint8>(byte);
        hash *= prime;
    }
    return hash;
}

QString fnv1a64Hex(const QString& text) {
    return QStringLiteral("%1").arg(fnv1a64(text.toUtf8()), 16, 16, QLatin1Char('0'));
}

} // namespace pemmo::Hashing
