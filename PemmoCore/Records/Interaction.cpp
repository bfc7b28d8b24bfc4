#include "Records/Interaction.h"

namespace pemmo {

QStringList Interaction::eventHashes() const {
    QStringList hashes;
    if (calendarEventHash)
        hashes.append(*calendarEventHash);
    if (calendarEventAliases) {
        for (const QString& alias : *calendarEventAliases) {
            if (!hashes.contains(alias))
                hashes.append(alias);
        }
    }
    return hashes;
}

QString kindName(Interaction::Kind kind) {
    return interactionKindNames.name(kind);
}

std::optional<Interaction::Kind> interactionKindFromName(QStringView name) {
    return interactionKindNames.find(name);
}

QString sourceKindName(Interaction::Source::Kind kind) {
    return sourceKindNames.name(kind);
}

} // namespace pemmo
