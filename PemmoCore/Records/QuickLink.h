// A saved link on a person's card.
#pragma once

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

QString kindName(QuickLink::Kind kind);
std::optional<QuickLink::Kind> quickLinkKindFromName(QStringView name);

} // namespace pemmo
