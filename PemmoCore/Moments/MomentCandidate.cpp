#include "Moments/MomentCandidate.h"

#include <QCryptographicHash>
#include <algorithm>

namespace pemmo {
namespace {

QStringList sorted(const QSet<QString>& set) {
    QStringList list(set.cbegin(), set.cend());
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

QString MomentCandidate::stableHash(const QStringList& components) {
    QByteArray bytes;
    for (const QString& component : components) {
        const QByteArray utf8 = component.toUtf8();
        bytes += QByteArray::number(utf8.size());
        bytes += ':';
        bytes += utf8;
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QStringList MomentCandidate::sortedAliases() const {
    return sorted(aliases);
}

QStringList MomentCandidate::sortedSeriesAliases() const {
    return sorted(seriesAliases);
}

size_t qHash(const MomentCandidate& c, size_t seed) {
    return qHashMulti(seed, c.id, c.calendarID, c.profileID, c.endDate);
}

} // namespace pemmo
