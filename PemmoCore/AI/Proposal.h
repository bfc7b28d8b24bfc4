// What a model proposes for one person, as the review screen shows it: a headline, the items, and
// which of them the user has left checked. Nothing in it is saved until the user applies it.
#pragma once

#include "AI/ProposalItem.h"
#include "Records/Interaction.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

struct Proposal {
    QUuid id;
    std::optional<QString> personID; // absent while a captured note names nobody the user chose
    Interaction::Source source;      // the model, as the AI source of every change
    bool leftDevice = false;
    QString summary;
    QList<ProposalItem> items;
    QSet<QString> selected; // item ids; all of them at first

    bool isEmpty() const { return items.isEmpty(); }
    bool isSelected(const QString& itemID) const { return selected.contains(itemID); }
    // Checks or unchecks one item; an id that is not an item's changes nothing.
    void setSelected(const QString& itemID, bool on);
    // The checked items, in list order.
    QList<ProposalItem> selectedItems() const;

    bool operator==(const Proposal&) const = default;
};

} // namespace pemmo
