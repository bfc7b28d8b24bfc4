#include "Platform/SecretServiceStore.h"

#include "Settings/KeychainError.h"

#include <libsecret/secret.h>

namespace pemmo {

namespace {

const SecretSchema* schema() {
    // The schema name is not matched, so items made by other tools with these attributes count.
    static const SecretSchema instance = {"com.dorvane.Pemmo.Secret",
                                          SECRET_SCHEMA_DONT_MATCH_NAME,
                                          {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                           {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                           {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                          0,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr};
    return &instance;
}

// Throws the keyring's own description of `error`, which it frees.
[[noreturn]] void fail(GError* error) {
    const QString description = QString::fromUtf8(error->message);
    const int code = error->code;
    g_error_free(error);
    throw KeychainError(description, code);
}

} // namespace

SecretServiceStore::SecretServiceStore(QString service)
    : m_service(std::move(service)) {}

std::optional<QString> SecretServiceStore::read(const QString& account) {
    const QByteArray service = m_service.toUtf8();
    const QByteArray name = account.toUtf8();
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &error, "service", service.constData(),
                                                "account", name.constData(), nullptr);
    if (error)
        fail(error);
    if (!secret)
        return std::nullopt;
    const QString value = QString::fromUtf8(secret);
    secret_password_free(secret);
    return value;
}

void SecretServiceStore::write(const QString& value, const QString& account) {
    const QByteArray service = m_service.toUtf8();
    const QByteArray name = account.toUtf8();
    const QByteArray secret = value.toUtf8();
    const QByteArray label = QStringLiteral("Pemmo AI key (%1)").arg(account).toUtf8();
    GError* error = nullptr;
    // Stores a new item or replaces the one with the same attributes.
    const gboolean stored = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label.constData(), secret.constData(), nullptr, &error,
        "service", service.constData(), "account", name.constData(), nullptr);
    if (error)
        fail(error);
    if (!stored)
        throw KeychainError(QStringLiteral("The keyring did not store the secret."), 0);
}

void SecretServiceStore::remove(const QString& account) {
    const QByteArray service = m_service.toUtf8();
    const QByteArray name = account.toUtf8();
    GError* error = nullptr;
    // False without an error means there was nothing to delete, which is what the caller wanted.
    secret_password_clear_sync(schema(), nullptr, &error, "service", service.constData(), "account",
                               name.constData(), nullptr);
    if (error)
        fail(error);
}

} // namespace pemmo
