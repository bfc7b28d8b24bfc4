// Whether the AI can run right now, and if not, the reason the user is shown.
#pragma once

#include <QString>

namespace pemmo {

struct AIAvailability {
    bool isAvailable = false;
    QString reason; // empty when available

    static AIAvailability available() { return {true, {}}; }
    static AIAvailability unavailable(const QString& reason) { return {false, reason}; }

    bool operator==(const AIAvailability&) const = default;
};

} // namespace pemmo
