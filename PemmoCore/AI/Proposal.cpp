#include "AI/Proposal.h"

#include <algorithm>

namespace pemmo {

void Proposal::setSelected(const QString& itemID, bool on) {
    const bool known = std::any_of(items.cbegin(), items.cend(),
                                   [&itemID](const ProposalItem& item) { return item.id() == itemID; });
    if (!known)
        return;
    if (on)
        selected.insert(itemID);
    else
        selected.remove(itemID);
}

QList<ProposalItem> Proposal::selectedItems() const {
    QList<ProposalItem> result;
    for (const ProposalItem& item : items) {
        if (selected.contains(item.id()))
            result.append(item);
    }
    return result;
}

} // namespace pemmo
