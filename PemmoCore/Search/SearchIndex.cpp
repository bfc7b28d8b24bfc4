#include "Search/SearchIndex.h"

#include "Profiles/ProfileOrder.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace pemmo {
namespace {

char32_t firstCharacter(QStringView token) {
    const char32_t c = token[0].unicode();
    if (QChar::isHighSurrogate(c) && token.size() > 1 && token[1].isLowSurrogate())
        return QChar::surrogateToUcs4(token[0], token[1]);
    return c;
}

} // namespace

SearchIndex::SearchIndex()
    : m_data(std::make_shared<const Data>()) {}

SearchIndex::SearchIndex(const QList<Profile>& profiles) {
    auto data = std::make_shared<Data>();
    const std::size_t count = static_cast<std::size_t>(profiles.size());
    data->entries.reserve(count);
    for (const Profile& profile : profiles)
        data->entries.push_back(IndexEntry::make(profile));

    TokenVocabulary::Builder words;
    TokenVocabulary::Builder joined;
    TokenVocabulary::Builder initials;
    // The initials strings must live as long as the builder that keys on them.
    std::vector<QString> initialTexts;
    initialTexts.reserve(count * 4);
    std::vector<std::uint32_t> ids;
    std::u32string firstCharacters;
    QString initialText;
    data->positions.reserve(static_cast<qsizetype>(count));
    for (std::uint32_t e = 0; e < count; ++e) {
        const IndexEntry& entry = data->entries[e];
        data->positions.insert(entry.id, e);
        for (const QString& tag : entry.tagIDs)
            data->members[tag].push_back(e);
        for (const SearchField field : SearchFields::all) {
            const auto& spans = entry.spansOf(field);
            if (spans.isEmpty())
                continue;
            ids.clear();
            firstCharacters.clear();
            initialText.clear();
            for (qsizetype i = 0; i < spans.size(); ++i) {
                const QStringView token = entry.token(field, i);
                ids.push_back(words.intern(token));
                const char32_t first = firstCharacter(token);
                firstCharacters.push_back(first);
                initialText.append(QChar::fromUcs4(first));
            }
            std::sort(ids.begin(), ids.end());
            ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
            for (const std::uint32_t id : ids)
                words.post(id, e, field);
            if (spans.size() >= 2) {
                initialTexts.push_back(initialText);
                initials.post(initials.intern(initialTexts.back(), firstCharacters), e, field);
            }
        }
        if (entry.nameJoined)
            joined.post(joined.intern(*entry.nameJoined), e, SearchField::Name);
    }
    data->words = words.build();
    data->joinedNames = joined.build();
    data->initials = initials.build();

    std::vector<std::string> keys;
    keys.reserve(count);
    for (const IndexEntry& entry : data->entries)
        keys.push_back(ProfileOrder::sortKey(entry.fullName));
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
