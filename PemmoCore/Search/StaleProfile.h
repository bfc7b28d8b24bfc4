// Someone the user is overdue to get in touch with, and by how much.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

struct StaleProfile {
    QString id;
    std::optional<int> daysSince; // absent: never in touch
    int expectedDays = 0;         // the cadence of the person's closest circle
    double ratio = 0.0;           // daysSince / expectedDays; 2.0 when never in touch

    bool operator==(const StaleProfile&) const = default;
};

} // namespace pemmo
