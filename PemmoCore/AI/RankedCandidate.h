// One entry of a model's ranking: the candidate's id as it was sent, and why it matches.
#pragma once

#include <QString>

namespace pemmo {

struct RankedCandidate {
    QString id;
    QString reason;

    bool operator==(const RankedCandidate&) const = default;
};

} // namespace pemmo
