#include "Links/QuickLinkPolicy.h"

#include "Records/PemmoError.h"

#include <algorithm>

namespace pemmo::QuickLinkPolicy {
namespace {

bool hasDigit(const QuickLink& link) {
    return link.kind == QuickLink::Kind::X || link.kind == QuickLink::Kind::Custom;
}

} // namespace

QList<QuickLink> upsert(const QuickLink& link, const QList<QuickLink>& links) {
    QList<QuickLink> result = links;
    if (link.kind == QuickLink::Kind::Custom) {
        const auto custom = std::count_if(links.cbegin(), links.cend(), [](const QuickLink& l) {
            return l.kind == QuickLink::Kind::Custom;
        });
        if (custom >= customLinkLimit)
            throw PemmoError::customLinkLimitReached(customLinkLimit);
        result.append(link);
        return result;
    }
    const auto same =
        std::find_if(result.begin(), result.end(), [&](const QuickLink& l) { return l.kind == link.kind; });
    if (same != result.end())
        *same = link;
    else
        result.append(link);
    return result;
}

QList<QuickLink> replace(const QuickLink& link, const QList<QuickLink>& links) {
    QList<QuickLink> result = links;
    const auto at =
        std::find_if(result.begin(), result.end(), [&](const QuickLink& l) { return l.id == link.id; });
    if (at == result.end())
        return upsert(link, links);
    const bool wasCustom = at->kind == QuickLink::Kind::Custom;
    qsizetype position = at - result.begin();
    result.erase(at);
    if (link.kind != QuickLink::Kind::Custom) {
        for (qsizetype i = result.size() - 1; i >= 0; --i) {
            if (result[i].kind == link.kind) {
                result.removeAt(i);
                if (i < position)
                    --position;
            }
        }
    } else if (!wasCustom) {
        const auto custom = std::count_if(result.cbegin(), result.cend(), [](const QuickLink& l) {
            return l.kind == QuickLink::Kind::Custom;
        });
        if (custom >= customLinkLimit)
            throw PemmoError::customLinkLimitReached(customLinkLimit);
    }
    result.insert(std::min(position, result.size()), link);
    return result;
}

std::optional<int> digitShortcut(const QUuid& linkID, const QList<QuickLink>& links) {
    int position = 0;
    for (const QuickLink& link : links) {
        if (!hasDigit(link))
            continue;
        ++position;
        if (link.id == linkID)
            return position <= highestDigit ? std::optional<int>(position) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QuickLink> linkForDigit(int digit, const QList<QuickLink>& links) {
    if (digit < 1 || digit > highestDigit)
        return std::nullopt;
    int position = 0;
    for (const QuickLink& link : links) {
        if (hasDigit(link) && ++position == digit)
            return link;
    }
    return std::nullopt;
}

} // namespace pemmo::QuickLinkPolicy
