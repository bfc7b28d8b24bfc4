#include "SeededRandom.h"

namespace pemmo::bench {

QUuid SeededRandom::uuid() {
    const std::uint64_t high = m_engine();
    const std::uint64_t low = m_engine();
    return QUuid(static_cast<uint>(high >> 32), static_cast<ushort>(high >> 16),
                 static_cast<ushort>((high & 0x0FFF) | 0x4000),
                 static_cast<uchar>(((low >> 56) & 0x3F) | 0x80), static_cast<uchar>(low >> 48),
                 static_cast<uchar>(low >> 40), static_cast<uchar>(low >> 32), static_cast<uchar>(low >> 24),
                 static_cast<uchar>(low >> 16), static_cast<uchar>(low >> 8), static_cast<uchar>(low));
}

} // namespace pemmo::bench
