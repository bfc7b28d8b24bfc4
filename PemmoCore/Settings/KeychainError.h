// A failure of the keyring, with the keyring's own description of it.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class KeychainError : public std::exception {
public:
    // What the settings pane says when saving the key fails.
    static QString saveFailedMessage() {
        return QStringLiteral("That key could not be saved to the keyring.");
    }

    KeychainError(QString description, int code)
        : m_description(std::move(description))
        , m_code(code)
        , m_what(m_description.toUtf8()) {}

    const QString& description() const { return m_description; }
    // The platform's error code (a GLib error code on Linux).
    int code() const { return m_code; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    int m_code;
    QByteArray m_what;
};

} // namespace pemmo
