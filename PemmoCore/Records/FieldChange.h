// One entry of a record's change log: which field changed, from what, to what, and by whom.
#pragma once

#include "Records/Interaction.h"

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

struct FieldChange {
    QUuid id;
    QDateTime date;
    QString field;
    std::optional<QString> oldValue; // "old"
    std::optional<QString> newValue; // "new"
    Interaction::Source source;

    bool operator==(const FieldChange&) const = default;
};

} // namespace pemmo
