// Preferences held in memory only: the in-memory environments (the onboarding practice among them)
// and the tests. Safe to use from any thread.
#pragma once

#include "Settings/KeyValueStore.h"

#include <QHash>
#include <QMutex>

namespace pemmo {

class InMemoryKeyValueStore : public KeyValueStore {
public:
    InMemoryKeyValueStore() = default;

    std::optional<StoredValue> object(const QString& key) const override;
    void set(std::optional<StoredValue> value, const QString& key) override;

    // How many times `set` was called, for tests that count writes.
    int writeCount() const;
    QStringList keys() const;

private:
    mutable QMutex m_lock;
    QHash<QString, StoredValue> m_values;
    int m_writeCount = 0;
};

} // namespace pemmo
