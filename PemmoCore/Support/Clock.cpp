#include "Support/Clock.h"

namespace pemmo {

QDateTime systemNow() {
    return QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
}

} // namespace pemmo
