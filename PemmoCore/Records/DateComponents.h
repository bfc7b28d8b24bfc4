// Calendar date components of a birthday: the year may be unknown.
#pragma once

#include <QHashFunctions>
#include <optional>

namespace pemmo {

struct DateComponents {
    std::optional<int> year;
    int month = 1;
    int day = 1;

    bool operator==(const DateComponents&) const = default;
};

inline size_t qHash(const DateComponents& d, size_t seed = 0) {
    return qHashMulti(seed, d.year.value_or(-1), d.month, d.day);
}

} // namespace pemmo
