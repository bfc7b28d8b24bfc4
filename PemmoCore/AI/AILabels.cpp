#include "AI/AILabels.h"

#include <QCoreApplication>

namespace pemmo::AILabels {

QString where(bool leftDevice) {
    return leftDevice ? QCoreApplication::translate("AILabels", "sent to the cloud")
                      : QCoreApplication::translate("AILabels", "stayed on this computer");
}

QString origin(const QString& providerName, bool leftDevice) {
    if (providerName.isEmpty())
        return where(leftDevice);
    return QStringLiteral("%1 · %2").arg(providerName, where(leftDevice));
}

} // namespace pemmo::AILabels
