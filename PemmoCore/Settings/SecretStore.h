// The one secret Pemmo keeps, the user's cloud-AI key, behind an interface so the core never needs
// a keyring: the desktop's Secret Service in the application, memory in tests and practice runs.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

class SecretStore {
public:
    // The keyring service every Pemmo secret is filed under, and the account of the cloud key.
    static QString serviceName() { return QStringLiteral("com.dorvane.Pemmo.ai"); }
    static QString cloudKeyAccount() { return QStringLiteral("anthropic"); }

    virtual ~SecretStore() = default;

    // The secret stored for `account`; absent when there is none. Throws KeychainError.
    virtual std::optional<QString> read(const QString& account) = 0;
    // Stores `value` for `account`, replacing what was there. Throws KeychainError.
    virtual void write(const QString& value, const QString& account) = 0;
    // Deletes the secret of `account`; deleting one that is not there succeeds. Throws KeychainError.
    virtual void remove(const QString& account) = 0;
};

} // namespace pemmo
