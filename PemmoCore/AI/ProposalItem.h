// One small, independent change a model proposes for a record, shown to the user as one checkable
// line. Its identifier depends only on what it changes, so a proposal never holds two items with the
// same identifier and a selection survives edits of the list.
#pragma once

#include "Records/Interaction.h"
#include "Records/QuickLink.h"
#include "Records/WritableField.h"

#include <QString>
#include <optional>
#include <variant>

namespace pemmo {

struct ProposalItem {
    struct SetField {
        WritableField field = WritableField::Company;
        std::optional<QString> oldValue;
        QString newValue;
        bool operator==(const SetField&) const = default;
    };
    struct AddTag {
        QString name; // the circle, normalised
        bool operator==(const AddTag&) const = default;
    };
    struct RemoveTag {
        QString name;
        bool operator==(const RemoveTag&) const = default;
    };
    struct AddLink {
        QuickLink link;
        bool operator==(const AddLink&) const = default;
    };
    struct AddInteraction {
        Interaction interaction;
        bool operator==(const AddInteraction&) const = default;
    };
    struct AppendAbout {
        QString text;
        bool operator==(const AppendAbout&) const = default;
    };

    std::variant<SetField, AddTag, RemoveTag, AddLink, AddInteraction, AppendAbout> change;

    static ProposalItem setField(WritableField field, std::optional<QString> oldValue, QString newValue) {
        return {SetField{field, std::move(oldValue), std::move(newValue)}};
    }
    static ProposalItem addTag(QString name) { return {AddTag{std::move(name)}}; }
    static ProposalItem removeTag(QString name) { return {RemoveTag{std::move(name)}}; }
    static ProposalItem addLink(QuickLink link) { return {AddLink{std::move(link)}}; }
    static ProposalItem addInteraction(Interaction interaction) {
        return {AddInteraction{std::move(interaction)}};
    }
    static ProposalItem appendAbout(QString text) { return {AppendAbout{std::move(text)}}; }

    // "field:company", "tag+friends", "tag-friends", "link:<address>", "interaction:<UUID>", "about".
    QString id() const;
    // The line the review shows: "Company", "Add to circle «friends»", "Add link: LinkedIn", …
    QString title() const;

    template <class T> const T* as() const { return std::get_if<T>(&change); }

    bool operator==(const ProposalItem&) const = default;
};

// "Company", "Job title", … in WritableField order.
QString fieldLabel(WritableField field);

} // namespace pemmo
