#include "Search/EntryWordLists.h"

#include <QtGlobal>

namespace pemmo {
namespace {

std::size_t encodedSize(std::uint32_t value) {
    std::size_t size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

} // namespace

EntryWordLists::EntryWordLists(const TokenVocabulary& vocabulary, std::size_t entryCount)
    : m_start(entryCount + 1, 0) {
    // Two passes over the postings by ascending id: one sizes every entry's list, the other
    // writes it. An entry's postings arrive by ascending id, so each pair follows the one before.
    std::vector<std::uint32_t> last(entryCount, 0);
    const auto pack = [&last](std::uint32_t id, TokenVocabulary::Posting p) {
        const std::uint32_t entry = TokenVocabulary::entryOf(p);
        Q_ASSERT(id >= last[entry] && id - last[entry] < (1u << (32 - fieldBits)));
        const std::uint32_t packed =
            (id - last[entry]) << fieldBits | std::uint32_t(TokenVocabulary::fieldOf(p));
        last[entry] = id;
        return packed;
    };
    const auto count = static_cast<std::uint32_t>(vocabulary.size());
    for (std::uint32_t id = 0; id < count; ++id) {
        for (const TokenVocabulary::Posting p : vocabulary.postings(id))
            m_start[TokenVocabulary::entryOf(p) + 1] += static_cast<std::uint32_t>(encodedSize(pack(id, p)));
    }
    for (std::size_t e = 0; e < entryCount; ++e)
        m_start[e + 1] += m_start[e];
    m_bytes.resize(m_start[entryCount]);
    std::vector<std::uint32_t> write(m_start.begin(), m_start.end() - 1);
    std::fill(last.begin(), last.end(), 0);
    for (std::uint32_t id = 0; id < count; ++id) {
        for (const TokenVocabulary::Posting p : vocabulary.postings(id)) {
            std::uint32_t& at = write[TokenVocabulary::entryOf(p)];
            std::uint32_t value = pack(id, p);
            while (value >= 0x80) {
                m_bytes[at++] = static_cast<std::uint8_t>(value | 0x80);
                value >>= 7;
            }
            m_bytes[at++] = static_cast<std::uint8_t>(value);
        }
    }
}

} // namespace pemmo
