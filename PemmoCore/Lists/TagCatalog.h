// The catalogue of circles: names and colours of the identifiers records carry, seeded with five
// default circles on the first start and kept in the preferences as "pemmo.tags.catalog.v1".
// GUI thread only; every change is written at once.
#pragma once

#include "Lists/Tag.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace pemmo {

class KeyValueStore;

class TagCatalog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<pemmo::Tag> tags READ tags NOTIFY tagsChanged)

public:
    static QString storageKey() { return QStringLiteral("pemmo.tags.catalog.v1"); }

    // Maps a count n ≥ 1 to an index in 0..n-1; uniformly random unless a test fixes it.
    using RandomIndex = std::function<int(int)>;
    static int uniformRandom(int count);

    // Loads the catalogue, seeding the default circles when it was never seeded. The store is not
    // owned and must outlive the catalogue.
    explicit TagCatalog(KeyValueStore& store, RandomIndex random = &uniformRandom, QObject* parent = nullptr);

    // Sorted by name as a file browser sorts names.
    const QList<Tag>& tags() const { return m_tags; }

    // The tag whose id is exactly `id`.
    std::optional<Tag> tagWithID(const QString& id) const;
    // The tag the cleaned `name` normalises to, created with a free colour when there is none yet.
    // An existing tag is returned as it is (its name is not updated).
    Tag findOrCreate(const QString& name);
    // Makes sure every non-empty id has a catalogue entry; names new ones from the id.
    void registerIDs(const QSet<QString>& ids);
    // Renames the tag and returns its id afterwards (unchanged when only case or spacing changed).
    // Throws PemmoError::duplicateTag when the new name belongs to another circle. Records are
    // not touched: callers move them through the sync engine.
    QString rename(QString id, const QString& newName);
    // Ids are taken by value: callers often pass one of the catalogue's own tags.
    void remove(QString id);
    // Ignored for an unknown id or an index outside 0..9.
    void setColor(QString id, int colorIndex);
    // Tags not excluded whose name starts with the query, then those containing it elsewhere.
    QList<Tag> suggestions(const QString& query, const QSet<QString>& excluding = {}) const;

    // The colour a new circle `id` gets next to `existing`: a free slot picked by `random`, or
    // once all ten are taken, one derived from the id so it is the same on every run.
    static int chooseColor(const QString& id, const QList<Tag>& existing, const RandomIndex& random);
    // "movie lover" gives "Movie Lover".
    static QString displayNameForID(const QString& id);

Q_SIGNALS:
    void tagsChanged();

private:
    void load();
    void sortTags(QList<Tag>& tags) const;
    void publish(QList<Tag> tags);
    void persist();

    KeyValueStore& m_store;
    RandomIndex m_random;
    QList<Tag> m_tags;
};

} // namespace pemmo
