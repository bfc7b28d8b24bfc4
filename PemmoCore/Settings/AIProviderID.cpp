#include "Settings/AIProviderID.h"

namespace pemmo::AIProviderIDs {
namespace {

constexpr auto kDisplayNames = enumTable<AIProviderID>({
    {AIProviderID::OnDevice, "On-device"},
    {AIProviderID::Claude, "Claude"},
});

} // namespace

QString rawValue(AIProviderID id) {
    return rawValues.name(id);
}

std::optional<AIProviderID> fromRawValue(const QString& raw) {
    return rawValues.find(QStringView(raw));
}

QString displayName(AIProviderID id) {
    return kDisplayNames.name(id);
}

} // namespace pemmo::AIProviderIDs
