// A calendar that could not be read, described for the log; the Moment service shows its own text.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class CalendarError : public std::exception {
public:
    explicit CalendarError(QString description)
        : m_description(std::move(description))
        , m_what(m_description.toUtf8()) {}

    static CalendarError unreadable() {
        return CalendarError(QStringLiteral("The calendar could not be read."));
    }
    static CalendarError timedOut() {
        return CalendarError(QStringLiteral("The calendar took too long to read."));
    }

    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

} // namespace pemmo
