#include "Records/PemmoError.h"

namespace pemmo {

PemmoError::PemmoError(Case c, int number, QString text)
    : m_case(c)
    , m_number(number)
    , m_text(std::move(text)) {
    m_what = message().toUtf8();
}

QString PemmoError::message() const {
    switch (m_case) {
    case Case::StarredLimitReached:
        return QStringLiteral("You can star up to ") + QString::number(m_number) +
               QStringLiteral(" contacts.");
    case Case::CustomLinkLimitReached:
        return QStringLiteral("You can add up to ") + QString::number(m_number) +
               QStringLiteral(" custom links.");
    case Case::InvalidURL:
        return QStringLiteral("Enter a valid web address.");
    case Case::NotFound:
        return QStringLiteral("That contact no longer exists.");
    case Case::DuplicateTag:
        return u"A circle named \u201C"_qs + m_text + u"\u201D already exists."_qs;
    case Case::AIUnavailable:
    case Case::AIResponseInvalid:
    case Case::Network:
    case Case::StoreReadOnly:
        return m_text;
    case Case::AIOptedOut:
        return u"\u201C"_qs + m_text + u"\u201D is kept off cloud AI."_qs;
    case Case::ContactsDenied:
        return QStringLiteral("Contacts access is off. Check the address book folders in Pemmo's settings.");
    case Case::ContactsRestricted:
        return QStringLiteral("Contacts access is restricted on this computer.");
    case Case::TimedOut:
        return QStringLiteral("Contacts took too long to respond.");
    case Case::StoreCorrupt:
        return QStringLiteral("Pemmo's data file couldn't be read.");
    case Case::InvalidBirthday:
        return QStringLiteral("Enter a real date for the birthday.");
    case Case::NewerFile:
        return QStringLiteral("This file was written by a newer Pemmo; update Pemmo to import it.");
    }
    return {};
}

} // namespace pemmo
