// A saved link on a person's card.
#pragma once

#include "Support/EnumTable.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

struct QuickLink {
    enum class Kind { Instagram, LinkedIn, X, Custom };

    QUuid id;
    Kind kind = Kind::Custom;
    QString title;
    QString url;

    bool operator==(const QuickLink&) const = default;
};

// The names the kinds are stored under.
inline constexpr auto quickLinkKindNames = enumTable<QuickLink::Kind>({
    {QuickLink::Kind::Instagram, "instagram"},
    {QuickLink::Kind::LinkedIn, "linkedin"},
    {QuickLink::Kind::X, "x"},
    {QuickLink::Kind::Custom, "custom"},
});

QString kindName(QuickLink::Kind kind);
std::optional<QuickLink::Kind> quickLinkKindFromName(QStringView name);

} // namespace pemmo
