#include "Moments/MomentStatus.h"

#include <array>

namespace pemmo::MomentStatuses {
namespace {

// Strongest first.
constexpr std::array kByStrength{MomentStatus::Saved, MomentStatus::Dismissed, MomentStatus::Expired,
                                 MomentStatus::Pending};

int strength(MomentStatus status) {
    for (std::size_t i = 0; i < kByStrength.size(); ++i) {
        if (kByStrength[i] == status)
            return static_cast<int>(i);
    }
    return static_cast<int>(kByStrength.size());
}

} // namespace

QString rawValue(MomentStatus status) {
    switch (status) {
    case MomentStatus::Pending:
        return QStringLiteral("pending");
    case MomentStatus::Saved:
        return QStringLiteral("saved");
    case MomentStatus::Dismissed:
        return QStringLiteral("dismissed");
    case MomentStatus::Expired:
        return QStringLiteral("expired");
    }
    return {};
}

std::optional<MomentStatus> fromRawValue(QStringView raw) {
    for (const MomentStatus status : kByStrength) {
        if (rawValue(status) == raw)
            return status;
    }
    return std::nullopt;
}

MomentStatus strongest(MomentStatus a, MomentStatus b) {
    return strength(a) <= strength(b) ? a : b;
}

} // namespace pemmo::MomentStatuses
