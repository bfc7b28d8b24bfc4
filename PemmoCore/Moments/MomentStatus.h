// Where a Moment stands: offered, or what became of it.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace pemmo {

enum class MomentStatus { Pending, Saved, Dismissed, Expired };

namespace MomentStatuses {

// "pending", "saved", "dismissed", "expired".
QString rawValue(MomentStatus status);
std::optional<MomentStatus> fromRawValue(QStringView raw);
// Which of two decisions wins when one event carries both: saved, then dismissed, expired, pending.
MomentStatus strongest(MomentStatus a, MomentStatus b);

} // namespace MomentStatuses

} // namespace pemmo
