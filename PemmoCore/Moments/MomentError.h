// The failures of Moments the user is told about, each with its message.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class MomentError : public std::exception {
public:
    enum class Case { Unavailable, Empty, Busy };

    static MomentError unavailable() { return MomentError(Case::Unavailable); }
    static MomentError empty() { return MomentError(Case::Empty); }
    static MomentError busy() { return MomentError(Case::Busy); }

    Case errorCase() const { return m_case; }
    QString message() const;
    const char* what() const noexcept override { return m_what.constData(); }

    bool operator==(const MomentError& other) const { return m_case == other.m_case; }

private:
    explicit MomentError(Case c);

    Case m_case;
    QByteArray m_what;
};

} // namespace pemmo
