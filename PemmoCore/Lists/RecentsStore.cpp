#include "Lists/RecentsStore.h"

#include "Settings/KeyValueStore.h"

namespace pemmo {

RecentsStore::RecentsStore(KeyValueStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_ids(store.textList(storageKey()).value_or(QStringList())) {
    // A hand-edited file may repeat someone; the list never shows a person twice.
    m_ids.removeDuplicates();
}

void RecentsStore::record(const QString& id) {
    QStringList ids = m_ids;
    ids.removeAll(id);
    ids.prepend(id);
    if (ids.size() > capacity)
        ids.resize(capacity);
    setIDs(std::move(ids));
}

void RecentsStore::clear() {
    if (m_ids.isEmpty())
        return;
    setIDs({});
}

void RecentsStore::prune(const QSet<QString>& keeping) {
    QStringList ids = m_ids;
    if (ids.removeIf([&](const QString& id) { return !keeping.contains(id); }) == 0)
        return;
    setIDs(std::move(ids));
}

void RecentsStore::setIDs(QStringList ids) {
    m_store.set(StoredValue(ids), storageKey());
    if (ids == m_ids)
        return;
    m_ids = std::move(ids);
    Q_EMIT idsChanged();
}

} // namespace pemmo
