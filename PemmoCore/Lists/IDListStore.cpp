#include "Lists/IDListStore.h"

#include "Settings/KeyValueStore.h"

namespace pemmo {

IDListStore::IDListStore(KeyValueStore& store, QString key, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_key(std::move(key))
    , m_ids(store.textList(m_key).value_or(QStringList())) {
    // A hand-edited file may repeat someone; the list never shows a person twice.
    m_ids.removeDuplicates();
}

void IDListStore::prune(const QSet<QString>& keeping) {
    QStringList ids = m_ids;
    if (ids.removeIf([&](const QString& id) { return !keeping.contains(id); }) == 0)
        return;
    replaceIDs(std::move(ids));
}

void IDListStore::replaceIDs(QStringList ids) {
    setIDs(std::move(ids));
}

void IDListStore::setIDs(QStringList ids) {
    m_store.set(StoredValue(ids), m_key);
    if (ids == m_ids)
        return;
    m_ids = std::move(ids);
    Q_EMIT idsChanged();
}

} // namespace pemmo
