#include "Search/SearchIndex.h"

#include "Profiles/ProfileOrder.h"
#include "Search/TextFolding.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <thread>

namespace pemmo {

SearchIndex::SearchIndex()
    : m_data(std::make_shared<const Data>()) {}

SearchIndex::SearchIndex(const QList<Profile>& profiles) {
    auto data = std::make_shared<Data>();
    data->profiles = profiles;
    const std::size_t count = static_cast<std::size_t>(profiles.size());
    // Folding every field of every person is most of the work, and people are independent: a
    // second thread takes the later half, and the name sort keys, while this one does the first.
    // The entries themselves live only while the index is built: what a keystroke needs of them
    // is in the vocabularies, and the few it shows are made again from their people.
    std::vector<std::string> keys(count);
    const auto sortKeys = [&keys, &profiles] {
        for (std::size_t i = 0; i < keys.size(); ++i)
            keys[i] = ProfileOrder::sortKey(profiles[static_cast<qsizetype>(i)].person->displayName());
    };
    std::vector<IndexEntry> entries(count);
    const auto makeEntries = [&entries, &profiles](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            entries[i] = IndexEntry::make(profiles[static_cast<qsizetype>(i)]);
    };
    if (count >= parallelThreshold) {
        const std::size_t half = count / 2;
        std::thread helper([&] {
            makeEntries(half, count);
            sortKeys();
        });
        makeEntries(0, half);
        helper.join();
    } else {
        makeEntries(0, count);
        sortKeys();
    }

    // The lookup tables by id and circle and the name ranks need only the entries and the keys:
    // another thread makes them while this one gathers the words.
    const auto makeTables = [&data, &entries, &keys, count] {
        const QList<Profile>& people = data->profiles;
        data->positions.reserve(static_cast<qsizetype>(count));
        for (std::uint32_t e = 0; e < count; ++e) {
            data->positions.insert(people[e].id(), e);
            for (const QString& tag : entries[e].tagIDs) {
                std::vector<std::uint32_t>& members = data->members[tag];
                if (members.empty() || members.back() != e)
                    members.push_back(e);
            }
        }
        for (std::vector<std::uint32_t>& members : data->members)
            members.shrink_to_fit();
        std::vector<std::uint32_t> order(count);
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if (const int byName = keys[a].compare(keys[b]); byName != 0)
                return byName < 0;
            if (people[a].id() != people[b].id())
                return people[a].id() < people[b].id();
            return a < b;
        });
        data->nameRank.resize(count);
        for (std::uint32_t r = 0; r < count; ++r)
            data->nameRank[order[r]] = r;
    };
    std::optional<std::thread> tables;
    if (count >= parallelThreshold)
        tables.emplace(makeTables);
    else
        makeTables();

    TokenVocabulary::Builder words;
    TokenVocabulary::Builder joined;
    TokenVocabulary::Builder initials;
    std::vector<std::uint32_t> ids;
    std::u32string token;
    std::u32string firstCharacters;
    // Ten thousand generated people hold some 33,000 distinct words, 45 postings and 3 initials
    // strings each: grown by doubling, the lists would be copied over and over.
    words.reserve(count * 4, count * 48);
    initials.reserve(count * 4, count * 4);
    joined.reserve(count, count);
    for (std::uint32_t e = 0; e < count; ++e) {
        const IndexEntry& entry = entries[e];
        for (const SearchField field : SearchFields::all) {
            const auto spans = entry.spansOf(field);
            if (spans.empty())
                continue;
            const QStringView text = entry.textOf(field);
            ids.clear();
            firstCharacters.clear();
            for (const TextFolding::TokenSpan& span : spans) {
                const QStringView word = text.sliced(span.start, span.length);
                ids.push_back(words.intern(word));
                firstCharacters.push_back(word.size() >= 2 && word[0].isHighSurrogate() &&
                                                  word[1].isLowSurrogate()
                                              ? QChar::surrogateToUcs4(word[0], word[1])
                                              : char32_t(word[0].unicode()));
            }
            std::sort(ids.begin(), ids.end());
            ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
            for (const std::uint32_t id : ids)
                words.post(id, e, field);
            if (spans.size() >= 2)
                initials.post(initials.intern(firstCharacters), e, field);
        }
        if (entry.nameJoined) {
            TextFolding::toUtf32(*entry.nameJoined, token);
            joined.post(joined.intern(token), e, SearchField::Name);
        }
    }
    data->words = words.build();
    data->joinedNames = joined.build();
    data->initials = initials.build();
    // The per-entry lists are the postings turned round.
    data->wordsByEntry = EntryWordLists(data->words, count);
    data->initialsByEntry = EntryWordLists(data->initials, count);
    data->entryJoined.assign(count, noWord);
    for (std::uint32_t id = 0; id < data->joinedNames.size(); ++id) {
        for (const TokenVocabulary::Posting p : data->joinedNames.postings(id))
            data->entryJoined[TokenVocabulary::entryOf(p)] = id;
    }

    if (tables)
        tables->join();
    m_data = std::move(data);
}

QString SearchIndex::displayName(std::size_t i) const {
    return profile(i).person->displayName();
}

std::optional<std::uint32_t> SearchIndex::position(const QString& id) const {
    const auto found = m_data->positions.constFind(id);
    if (found == m_data->positions.cend())
        return std::nullopt;
    return *found;
}

const std::vector<std::uint32_t>& SearchIndex::members(const QString& tagID) const {
    static const std::vector<std::uint32_t> none;
    const auto found = m_data->members.constFind(tagID);
    return found == m_data->members.cend() ? none : *found;
}

} // namespace pemmo
