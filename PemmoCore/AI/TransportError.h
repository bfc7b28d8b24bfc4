// A request that got no HTTP answer at all, with the network layer's description of why.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class TransportError : public std::exception {
public:
    enum class Kind { ConnectionRefused, TimedOut, Other };

    TransportError(Kind kind, QString description)
        : m_kind(kind)
        , m_description(std::move(description))
        , m_what(m_description.toUtf8()) {}

    Kind kind() const { return m_kind; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_description;
    QByteArray m_what;
};

} // namespace pemmo
