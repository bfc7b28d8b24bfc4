// One answer of Ask: a person from the list that was asked about, and the reason shown beside them.
#pragma once

#include "Records/Profile.h"

#include <QString>

namespace pemmo {

struct RankedProfile {
    Profile profile;
    QString reason;

    bool operator==(const RankedProfile&) const = default;
};

} // namespace pemmo
