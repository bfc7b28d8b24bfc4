#include "Lists/StarredStore.h"

#include "Records/PemmoError.h"
#include "Settings/KeyValueStore.h"

namespace pemmo {

StarredStore::StarredStore(KeyValueStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_ids(store.textList(storageKey()).value_or(QStringList())) {
    // A hand-edited file may repeat someone; the list never shows a person twice.
    m_ids.removeDuplicates();
}

void StarredStore::toggle(const QString& id) {
    QStringList ids = m_ids;
    if (ids.contains(id)) {
        ids.removeAll(id);
    } else {
        if (ids.size() >= limit)
            throw PemmoError::starredLimitReached(limit);
        ids.append(id);
    }
    setIDs(std::move(ids));
}

void StarredStore::prune(const QSet<QString>& keeping) {
    QStringList ids = m_ids;
    if (ids.removeIf([&](const QString& id) { return !keeping.contains(id); }) == 0)
        return;
    setIDs(std::move(ids));
}

void StarredStore::setIDs(QStringList ids) {
    m_store.set(StoredValue(ids), storageKey());
    if (ids == m_ids)
        return;
    m_ids = std::move(ids);
    Q_EMIT idsChanged();
}

} // namespace pemmo
