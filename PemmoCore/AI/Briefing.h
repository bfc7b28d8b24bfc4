// A model's briefing about a person: who they are to the user, and a way to open the next talk.
#pragma once

#include <QString>

namespace pemmo {

struct Briefing {
    QString summary;
    QString opener;

    bool operator==(const Briefing&) const = default;
};

} // namespace pemmo
