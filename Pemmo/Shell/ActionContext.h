// What the action panel was opened for: the search screen (with its query and the person selected
// there, if any) or one person's card.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

struct ActionContext {
    enum class Kind { Search, Profile };

    Kind kind = Kind::Search;
    std::optional<QString> query;
    // The selected person on the search screen; the card's person in the profile context.
    std::optional<QString> contactID;

    static ActionContext search(std::optional<QString> query, std::optional<QString> selectedContactID) {
        return {Kind::Search, std::move(query), std::move(selectedContactID)};
    }
    static ActionContext profile(const QString& contactID) {
        return {Kind::Profile, std::nullopt, contactID};
    }

    bool operator==(const ActionContext&) const = default;
};

} // namespace pemmo
