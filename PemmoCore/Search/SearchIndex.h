// Everything search needs from the current profiles, built once when they (or the lists) change
// and shared by every keystroke until then. Copies share one immutable body.
#pragma once

#include "Records/Profile.h"
#include "Search/EntryWordLists.h"
#include "Search/IndexEntry.h"
#include "Search/TokenVocabulary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace pemmo {

class SearchIndex {
public:
    // Below this many people the index is built on one thread.
    static constexpr std::size_t parallelThreshold = 2000;

    // An index of nobody.
    SearchIndex();
    // One entry per profile, in the order given. The index keeps the list (a shared copy) for the
    // people's ids and names, and nothing else of each person but the ids of their words.
    explicit SearchIndex(const QList<Profile>& profiles);

    std::size_t size() const { return static_cast<std::size_t>(m_data->profiles.size()); }
    bool isEmpty() const { return m_data->profiles.isEmpty(); }
    const Profile& profile(std::size_t i) const { return m_data->profiles[static_cast<qsizetype>(i)]; }
    const QString& id(std::size_t i) const { return profile(i).id(); }
    QString displayName(std::size_t i) const;
    // Where the person with that id sits; the last of them when ids repeat.
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
    // (field, word) and (field, initials) pairs and its joined name.
    const EntryWordLists& wordsByEntry() const { return m_data->wordsByEntry; }
    const EntryWordLists& initialsByEntry() const { return m_data->initialsByEntry; }
    static constexpr std::uint32_t noWord = ~0u;
    std::uint32_t joinedNameOf(std::size_t i) const { return m_data->entryJoined[i]; }

    // The entries in a circle, ascending; empty for an unknown circle.
    const std::vector<std::uint32_t>& members(const QString& tagID) const;

private:
    struct Data {
        QList<Profile> profiles;
        QHash<QString, std::uint32_t> positions;
        TokenVocabulary words;
        TokenVocabulary joinedNames;
        TokenVocabulary initials;
        std::vector<std::uint32_t> nameRank;
        EntryWordLists wordsByEntry;
        EntryWordLists initialsByEntry;
        std::vector<std::uint32_t> entryJoined;
        QHash<QString, std::vector<std::uint32_t>> members;
    };

    std::shared_ptr<const Data> m_data;
};

} // namespace pemmo
