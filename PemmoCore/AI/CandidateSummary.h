// One person as Ask shows them to the model: an id to answer with, a name and one line of facts.
#pragma once

#include <QString>

namespace pemmo {

struct CandidateSummary {
    QString id; // the contact identifier
    QString name;
    QString line;

    bool operator==(const CandidateSummary&) const = default;
};

} // namespace pemmo
