// Everything search needs from the current profiles, built once when they (or the lists) change
// and shared by every keystroke until then. Copies share one immutable body.
#pragma once

#include "Records/Profile.h"
#include "Search/IndexEntry.h"
#include "Search/TokenVocabulary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace pemmo {

class SearchIndex {
public:
    // Below this many people the index is built on one thread.
    static constexpr std::size_t parallelThreshold = 2000;

    // An index of nobody.
    SearchIndex();
    // One entry per profile, in the order given.
    explicit SearchIndex(const QList<Profile>& profiles);

    const std::vector<IndexEntry>& entries() const { return m_data->entries; }
    std::size_t size() const { return m_data->entries.size(); }
    bool isEmpty() const { return m_data->entries.empty(); }
    const IndexEntry& entry(std::size_t i) const { return m_data->entries[i]; }
    // Where the person with that id sits in entries().
    std::optional<std::uint32_t> position(const QString& id) const;

    // Every distinct token of every field, with where it occurs.
    const TokenVocabulary& words() const { return m_data->words; }
    // The names run together (nameJoined), posted under the name field.
    const TokenVocabulary& joinedNames() const { return m_data->joinedNames; }
    // Per field of two or more tokens, the first characters of its tokens in order: a term is an
    // acronym of the field when it occurs in that string.
    const TokenVocabulary& initials() const { return m_data->initials; }
    // Position of each entry when all are sorted by name as a reader expects, then by id: equal
    // ranks never occur, so ranking by it is the name-then-id tie-break.
    std::uint32_t nameRank(std::size_t i) const { return m_data->nameRank[i]; }
    // The same occurrences the other way round, for scoring a few people directly: per entry, its
    // (field, word) pairs, (field, initials) pairs and joined name, packed as field << 28 | id.
    static constexpr std::uint32_t idMask = (1u << 28) - 1;
    static constexpr std::uint32_t noWord = ~0u;
    std::span<const std::uint32_t> wordsOf(std::size_t i) const {
        return std::span<const std::uint32_t>(m_data->entryWords)
            .subspan(m_data->entryWordStart[i], m_data->entryWordStart[i + 1] - m_data->entryWordStart[i]);
    }
    std::span<const std::uint32_t> initialsOf(std::size_t i) const {
        return std::span<const std::uint32_t>(m_data->entryInitials)
            .subspan(m_data->entryInitialStart[i],
                     m_data->entryInitialStart[i + 1] - m_data->entryInitialStart[i]);
    }
    std::uint32_t joinedNameOf(std::size_t i) const { return m_data->entryJoined[i]; }

    // The entries in a circle, ascending; empty for an unknown circle.
    const std::vector<std::uint32_t>& members(const QString& tagID) const;

private:
    struct Data {
        std::vector<IndexEntry> entries;
        QHash<QString, std::uint32_t> positions;
        TokenVocabulary words;
        TokenVocabulary joinedNames;
        TokenVocabulary initials;
        std::vector<std::uint32_t> nameRank;
        std::vector<std::uint32_t> entryWords;
        std::vector<std::uint32_t> entryWordStart{0};
        std::vector<std::uint32_t> entryInitials;
        std::vector<std::uint32_t> entryInitialStart{0};
        std::vector<std::uint32_t> entryJoined;
        QHash<QString, std::vector<std::uint32_t>> members;
    };

    std::shared_ptr<const Data> m_data;
};

} // namespace pemmo
