// A failed file-system operation, described the way the system described it.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class FileError : public std::exception {
public:
    explicit FileError(QString description)
        : m_description(std::move(description))
        , m_what(m_description.toUtf8()) {}

    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

} // namespace pemmo
