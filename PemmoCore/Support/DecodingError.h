// A failure to read a JSON document as the type it should hold, with where and why.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class DecodingError : public std::exception {
public:
    enum class Kind { DataCorrupted, KeyNotFound, TypeMismatch };

    DecodingError(Kind kind, QString codingPath, QString description)
        : m_kind(kind)
        , m_codingPath(std::move(codingPath))
        , m_description(std::move(description))
        , m_what((m_codingPath.isEmpty() ? m_description : m_codingPath + u": " + m_description).toUtf8()) {}

    Kind kind() const { return m_kind; }
    // Dotted path of the value that failed, e.g. "records.ABC.interactions.0.source.kind".
    const QString& codingPath() const { return m_codingPath; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_codingPath;
    QString m_description;
    QByteArray m_what;
};

} // namespace pemmo
