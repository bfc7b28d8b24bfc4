// The label every AI result carries on screen: which provider wrote it and whether what it was
// told left this computer.
#pragma once

#include <QString>

namespace pemmo::AILabels {

// "stayed on this computer" or "sent to the cloud".
QString where(bool leftDevice);
// "On-device · stayed on this computer", "Claude · sent to the cloud"; only the second part when
// the provider is unknown.
QString origin(const QString& providerName, bool leftDevice);

} // namespace pemmo::AILabels
