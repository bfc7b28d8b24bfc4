// Small vCards and iCalendar events as address-book and calendar programs write them.
#pragma once

#include <QDateTime>
#include <QString>

namespace pemmo::test {

inline QByteArray vcard(const QString& uid, const QString& given, const QString& family,
                        const QString& email) {
    return u"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2 %3\r\nN:%3;%2;;;\r\nEMAIL:%4\r\nEND:VCARD\r\n"_qs
        .arg(uid, given, family, email)
        .toUtf8();
}

// An hour-long event ending at `end`, organised by me@example.com with `other` as the one guest.
inline QByteArray oneOnOne(const QString& uid, const QDateTime& end, const QString& other,
                           const QString& title) {
    const auto ics = [](const QDateTime& t) { return t.toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_qs); };
    return u"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Pemmo tests//EN\r\nBEGIN:VEVENT\r\n"
           "UID:%1\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:%2\r\nDTEND:%3\r\nSUMMARY:%4\r\n"
           "ORGANIZER;CN=Me:mailto:me@example.com\r\n"
           "ATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:me@example.com\r\n"
           "ATTENDEE;PARTSTAT=ACCEPTED:mailto:%5\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"_qs
               .arg(uid, ics(end.addSecs(-3600)), ics(end), title, other)
               .toUtf8();
}

} // namespace pemmo::test
