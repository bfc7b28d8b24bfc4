// Secrets held in memory: the in-memory environments and tests. Never fails; safe from any thread.
#pragma once

#include "Settings/SecretStore.h"

#include <QHash>
#include <QMutex>

namespace pemmo {

class InMemorySecretStore : public SecretStore {
public:
    std::optional<QString> read(const QString& account) override;
    void write(const QString& value, const QString& account) override;
    void remove(const QString& account) override;

private:
    QMutex m_lock;
    QHash<QString, QString> m_secrets;
};

} // namespace pemmo
