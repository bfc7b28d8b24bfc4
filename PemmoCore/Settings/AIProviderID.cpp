#include "Settings/AIProviderID.h"

namespace pemmo::AIProviderIDs {

QString rawValue(AIProviderID id) {
    switch (id) {
    case AIProviderID::OnDevice:
        return QStringLiteral("onDevice");
    case AIProviderID::Claude:
        return QStringLiteral("claude");
    }
    return {};
}

std::optional<AIProviderID> fromRawValue(const QString& raw) {
    for (const AIProviderID id : allCases()) {
        if (rawValue(id) == raw)
            return id;
    }
    return std::nullopt;
}

QString displayName(AIProviderID id) {
    switch (id) {
    case AIProviderID::OnDevice:
        return QStringLiteral("On-device");
    case AIProviderID::Claude:
        return QStringLiteral("Claude");
    }
    return {};
}

} // namespace pemmo::AIProviderIDs
