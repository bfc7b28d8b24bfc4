#include "Lists/StarredStore.h"

#include "Records/PemmoError.h"

namespace pemmo {

StarredStore::StarredStore(KeyValueStore& store, QObject* parent)
    : IDListStore(store, storageKey(), parent) {}

void StarredStore::toggle(const QString& id) {
    QStringList list = ids();
    if (list.contains(id)) {
        list.removeAll(id);
    } else {
        if (list.size() >= limit)
            throw PemmoError::starredLimitReached(limit);
        list.append(id);
    }
    setIDs(std::move(list));
}

} // namespace pemmo
