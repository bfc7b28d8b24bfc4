#include "Lists/TagCatalog.h"

#include "Profiles/ProfileOrder.h"
#include "Records/PemmoError.h"
#include "Settings/KeyValueStore.h"
#include "Support/Hashing.h"

#include <QRandomGenerator>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace pemmo {

namespace {

struct DefaultCircle {
    const char* name;
    int colorIndex;
};

// Seeded in this order on the first start.
constexpr DefaultCircle kDefaultCircles[] = {
    {"Work", 0}, {"School", 1}, {"Family", 3}, {"Friends", 2}, {"Movie lover", 4},
};

std::optional<int> integerValue(const nlohmann::json& value) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned())
            return value.get<std::uint64_t>() <= std::uint64_t(INT_MAX)
                       ? std::optional<int>(static_cast<int>(value.get<std::uint64_t>()))
                       : std::nullopt;
        const std::int64_t v = value.get<std::int64_t>();
        if (v < INT_MIN || v > INT_MAX)
            return std::nullopt;
        return static_cast<int>(v);
    }
    return std::nullopt;
}

struct CatalogFile {
    QList<Tag> tags;
    bool hasSeededDefaults = false;
};

// Every key is required: a file missing one is not a catalogue at all.
std::optional<CatalogFile> decodeCatalog(const QByteArray& bytes) {
    const auto document =
        nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    const auto tags = document.find("tags");
    const auto seeded = document.find("hasSeededDefaults");
    if (tags == document.end() || !tags->is_array() || seeded == document.end() || !seeded->is_boolean())
        return std::nullopt;
    CatalogFile file;
    file.hasSeededDefaults = seeded->get<bool>();
    for (const auto& entry : *tags) {
        if (!entry.is_object())
            return std::nullopt;
        const auto id = entry.find("id");
        const auto name = entry.find("displayName");
        const auto color = entry.find("colorIndex");
        const auto isDefault = entry.find("isDefault");
        if (id == entry.end() || !id->is_string() || name == entry.end() || !name->is_string() ||
            color == entry.end() || isDefault == entry.end() || !isDefault->is_boolean())
            return std::nullopt;
        const std::optional<int> colorIndex = integerValue(*color);
        if (!colorIndex)
            return std::nullopt;
        file.tags.append(Tag{QString::fromStdString(id->get<std::string>()),
                             QString::fromStdString(name->get<std::string>()), *colorIndex,
                             isDefault->get<bool>()});
    }
    return file;
}

QByteArray encodeCatalog(const QList<Tag>& tags) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const Tag& tag : tags) {
        entries.push_back({{"id", tag.id.toStdString()},
                           {"displayName", tag.name.toStdString()},
                           {"colorIndex", tag.colorIndex},
                           {"isDefault", tag.isDefault}});
    }
    const nlohmann::ordered_json file = {{"tags", std::move(entries)}, {"hasSeededDefaults", true}};
    return QByteArray::fromStdString(file.dump());
}

} // namespace

int TagCatalog::uniformRandom(int count) {
    return static_cast<int>(QRandomGenerator::global()->bounded(count));
}

TagCatalog::TagCatalog(KeyValueStore& store, RandomIndex random, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_random(std::move(random)) {
    load();
}

std::optional<Tag> TagCatalog::tagWithID(const QString& id) const {
    for (const Tag& tag : m_tags) {
        if (tag.id == id)
            return tag;
    }
    return std::nullopt;
}

Tag TagCatalog::findOrCreate(const QString& name) {
    const QString cleaned = Tag::cleanedName(name);
    const QString id = Tag::normalizedID(cleaned);
    if (const auto existing = tagWithID(id))
        return *existing;
    const Tag tag{id, cleaned, chooseColor(id, m_tags, m_random), false};
    QList<Tag> tags = m_tags;
    tags.append(tag);
    publish(std::move(tags));
    persist();
    return tag;
}

void TagCatalog::registerIDs(const QSet<QString>& ids) {
    QStringList missing;
    for (const QString& id : ids) {
        if (!id.isEmpty() && !tagWithID(id))
            missing.append(id);
    }
    if (missing.isEmpty())
        return;
    std::sort(missing.begin(), missing.end());
    QList<Tag> tags = m_tags;
    for (const QString& id : std::as_const(missing)) {
        const int color = chooseColor(id, tags, m_random);
        tags.append(Tag{id, displayNameForID(id), color, false});
    }
    publish(std::move(tags));
    persist();
}

QString TagCatalog::rename(QString id, const QString& newName) {
    const auto found = std::find_if(m_tags.cbegin(), m_tags.cend(), [&](const Tag& t) { return t.id == id; });
    if (found == m_tags.cend())
        return id;
    const Tag old = *found;
    const QString cleaned = Tag::cleanedName(newName);
    const QString newID = Tag::normalizedID(cleaned);
    if (newID != id && tagWithID(newID))
        throw PemmoError::duplicateTag(cleaned);
    QList<Tag> tags;
    tags.reserve(m_tags.size());
    for (const Tag& tag : m_tags) {
        if (tag.id != id)
            tags.append(tag);
    }
    tags.append(Tag{newID, cleaned, old.colorIndex, old.isDefault});
    publish(std::move(tags));
    persist();
    return newID;
}

void TagCatalog::remove(QString id) {
    QList<Tag> tags = m_tags;
    if (tags.removeIf([&](const Tag& t) { return t.id == id; }) == 0)
        return;
    publish(std::move(tags));
    persist();
}

void TagCatalog::setColor(QString id, int colorIndex) {
    if (colorIndex < 0 || colorIndex >= Tag::paletteSize)
        return;
    QList<Tag> tags = m_tags;
    bool found = false;
    for (Tag& tag : tags) {
        if (tag.id == id) {
            tag.colorIndex = colorIndex;
            found = true;
        }
    }
    if (!found)
        return;
    publish(std::move(tags));
    persist();
}

QList<Tag> TagCatalog::suggestions(const QString& query, const QSet<QString>& excluding) const {
    const QString q = query.trimmed().toLower();
    QList<Tag> starting;
    QList<Tag> containing;
    for (const Tag& tag : m_tags) {
        if (excluding.contains(tag.id))
            continue;
        const QString name = tag.name.toLower();
        if (q.isEmpty() || name.startsWith(q))
            starting.append(tag);
        else if (name.contains(q))
            containing.append(tag);
    }
    return starting + containing;
}

int TagCatalog::chooseColor(const QString& id, const QList<Tag>& existing, const RandomIndex& random) {
    bool used[Tag::paletteSize] = {};
    for (const Tag& tag : existing) {
        if (tag.colorIndex >= 0 && tag.colorIndex < Tag::paletteSize)
            used[tag.colorIndex] = true;
    }
    QList<int> free;
    for (int slot = 0; slot < Tag::paletteSize; ++slot) {
        if (!used[slot])
            free.append(slot);
    }
    if (!free.isEmpty()) {
        const int pick = random(static_cast<int>(free.size()));
        // A random source that strays out of range must not pick a colour outside the palette.
        return free.at(std::clamp(pick, 0, static_cast<int>(free.size()) - 1));
    }
    const quint32 prefix = Hashing::fnv1a64Hex(id).left(8).toUInt(nullptr, 16);
    return static_cast<int>(prefix % Tag::paletteSize);
}

QString TagCatalog::displayNameForID(const QString& id) {
    QStringList words = Tag::cleanedName(id).split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words) {
        // The first character may be a surrogate pair; upper-case it as one code point.
        const qsizetype length = word.at(0).isHighSurrogate() && word.size() > 1 ? 2 : 1;
        word = word.left(length).toUpper() + word.mid(length);
    }
    return words.join(u' ');
}

void TagCatalog::load() {
    QList<Tag> tags;
    if (const std::optional<QByteArray> bytes = m_store.data(storageKey())) {
        if (std::optional<CatalogFile> file = decodeCatalog(*bytes)) {
            tags = std::move(file->tags);
            if (file->hasSeededDefaults) {
                sortTags(tags);
                m_tags = std::move(tags);
                return;
            }
        }
    }
    for (const DefaultCircle& circle : kDefaultCircles) {
        const QString name = QString::fromLatin1(circle.name);
        const QString id = Tag::normalizedID(name);
        if (std::none_of(tags.cbegin(), tags.cend(), [&](const Tag& t) { return t.id == id; }))
            tags.append(Tag{id, name, circle.colorIndex, true});
    }
    publish(std::move(tags));
    persist();
}

void TagCatalog::sortTags(QList<Tag>& tags) const {
    std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) {
        return ProfileOrder::compareNames(a.name, b.name) < 0;
    });
}

void TagCatalog::publish(QList<Tag> tags) {
    sortTags(tags);
    if (tags == m_tags)
        return;
    m_tags = std::move(tags);
    Q_EMIT tagsChanged();
}

void TagCatalog::persist() {
    QByteArray bytes;
    try {
        bytes = encodeCatalog(m_tags);
    } catch (const std::exception&) {
        return; // a name JSON cannot carry: the catalogue stays in memory only
    }
    m_store.set(StoredValue(std::move(bytes)), storageKey());
}

} // namespace pemmo
