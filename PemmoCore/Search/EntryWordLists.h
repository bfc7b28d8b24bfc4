// The postings of a vocabulary the other way round: per entry, the (field, word) pairs it holds,
// for scoring a few people directly. Sorted by word and stored as differences of a few bytes each
// (two on average), since the postings already hold every pair once at full width.
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
    std::size_t byteCount() const { return m_bytes.size(); }

    // Calls visit(field, id) for every pair of `entry`, by ascending id.
    template <typename Visit> void forEach(std::size_t entry, Visit&& visit) const {
        const std::uint8_t* at = m_bytes.data() + m_start[entry];
        const std::uint8_t* const end = m_bytes.data() + m_start[entry + 1];
        std::uint32_t id = 0;
        while (at != end) {
            const std::uint32_t packed = next(at);
            id += packed >> fieldBits;
            visit(static_cast<SearchField>(packed & fieldMask), id);
        }
    }

private:
    static constexpr int fieldBits = 4;
    static constexpr std::uint32_t fieldMask = (1u << fieldBits) - 1;

    // One pair: the distance from the previous id above the field, seven bits a byte, low bits
    // first, the top bit set on every byte but the last.
    static std::uint32_t next(const std::uint8_t*& at) {
        std::uint32_t value = 0;
        for (int shift = 0;; shift += 7) {
            const std::uint8_t byte = *at++;
            value |= std::uint32_t(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0)
                return value;
        }
    }

    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint32_t> m_start{0}; // entryCount() + 1 offsets into m_bytes
};

} // namespace pemmo
