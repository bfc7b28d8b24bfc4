#include "Search/EntryWordLists.h"

namespace pemmo {

EntryWordLists::EntryWordLists(const TokenVocabulary& vocabulary, std::size_t entryCount)
    : m_start(entryCount + 1, 0) {
    // Two passes over the postings by ascending id: one sizes every entry's list, the other
    // writes it. An entry's postings arrive by ascending id, so each pair follows the one before.
    std::vector<std::uint32_t> last(entryCount, 0);
    const auto count = static_cast<std::uint32_t>(vocabulary.size());
    for (std::uint32_t id = 0; id < count; ++id) {
        for (const TokenVocabulary::Posting p : vocabulary.postings(id)) {
            const std::uint32_t entry = TokenVocabulary::entryOf(p);
            m_start[entry + 1] += id - last[entry] >= far ? 3 : 1;
            last[entry] = id;
        }
    }
    for (std::size_t e = 0; e < entryCount; ++e)
        m_start[e + 1] += m_start[e];
    m_units.resize(m_start[entryCount]);
    std::vector<std::uint32_t> write(m_start.begin(), m_start.end() - 1);
    std::fill(last.begin(), last.end(), 0);
    for (std::uint32_t id = 0; id < count; ++id) {
        for (const TokenVocabulary::Posting p : vocabulary.postings(id)) {
            const std::uint32_t entry = TokenVocabulary::entryOf(p);
            const auto field = static_cast<std::uint32_t>(TokenVocabulary::fieldOf(p));
            std::uint32_t& at = write[entry];
            if (const std::uint32_t distance = id - last[entry]; distance >= far) {
                m_units[at++] = static_cast<std::uint16_t>(far << fieldBits | field);
                m_units[at++] = static_cast<std::uint16_t>(id & 0xFFFF);
                m_units[at++] = static_cast<std::uint16_t>(id >> 16);
            } else {
                m_units[at++] = static_cast<std::uint16_t>(distance << fieldBits | field);
            }
            last[entry] = id;
        }
    }
}

} // namespace pemmo
