// The distinct words of an index, each stored once with the people and fields it occurs in, so that
// a keystroke compares the query with every distinct word once instead of every word of every
// person.
#pragma once

#include "Search/SearchField.h"

#include <QStringView>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pemmo {

class TokenVocabulary {
public:
    // One occurrence: entry index and field, packed as entry << 4 | field.
    using Posting = std::uint32_t;

    static constexpr Posting posting(std::uint32_t entry, SearchField field) {
        return entry << 4 | static_cast<std::uint32_t>(field);
    }
    static constexpr std::uint32_t entryOf(Posting p) { return p >> 4; }
    static constexpr int fieldOf(Posting p) { return static_cast<int>(p & 0xF); }

    // A 64-bit set of the characters in a word: a word cannot contain a term whose set has a bit
    // the word's lacks. Lets a keystroke skip most words with one AND.
    static std::uint64_t signature(std::u32string_view word);
    // The same for pairs of neighbouring characters: a word that contains a term has all of the
    // term's pairs.
    static std::uint64_t pairSignature(std::u32string_view word);

    class Builder {
    public:
        // Room for about `words` distinct words and `postings` postings, so that neither the table
        // nor the lists are grown by copying while the words come in.
        void reserve(std::size_t words, std::size_t postings);
        // The id of `word`, adding it on first sight.
        std::uint32_t intern(std::u32string_view word);
        // The same for a word in UTF-16 (a surrogate pair is one character), without converting
        // it first: the same id as for its code points.
        std::uint32_t intern(QStringView word);
        // Records that word `id` occurs in `field` of `entry`. Call in ascending entry order and at
        // most once per (word, entry, field).
        void post(std::uint32_t id, std::uint32_t entry, SearchField field);
        // `renumbered`, when given, receives the final id of every id intern() handed out.
        TokenVocabulary build(std::vector<std::uint32_t>* renumbered = nullptr);

    private:
        std::u32string_view stored(std::uint32_t id) const {
            return {m_characters.data() + m_offsets[id], m_lengths[id]};
        }
        void grow();
        // The slot where `word` (of `hash`) is, or the free slot where it would go.
        template <typename Equal> std::size_t find(std::uint64_t hash, Equal&& equal) const;
        std::uint32_t add(std::size_t slot, std::uint64_t hash);

        // Open addressing over the ids, keyed by the words' hashes: a slot holds the upper half of
        // its word's hash above id + 1 (0 is a free slot), so a probe compares hashes without
        // looking anywhere else.
        std::vector<std::uint64_t> m_slots;
        std::vector<std::uint64_t> m_hashes;
        std::vector<char32_t> m_characters;
        std::vector<std::uint32_t> m_offsets;
        std::vector<std::uint32_t> m_lengths;
        std::vector<std::pair<std::uint32_t, Posting>> m_postings;
    };

    std::size_t size() const { return m_offsets.size() - 1; }
    // The code points of a word.
    std::u32string word(std::uint32_t id) const;
    // In characters.
    std::size_t length(std::uint32_t id) const { return m_offsets[id + 1] - m_offsets[id]; }
    // Most vocabularies have no character beyond 16 bits: they keep each character in two bytes,
    // and a word is a view of 16-bit code points; else of 32-bit ones. Either way one element is
    // one character.
    bool isNarrow() const { return m_wide.empty(); }
    std::u16string_view narrowWord(std::uint32_t id) const {
        return {m_narrow.data() + m_offsets[id], length(id)};
    }
    std::u32string_view wideWord(std::uint32_t id) const {
        return {m_wide.data() + m_offsets[id], length(id)};
    }
    std::span<const std::uint64_t> signatures() const { return m_signatures; }
    std::span<const std::uint64_t> pairSignatures() const { return m_pairSignatures; }
    // Words are numbered shortest first: the first id whose word has at least `length`
    // characters.
    std::uint32_t firstWithLength(std::size_t length) const;
    std::span<const Posting> postings(std::uint32_t id) const {
        return std::span<const Posting>(m_postings)
            .subspan(m_postingStart[id], m_postingStart[id + 1] - m_postingStart[id]);
    }
    std::size_t postingCount() const { return m_postings.size(); }

private:
    std::vector<char16_t> m_narrow; // the characters of all words, when none is beyond 16 bits
    std::vector<char32_t> m_wide;   // else
    // Word id's characters start at m_offsets[id] and end where the next word's start: size() + 1.
    std::vector<std::uint32_t> m_offsets{0};
    std::vector<std::uint64_t> m_signatures;
    std::vector<std::uint64_t> m_pairSignatures;
    std::vector<std::uint32_t> m_postingStart; // size() + 1 offsets into m_postings
    std::vector<Posting> m_postings;
};

} // namespace pemmo
