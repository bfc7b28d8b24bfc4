// Which model serves the AI features: the local model server or Claude in the cloud.
#pragma once

#include "Support/EnumTable.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace pemmo {

enum class AIProviderID { OnDevice, Claude };

namespace AIProviderIDs {

// The texts stored in the preferences, every provider in the order the settings list them.
inline constexpr auto rawValues = enumTable<AIProviderID>({
    {AIProviderID::OnDevice, "onDevice"},
    {AIProviderID::Claude, "claude"},
});

// Every provider, in the order the settings list them.
inline QList<AIProviderID> allCases() {
    const auto all = rawValues.values();
    return QList<AIProviderID>(all.begin(), all.end());
}
QString rawValue(AIProviderID id);
std::optional<AIProviderID> fromRawValue(const QString& raw);
// "On-device", "Claude".
QString displayName(AIProviderID id);

} // namespace AIProviderIDs

} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::AIProviderID)
