#include "Search/TokenVocabulary.h"

#include "Search/TextFolding.h"

#include <algorithm>
#include <numeric>

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

std::uint64_t TokenVocabulary::pairSignature(std::u32string_view word) {
    std::uint64_t bits = 0;
    for (std::size_t i = 1; i < word.size(); ++i)
        bits |= std::uint64_t(1) << ((word[i - 1] * 31u + word[i]) % 61u);
    return bits;
}

std::u32string TokenVocabulary::word(std::uint32_t id) const {
    if (!isNarrow())
        return std::u32string(wideWord(id));
    const std::u16string_view narrow = narrowWord(id);
    return std::u32string(narrow.begin(), narrow.end());
}

std::uint32_t TokenVocabulary::firstWithLength(std::size_t length) const {
    std::uint32_t low = 0;
    auto high = static_cast<std::uint32_t>(size());
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (this->length(middle) < length)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

namespace {

std::uint64_t hashOf(std::u32string_view word) {
    std::uint64_t h = 0xcbf29ce484222325ull; // FNV-1a over the code points
    for (const char32_t c : word) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h ^ (h >> 29);
}

} // namespace

namespace {

constexpr std::uint64_t upperHalf = 0xFFFFFFFF00000000ull;

} // namespace

void TokenVocabulary::Builder::reserve(std::size_t words, std::size_t postings) {
    std::size_t slots = 1024;
    while (slots < words * 2)
        slots *= 2;
    if (slots > m_slots.size()) {
        m_hashes.reserve(words);
        m_offsets.reserve(words);
        m_lengths.reserve(words);
        m_characters.reserve(words * 8);
        std::vector<std::uint64_t>(slots / 2, 0).swap(m_slots); // grow() doubles it
        grow();
    }
    m_postings.reserve(postings);
}

void TokenVocabulary::Builder::grow() {
    std::vector<std::uint64_t> slots(std::max<std::size_t>(1024, m_slots.size() * 2), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t id = 0; id < m_lengths.size(); ++id) {
        std::size_t i = m_hashes[id] & mask;
        while (slots[i] != 0)
            i = (i + 1) & mask;
        slots[i] = (m_hashes[id] & upperHalf) | (id + 1);
    }
    m_slots = std::move(slots);
}

template <typename Equal>
std::size_t TokenVocabulary::Builder::find(std::uint64_t hash, Equal&& equal) const {
    const std::uint64_t check = hash & upperHalf;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (const std::uint64_t slot = m_slots[i]) {
        if ((slot & upperHalf) == check && equal(stored(static_cast<std::uint32_t>(slot) - 1)))
            return i;
        i = (i + 1) & mask;
    }
    return i;
}

std::uint32_t TokenVocabulary::Builder::add(std::size_t slot, std::uint64_t hash) {
    const auto id = static_cast<std::uint32_t>(m_lengths.size());
    m_slots[slot] = (hash & upperHalf) | (id + 1);
    m_hashes.push_back(hash);
    m_offsets.push_back(static_cast<std::uint32_t>(m_characters.size()));
    return id;
}

std::uint32_t TokenVocabulary::Builder::intern(std::u32string_view word) {
    if (m_lengths.size() * 2 >= m_slots.size())
        grow();
    const std::uint64_t hash = hashOf(word);
    const std::size_t slot = find(hash, [word](std::u32string_view known) { return known == word; });
    if (m_slots[slot] != 0)
        return static_cast<std::uint32_t>(m_slots[slot]) - 1;
    const std::uint32_t id = add(slot, hash);
    m_lengths.push_back(static_cast<std::uint32_t>(word.size()));
    m_characters.insert(m_characters.end(), word.begin(), word.end());
    return id;
}

std::uint32_t TokenVocabulary::Builder::intern(QStringView word) {
    if (m_lengths.size() * 2 >= m_slots.size())
        grow();
    // The same FNV-1a as over the code points, counting them on the way.
    const auto codePoint = [word](qsizetype& i) {
        char32_t c = word[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < word.size() && word[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(word[i], word[i + 1]);
            ++i;
        }
        ++i;
        return c;
    };
    std::uint64_t h = 0xcbf29ce484222325ull;
    std::size_t length = 0;
    for (qsizetype i = 0; i < word.size(); ++length) {
        h ^= codePoint(i);
        h *= 0x100000001b3ull;
    }
    const std::uint64_t hash = h ^ (h >> 29);
    const std::size_t slot = find(hash, [&](std::u32string_view known) {
        if (known.size() != length)
            return false;
        qsizetype i = 0;
        for (const char32_t c : known) {
            if (codePoint(i) != c)
                return false;
        }
        return true;
    });
    if (m_slots[slot] != 0)
        return static_cast<std::uint32_t>(m_slots[slot]) - 1;
    const std::uint32_t id = add(slot, hash);
    m_lengths.push_back(static_cast<std::uint32_t>(length));
    for (qsizetype i = 0; i < word.size();)
        m_characters.push_back(codePoint(i));
    return id;
}

void TokenVocabulary::Builder::post(std::uint32_t id, std::uint32_t entry, SearchField field) {
    m_postings.emplace_back(id, posting(entry, field));
}

TokenVocabulary TokenVocabulary::Builder::build(std::vector<std::uint32_t>* renumberedOut) {
    TokenVocabulary v;
    const std::size_t count = m_lengths.size();
    // Number the words shortest first, so that a keystroke can skip every word too short to
    // hold its term.
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return m_lengths[a] < m_lengths[b]; });
    std::vector<std::uint32_t> renumbered(count);
    const bool narrow =
        std::all_of(m_characters.begin(), m_characters.end(), [](char32_t c) { return c <= 0xFFFF; });
    if (narrow)
        v.m_narrow.reserve(m_characters.size());
    else
        v.m_wide.reserve(m_characters.size());
    v.m_offsets.reserve(count + 1);
    v.m_signatures.reserve(count);
    v.m_pairSignatures.reserve(count);
    for (std::uint32_t id = 0; id < count; ++id) {
        const std::uint32_t old = order[id];
        renumbered[old] = id;
        const std::u32string_view word(m_characters.data() + m_offsets[old], m_lengths[old]);
        if (narrow)
            v.m_narrow.insert(v.m_narrow.end(), word.begin(), word.end());
        else
            v.m_wide.insert(v.m_wide.end(), word.begin(), word.end());
        v.m_offsets.push_back(v.m_offsets.back() + static_cast<std::uint32_t>(word.size()));
        v.m_signatures.push_back(signature(word));
        v.m_pairSignatures.push_back(pairSignature(word));
    }
    // Counting sort by word keeps each word's postings in the order they came: by entry.
    v.m_postingStart.assign(count + 1, 0);
    for (const auto& [id, p] : m_postings)
        ++v.m_postingStart[renumbered[id] + 1];
    for (std::size_t i = 0; i < count; ++i)
        v.m_postingStart[i + 1] += v.m_postingStart[i];
    v.m_postings.resize(m_postings.size());
    std::vector<std::uint32_t> next(v.m_postingStart.begin(), v.m_postingStart.end() - 1);
    for (const auto& [id, p] : m_postings)
        v.m_postings[next[renumbered[id]]++] = p;
    if (renumberedOut)
        *renumberedOut = std::move(renumbered);
    m_slots.clear();
    m_hashes.clear();
    m_postings.clear();
    m_characters.clear();
    m_offsets.clear();
    m_lengths.clear();
    return v;
}

} // namespace pemmo
