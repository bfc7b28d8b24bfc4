// What the model is told about one person: a small, flat summary of the profile.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo {

struct PersonContext {
    QString name;
    std::optional<QString> role;
    std::optional<QString> company;
    std::optional<QString> school;
    std::optional<QString> howWeMet;
    std::optional<QString> mutuals;
    std::optional<QString> cities;
    std::optional<QString> birthday;
    std::optional<QString> lastContacted;
    QStringList tags;
    std::optional<QString> about;
    QStringList recentInteractions;

    bool operator==(const PersonContext&) const = default;
};

} // namespace pemmo
