// Which model serves the AI features: the local model server or Claude in the cloud.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace pemmo {

enum class AIProviderID { OnDevice, Claude };

namespace AIProviderIDs {

// Every provider, in the order the settings list them.
inline QList<AIProviderID> allCases() {
    return {AIProviderID::OnDevice, AIProviderID::Claude};
}
// The text stored in the preferences: "onDevice", "claude".
QString rawValue(AIProviderID id);
std::optional<AIProviderID> fromRawValue(const QString& raw);
// "On-device", "Claude".
QString displayName(AIProviderID id);

} // namespace AIProviderIDs

} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::AIProviderID)
