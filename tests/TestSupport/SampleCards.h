// Small vCards and iCalendar events as address-book and calendar programs write them.
#pragma once

#include <QDateTime>
#include <QString>

namespace pemmo::test {

// A vCard 3.0 with its UID (none when `uid` is empty), its names, then `more` lines, each ending in
// CR LF.
inline QByteArray vcard(const QString& uid, const QString& given, const QString& family,
                        const QByteArray& more = {}) {
    QByteArray bytes = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    if (!uid.isEmpty())
        bytes += "UID:" + uid.toUtf8() + "\r\n";
    bytes += (u"N:"_qs + family + u';' + given + u";;;\r\nFN:"_qs + given + u' ' + family).toUtf8();
    return bytes + "\r\n" + more + "END:VCARD\r\n";
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
