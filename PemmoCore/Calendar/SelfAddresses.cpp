#include "Calendar/SelfAddresses.h"

#include "Moments/MomentMatcher.h"

#include <QHash>

namespace pemmo::SelfAddresses {

QStringList infer(const QList<QSet<QString>>& events, const QStringList& hints) {
    QList<QSet<QString>> shared;
    for (const QSet<QString>& event : events) {
        if (event.size() >= 2)
            shared.append(event);
    }

    QStringList found;
    for (const QString& hint : hints) {
        const QString address = MomentMatcher::normalizedEmail(hint);
        if (!address.contains(u'@') || address.contains(u' ') || found.contains(address))
            continue;
        const bool takesPart =
            std::any_of(events.cbegin(), events.cend(),
                        [&address](const QSet<QString>& event) { return event.contains(address); });
        if (takesPart)
            found.append(address);
    }

    const auto covered = [&found](const QSet<QString>& event) {
        return std::any_of(found.cbegin(), found.cend(),
                           [&event](const QString& a) { return event.contains(a); });
    };
    while (true) {
        QHash<QString, int> counts;
        int uncovered = 0;
        for (const QSet<QString>& event : std::as_const(shared)) {
            if (covered(event))
                continue;
            ++uncovered;
            for (const QString& address : event)
                ++counts[address];
        }
        QString best;
        int bestCount = 0;
        int runnerUp = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > bestCount || (it.value() == bestCount && it.key() < best)) {
                runnerUp = std::max(runnerUp, bestCount);
                best = it.key();
                bestCount = it.value();
            } else {
                runnerUp = std::max(runnerUp, it.value());
            }
        }
        if (bestCount < 2 || bestCount * 2 < uncovered || runnerUp >= bestCount)
            break;
        found.append(best);
    }
    return found;
}

} // namespace pemmo::SelfAddresses
