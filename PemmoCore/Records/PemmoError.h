// The core's one error type: every case carries the message the user sees.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace pemmo {

class PemmoError : public std::exception {
public:
    enum class Case {
        StarredLimitReached,
        CustomLinkLimitReached,
        InvalidURL,
        NotFound,
        DuplicateTag,
        AIUnavailable,
        AIOptedOut,
        AIResponseInvalid,
        Network,
        ContactsDenied,
        ContactsRestricted,
        TimedOut,
        StoreCorrupt,
        StoreReadOnly,
        InvalidBirthday,
        NewerFile,
    };

    static PemmoError starredLimitReached(int max) { return {Case::StarredLimitReached, max, {}}; }
    static PemmoError customLinkLimitReached(int max) { return {Case::CustomLinkLimitReached, max, {}}; }
    static PemmoError invalidURL(const QString& input) { return {Case::InvalidURL, 0, input}; }
    static PemmoError notFound(const QString& contactID) { return {Case::NotFound, 0, contactID}; }
    static PemmoError duplicateTag(const QString& name) { return {Case::DuplicateTag, 0, name}; }
    static PemmoError aiUnavailable(const QString& reason) { return {Case::AIUnavailable, 0, reason}; }
    static PemmoError aiOptedOut(const QString& name) { return {Case::AIOptedOut, 0, name}; }
    static PemmoError aiResponseInvalid(const QString& reason) {
        return {Case::AIResponseInvalid, 0, reason};
    }
    static PemmoError network(int status, const QString& message) { return {Case::Network, status, message}; }
    static PemmoError contactsDenied() { return {Case::ContactsDenied, 0, {}}; }
    static PemmoError contactsRestricted() { return {Case::ContactsRestricted, 0, {}}; }
    static PemmoError timedOut() { return {Case::TimedOut, 0, {}}; }
    static PemmoError storeCorrupt() { return {Case::StoreCorrupt, 0, {}}; }
    // The store keeps its file as it is and refuses every change; the reason is the message.
    static PemmoError storeReadOnly(const QString& reason) { return {Case::StoreReadOnly, 0, reason}; }
    // A birthday that is no calendar date (month 13, April 31, year 0); the payload shows it.
    static PemmoError invalidBirthday(const QString& input) { return {Case::InvalidBirthday, 0, input}; }
    // An export written by a newer Pemmo: taking it in would drop what this version cannot hold.
    static PemmoError newerFile() { return {Case::NewerFile, 0, {}}; }

    Case errorCase() const { return m_case; }
    // `max` of the limit cases, `status` of network.
    int number() const { return m_number; }
    // The text payload: the rejected input, the contact id, the name or the reason.
    const QString& text() const { return m_text; }

    QString message() const;
    const char* what() const noexcept override { return m_what.constData(); }

    bool operator==(const PemmoError& other) const {
        return m_case == other.m_case && m_number == other.m_number && m_text == other.m_text;
    }

private:
    PemmoError(Case c, int number, QString text);

    Case m_case;
    int m_number;
    QString m_text;
    QByteArray m_what;
};

} // namespace pemmo
