#include "Search/TokenVocabulary.h"

#include "Search/TextFolding.h"

namespace pemmo {

std::uint64_t TokenVocabulary::signature(std::u32string_view word) {
    std::uint64_t bits = 0;
    for (const char32_t c : word) {
        int bit;
        if (c >= U'a' && c <= U'z')
            bit = static_cast<int>(c - U'a');
        else if (c >= U'0' && c <= U'9')
            bit = 26 + static_cast<int>(c - U'0');
        else
            bit = 36 + static_cast<int>(c % 28);
        bits |= std::uint64_t(1) << bit;
    }
    return bits;
}

std::uint32_t TokenVocabulary::Builder::intern(QStringView word) {
    if (const auto found = m_ids.constFind(word); found != m_ids.cend())
        return *found;
    return intern(word, TextFolding::toUtf32(word));
}

std::uint32_t TokenVocabulary::Builder::intern(QStringView word, std::u32string_view characters) {
    if (const auto found = m_ids.constFind(word); found != m_ids.cend())
        return *found;
    const auto id = static_cast<std::uint32_t>(m_lengths.size());
    m_ids.insert(word, id);
    m_offsets.push_back(static_cast<std::uint32_t>(m_characters.size()));
    m_lengths.push_back(static_cast<std::uint32_t>(characters.size()));
    m_characters.insert(m_characters.end(), characters.begin(), characters.end());
    m_signatures.push_back(signature(characters));
    return id;
}

void TokenVocabulary::Builder::post(std::uint32_t id, std::uint32_t entry, SearchField field) {
    m_postings.emplace_back(id, posting(entry, field));
}

TokenVocabulary TokenVocabulary::Builder::build() {
    TokenVocabulary v;
    const std::size_t count = m_lengths.size();
    // Counting sort by word keeps each word's postings in the order they came: by entry.
    v.m_postingStart.assign(count + 1, 0);
    for (const auto& [id, p] : m_postings)
        ++v.m_postingStart[id + 1];
    for (std::size_t i = 0; i < count; ++i)
        v.m_postingStart[i + 1] += v.m_postingStart[i];
    v.m_postings.resize(m_postings.size());
    std::vector<std::uint32_t> next(v.m_postingStart.begin(), v.m_postingStart.end() - 1);
    for (const auto& [id, p] : m_postings)
        v.m_postings[next[id]++] = p;
    v.m_characters = std::move(m_characters);
    v.m_offsets = std::move(m_offsets);
    v.m_lengths = std::move(m_lengths);
    v.m_signatures = std::move(m_signatures);
    m_ids.clear();
    m_postings.clear();
    return v;
}

} // namespace pemmo
