#include "Settings/InMemorySecretStore.h"

#include <QMutexLocker>

namespace pemmo {

std::optional<QString> InMemorySecretStore::read(const QString& account) {
    const QMutexLocker locker(&m_lock);
    const auto found = m_secrets.constFind(account);
    if (found == m_secrets.cend())
        return std::nullopt;
    return *found;
}

void InMemorySecretStore::write(const QString& value, const QString& account) {
    const QMutexLocker locker(&m_lock);
    m_secrets.insert(account, value);
}

void InMemorySecretStore::remove(const QString& account) {
    const QMutexLocker locker(&m_lock);
    m_secrets.remove(account);
}

} // namespace pemmo
