// What the Moment tests run over: an in-memory address book of Ada and Alan, the real record store
// and sync engine and a Moments file in a temporary folder, a calendar whose reads go straight
// through unless a test holds them, and a "now" the test sets by hand.
#pragma once

#include "Contacts/InMemoryContactRepository.h"
#include "Moments/MomentService.h"
#include "Moments/MomentStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "TestSupport/HeldCalendar.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

namespace pemmo::test {

inline const QDateTime kTen = QDateTime(QDate(2026, 1, 10), QTime(10, 0), Qt::UTC);
inline const QString kCalendar = u"/cal/work"_qs;

// A one-on-one of the user with `email`, by default with Ada from 08:30 to 09:30.
inline CalendarEventSnapshot meeting(const QString& uid = u"e1"_qs,
                                     const QDateTime& start = kTen.addSecs(-5400),
                                     const QDateTime& end = kTen.addSecs(-1800),
                                     const QString& email = u"ada@example.com"_qs) {
    CalendarEventSnapshot e;
    e.calendarID = kCalendar;
    e.sourceID = u"account"_qs;
    e.externalID = uid;
    e.localID = uid + u".ics"_qs;
    e.title = u"Coffee"_qs;
    e.start = start;
    e.end = end;
    CalendarAttendee me;
    me.email = u"me@example.com"_qs;
    me.isSelf = true;
    CalendarAttendee other;
    other.email = email;
    e.attendees = {me, other};
    return e;
}

inline QList<Person> adaAndAlan() {
    Person ada = person(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs);
    ada.emails.append({u"work"_qs, u"ada@example.com"_qs});
    Person alan = person(u"alan"_qs, u"Alan"_qs, u"Turing"_qs);
    alan.emails.append({u"work"_qs, u"alan@example.com"_qs});
    return {ada, alan};
}

// Moments connected and on for the work calendar; nothing started yet.
struct MomentsWorld {
    MomentsWorld()
        : contacts(adaAndAlan())
        , store(dir.path(), std::chrono::milliseconds(1), [this] { return now; })
        , photos(dir.filePath(u"Photos"_qs))
        , sync(contacts, store, photos, std::chrono::hours(1), std::chrono::seconds(5),
               [this] { return now; })
        , settings(keyValues)
        , calendar(CalendarAccess::FullAccess, {{kCalendar, u"Work"_qs}})
        , local(dir.filePath(MomentStore::fileName()), [this] { return now; })
        , service(calendar, local, settings, sync, store, [this] { return now; }) {
        calendar.setHeld(false);
        settings.setCalendarConnected(true);
        settings.setMomentsEnabled(true);
        settings.setCalendarIDs({kCalendar});
    }

    QDateTime now = kTen;
    TempDir dir;
    InMemoryContactRepository contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine sync;
    InMemoryKeyValueStore keyValues;
    SettingsStore settings;
    HeldCalendar calendar;
    MomentStore local;
    MomentService service;
};

} // namespace pemmo::test
