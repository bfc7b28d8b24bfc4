// The iCalendar folders as files: what a chosen calendar path is, which files it holds, its title
// and account, and whether it is a calendar Moments leave out (birthdays, subscriptions).
//
// A calendar is either a collection folder in the vdir layout that vdirsyncer and khal share (one
// event or series per ".ics" file, the title in a "displayname" file) or a single ".ics" file. The
// account (`sourceID`) of a collection is the name of the folder above it; a single file has none.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pemmo::CalendarFolders {

struct FileStamp {
    QString path;
    qint64 size = 0;
    qint64 modified = 0; // milliseconds since 1970

    bool operator==(const FileStamp&) const = default;
};

struct Calendar {
    QString id; // the absolute path
    bool isFile = false;
    bool readable = false;
    QString folderName;  // the collection folder's name, or the file's name
    QString displayName; // the "displayname" file's text, trimmed; empty when none
    QString sourceID;
    bool holdsContacts = false; // a folder of vCards: what khal shows as a birthdays calendar
    QList<FileStamp> files;     // the ".ics" files, by path
};

// Absolute, clean paths, "~/" expanded, blanks and repeats dropped, order kept.
QStringList normalized(const QStringList& paths);

// What is at `path` now. Never throws: a path that is missing or cannot be listed is not readable.
Calendar look(const QString& path);

// Whether the calendar at `path` can be read.
bool canRead(const QString& path);

// The title without the file's own calendar name: the display name, else the folder name (for a
// file, its name without ".ics").
QString fallbackTitle(const Calendar& calendar);

// Known names of the calendars that services generate from contacts' birthdays (Nextcloud's
// "contact_birthdays", Google's "…#contacts@group.v.calendar.google.com", a collection called
// "Birthdays"), checked against the folder name and the display name.
bool isBirthdayName(const Calendar& calendar);
// Known names of read-only calendars published by a service (Google's holiday and week-number
// calendars).
bool isSubscriptionName(const Calendar& calendar);

// The calendars at or below `path`, for choosing: the file itself, the collection itself, or the
// collections one or two folders down (an account folder, or a root of accounts as vdirsyncer
// keeps them).
QStringList discover(const QString& path);

} // namespace pemmo::CalendarFolders
