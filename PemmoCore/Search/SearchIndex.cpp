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
    const std::size_t count = static_cast<std::size_t>(profiles.size());
    // Folding every field of every person is most of the work, and people are independent: a
    // second thread takes the later half, and the name sort keys, while this one does the first.
    std::vector<std::string> keys(count);
    const auto sortKeys = [&keys, &profiles] {
        for (std::size_t i = 0; i < keys.size(); ++i)
            keys[i] = ProfileOrder::sortKey(profiles[static_cast<qsizetype>(i)].person->displayName());
    };
    data->entries.resize(count);
    const auto makeEntries = [&data, &profiles](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            data->entries[i] = IndexEntry::make(profiles[static_cast<qsizetype>(i)]);
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
    const auto makeTables = [&data, &keys, count] {
        data->positions.reserve(static_cast<qsizetype>(count));
        for (std::uint32_t e = 0; e < count; ++e) {
            const IndexEntry& entry = data->entries[e];
            data->positions.insert(entry.id, e);
            for (const QString& tag : entry.tagIDs)
                data->members[tag].push_back(e);
        }
        std::vector<std::uint32_t> order(count);
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if (const int byName = keys[a].compare(keys[b]); byName != 0)
                return byName < 0;
            if (data->entries[a].id != data->entries[b].id)
                return data->entries[a].id < data->entries[b].id;
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
    data->entryWordStart.reserve(count + 1);
    data->entryInitialStart.reserve(count + 1);
    data->entryJoined.reserve(count);
    // About 45 words and a few initials per person: grown by doubling, the lists would be copied
    // over and over and fault in fresh pages each time.
    data->entryWords.reserve(count * 48);
    data->entryInitials.reserve(count * 4);
    // Ten thousand generated people hold some 33,000 distinct words and 3 initials strings each.
    words.reserve(count * 4, count * 48);
    initials.reserve(count * 4, count * 4);
    joined.reserve(count, count);
    for (std::uint32_t e = 0; e < count; ++e) {
        const IndexEntry& entry = data->entries[e];
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
            const auto packedField = static_cast<std::uint32_t>(field) << 28;
            for (const std::uint32_t id : ids) {
                words.post(id, e, field);
                data->entryWords.push_back(packedField | id);
            }
            if (spans.size() >= 2) {
                const std::uint32_t id = initials.intern(firstCharacters);
                initials.post(id, e, field);
                data->entryInitials.push_back(packedField | id);
            }
        }
        data->entryWordStart.push_back(static_cast<std::uint32_t>(data->entryWords.size()));
        data->entryInitialStart.push_back(static_cast<std::uint32_t>(data->entryInitials.size()));
        if (entry.nameJoined) {
            TextFolding::toUtf32(*entry.nameJoined, token);
            const std::uint32_t id = joined.intern(token);
            joined.post(id, e, SearchField::Name);
            data->entryJoined.push_back(id);
        } else {
            data->entryJoined.push_back(noWord);
        }
    }
    // The vocabularies renumber their words; the per-entry lists follow.
    std::vector<std::uint32_t> renumbered;
    const auto follow = [&renumbered](std::vector<std::uint32_t>& packed) {
        for (std::uint32_t& p : packed)
            p = (p & ~idMask) | renumbered[p & idMask];
    };
    data->words = words.build(&renumbered);
    follow(data->entryWords);
    data->joinedNames = joined.build(&renumbered);
    for (std::uint32_t& id : data->entryJoined) {
        if (id != noWord)
            id = renumbered[id];
    }
    data->initials = initials.build(&renumbered);
    follow(data->entryInitials);

    if (tables)
        tables->join();
    m_data = std::move(data);
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
