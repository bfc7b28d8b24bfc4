#include "Settings/InMemoryKeyValueStore.h"

#include <QMutexLocker>
#include <algorithm>

namespace pemmo {

std::optional<StoredValue> InMemoryKeyValueStore::object(const QString& key) const {
    const QMutexLocker locker(&m_lock);
    const auto found = m_values.constFind(key);
    if (found == m_values.cend())
        return std::nullopt;
    return *found;
}

void InMemoryKeyValueStore::set(std::optional<StoredValue> value, const QString& key) {
    const QMutexLocker locker(&m_lock);
    ++m_writeCount;
    if (value)
        m_values.insert(key, std::move(*value));
    else
        m_values.remove(key);
}

int InMemoryKeyValueStore::writeCount() const {
    const QMutexLocker locker(&m_lock);
    return m_writeCount;
}

QStringList InMemoryKeyValueStore::keys() const {
    const QMutexLocker locker(&m_lock);
    QStringList keys = m_values.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace pemmo
