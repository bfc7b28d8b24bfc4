// The postings of a vocabulary the other way round: per entry, the (field, word) pairs it holds,
// for scoring a few people directly. Sorted by word, a pair is the distance from the entry's
// previous word and the field in 16 bits (the postings already hold every pair at full width).
#pragma once

#include "Search/TokenVocabulary.h"

#include <cstdint>
#include <vector>

namespace pemmo {

class EntryWordLists {
public:
    // No entries.
    EntryWordLists() = default;
    // The pairs of every posting of `vocabulary`, for entries 0 up to `entryCount`.
    EntryWordLists(const TokenVocabulary& vocabulary, std::size_t entryCount);

    std::size_t entryCount() const { return m_start.size() - 1; }
    std::size_t unitCount() const { return m_units.size(); }

    // Calls visit(field, id) for every pair of `entry`, by ascending id.
    template <typename Visit> void forEach(std::size_t entry, Visit&& visit) const {
        const std::uint16_t* at = m_units.data() + m_start[entry];
        const std::uint16_t* const end = m_units.data() + m_start[entry + 1];
        std::uint32_t id = 0;
        while (at != end) {
            const std::uint16_t unit = *at++;
            const std::uint32_t distance = unit >> fieldBits;
            if (distance == far) {
                id = std::uint32_t(at[0]) | std::uint32_t(at[1]) << 16;
                at += 2;
            } else {
                id += distance;
            }
            visit(static_cast<SearchField>(unit & fieldMask), id);
        }
    }

private:
    static constexpr int fieldBits = 4;
    static constexpr std::uint16_t fieldMask = (1u << fieldBits) - 1;
    // A distance this large or larger is written as this value, and the id follows in two units,
    // low half first. Ten thousand people's words are a few hundred ids apart within one person.
    static constexpr std::uint32_t far = (1u << (16 - fieldBits)) - 1;

    std::vector<std::uint16_t> m_units;
    std::vector<std::uint32_t> m_start{0}; // entryCount() + 1 offsets into m_units
};

} // namespace pemmo
