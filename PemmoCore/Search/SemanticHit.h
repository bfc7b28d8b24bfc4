// A person the embedding index finds close in meaning to a query.
#pragma once

#include <QString>

namespace pemmo {

struct SemanticHit {
    QString id;
    double similarity = 0.0; // cosine similarity

    bool operator==(const SemanticHit&) const = default;
};

} // namespace pemmo
