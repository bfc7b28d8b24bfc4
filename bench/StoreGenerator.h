// Builds stores of synthetic but lifelike records for the benchmarks: the same seed always gives
// the same records, so runs on different days measure the same bytes.
#pragma once

#include "SeededRandom.h"
#include "Store/StoreFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <cstdint>
#include <iterator>
#include <random>

namespace pemmo::bench {

class StoreGenerator {
public:
    static constexpr std::uint64_t defaultSeed = 0x5eed'cafe'2026;

    // Every date lies in the two years before `now`; the default is a fixed instant.
    explicit StoreGenerator(std::uint64_t seed = defaultSeed, QDateTime now = defaultNow());

    static QDateTime defaultNow();

    // `count` records under distinct contact ids. Each call continues the same random sequence;
    // a new generator with the same seed starts it again.
    RecordMap generate(int count);

    QString contactId();
    PemmoRecord record();

private:
    bool chance(double probability) { return m_random.chance(probability); }
    int between(int low, int high) { return m_random.between(low, high); } // both ends included
    template <class Items> const auto& pick(const Items& items) {
        return items[static_cast<std::size_t>(between(0, static_cast<int>(std::size(items)) - 1))];
    }
    template <class Items> QString pickText(const Items& items) { return QString::fromUtf8(pick(items)); }

    QUuid uuid() { return m_random.uuid(); }
    QString hexDigits(int count);
    QDateTime dateWithin(std::int64_t maxSecondsAgo);
    QString personName();
    QString sentence();
    QString about();
    Details details();
    Interaction interaction();
    FieldChange change(const PemmoRecord& record);
    QuickLink link();
    BriefingCache briefing();
    Interaction::Source source();

    SeededRandom m_random;
    QDateTime m_now;
};

} // namespace pemmo::bench
