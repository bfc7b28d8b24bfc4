// The cloud key in the desktop's keyring (GNOME Keyring, KWallet) through the freedesktop Secret
// Service, via libsecret. Items are found by their "service" and "account" attributes, so a key
// stored with `secret-tool store --label=Pemmo service com.dorvane.Pemmo.ai account anthropic`
// is found too. Calls block on D-Bus; it holds no state and may be used from any thread.
#pragma once

#include "Settings/SecretStore.h"

namespace pemmo {

class SecretServiceStore : public SecretStore {
public:
    explicit SecretServiceStore(QString service = serviceName());

    const QString& service() const { return m_service; }

    std::optional<QString> read(const QString& account) override;
    void write(const QString& value, const QString& account) override;
    void remove(const QString& account) override;

private:
    const QString m_service;
};

} // namespace pemmo
