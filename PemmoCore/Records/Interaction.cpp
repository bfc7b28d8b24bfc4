#include "Records/Interaction.h"

#include <array>

namespace pemmo {
namespace {

constexpr std::array kKindNames{u"note", u"met", u"message", u"call", u"email", u"other"};

} // namespace

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
    return QString::fromUtf16(kKindNames[static_cast<std::size_t>(kind)]);
}

std::optional<Interaction::Kind> interactionKindFromName(QStringView name) {
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (name == QStringView(kKindNames[i]))
            return static_cast<Interaction::Kind>(i);
    }
    return std::nullopt;
}

QString sourceKindName(Interaction::Source::Kind kind) {
    switch (kind) {
    case Interaction::Source::Kind::AI:
        return QStringLiteral("ai");
    case Interaction::Source::Kind::User:
        return QStringLiteral("user");
    case Interaction::Source::Kind::Auto:
        return QStringLiteral("auto");
    }
    return {};
}

} // namespace pemmo
