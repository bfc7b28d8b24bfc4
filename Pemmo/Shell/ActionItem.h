// One command of the action panel as it is shown: a stable id, its title, a symbol, the key glyph
// that runs it from its screen, and whether it destroys something.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

struct ActionItem {
    QString id;
    QString title;
    std::optional<QString> subtitle;
    // A symbol name ("star", "square.and.pencil"); the panel draws its own glyph for it.
    QString systemImage;
    std::optional<QString> shortcut;
    bool destructive = false;

    bool operator==(const ActionItem&) const = default;
};

} // namespace pemmo
