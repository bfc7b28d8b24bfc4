// A source of "now", injected wherever code stamps or compares the current time.
#pragma once

#include <QDateTime>
#include <functional>

namespace pemmo {

using Clock = std::function<QDateTime()>;

// The system time in UTC, truncated to whole seconds: the precision our files keep, so that a
// value stamped now survives a write and a read unchanged.
QDateTime systemNow();

inline Clock systemClock() {
    return &systemNow;
}

} // namespace pemmo
