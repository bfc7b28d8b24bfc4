// The rules for a contact's saved links: one link per site, at most five custom ones, and the digit
// keys that open them from the card. Pure functions of their arguments.
#pragma once

#include "Records/QuickLink.h"

#include <QList>
#include <QUuid>
#include <optional>

namespace pemmo::QuickLinkPolicy {

constexpr int customLinkLimit = 5;
constexpr int highestDigit = 9;

// A site link replaces the first link of its kind in place (or is appended); a custom link is
// appended. Throws PemmoError::customLinkLimitReached at the sixth custom link.
QList<QuickLink> upsert(const QuickLink& link, const QList<QuickLink>& links);
// `link` in place of the link with its id, keeping its position; a site link pushes out the other
// links of its site. A link whose id is not among `links` is added as upsert adds it. Throws
// PemmoError::customLinkLimitReached when a site link turned custom would be the sixth.
QList<QuickLink> replace(const QuickLink& link, const QList<QuickLink>& links);
// The digit (1 to 9) that opens the link: its place among the X and custom links, in card order.
std::optional<int> digitShortcut(const QUuid& linkID, const QList<QuickLink>& links);
// The link that `digit` opens, if any.
std::optional<QuickLink> linkForDigit(int digit, const QList<QuickLink>& links);

} // namespace pemmo::QuickLinkPolicy
