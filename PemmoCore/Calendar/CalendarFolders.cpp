#include "Calendar/CalendarFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace pemmo::CalendarFolders {
namespace {

bool isCalendarFile(const QFileInfo& info) {
    return info.isFile() && !info.fileName().startsWith(u'.') &&
           info.fileName().endsWith(QLatin1String(".ics"), Qt::CaseInsensitive);
}

QString readDisplayName(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("displayname")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

bool holdsCalendarFiles(const QString& folder) {
    QDirIterator it(folder, {QStringLiteral("*.ics"), QStringLiteral("*.ICS")}, QDir::Files);
    while (it.hasNext()) {
        if (isCalendarFile(it.nextFileInfo()))
            return true;
    }
    return false;
}

QStringList subfolders(const QString& folder) {
    QStringList found;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(u'.'))
            found.append(entry.absoluteFilePath());
    }
    return found;
}

} // namespace

QStringList normalized(const QStringList& paths) {
    QStringList result;
    for (const QString& raw : paths) {
        QString path = raw.trimmed();
        if (path.isEmpty())
            continue;
        if (path == u"~" || path.startsWith(u"~/"))
            path = QDir::homePath() + path.mid(1);
        path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (!result.contains(path))
            result.append(path);
    }
    return result;
}

Calendar look(const QString& path) {
    Calendar calendar;
    calendar.id = path;
    const QFileInfo info(path);
    calendar.folderName = info.fileName();
    if (info.isFile()) {
        calendar.isFile = true;
        calendar.readable = info.isReadable();
        if (calendar.readable)
            calendar.files.append(
                {info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch()});
        return calendar;
    }
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return calendar;
    const QDir dir(path);
    if (!dir.exists())
        return calendar;
    calendar.readable = true;
    calendar.sourceID = QFileInfo(info.absolutePath()).fileName();
    calendar.displayName = readDisplayName(path);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (isCalendarFile(entry))
            calendar.files.append(
                {entry.absoluteFilePath(), entry.size(), entry.lastModified().toMSecsSinceEpoch()});
        else if (entry.fileName().endsWith(QLatin1String(".vcf"), Qt::CaseInsensitive))
            calendar.holdsContacts = true;
    }
    return calendar;
}

bool canRead(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile())
        return info.isReadable();
    return info.isDir() && info.isReadable() && info.isExecutable();
}

QString fallbackTitle(const Calendar& calendar) {
    if (!calendar.displayName.isEmpty())
        return calendar.displayName;
    if (calendar.isFile) {
        QString name = calendar.folderName;
        if (name.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive))
            name.chop(4);
        return name;
    }
    return calendar.folderName;
}

bool isBirthdayName(const Calendar& calendar) {
    for (const QString& name : {calendar.folderName, calendar.displayName}) {
        const QString lower = name.trimmed().toLower();
        if (lower == u"birthdays" || lower == u"contact_birthdays" || lower == u"contact birthdays" ||
            lower.endsWith(QLatin1String("#contacts@group.v.calendar.google.com")))
            return true;
    }
    return false;
}

bool isSubscriptionName(const Calendar& calendar) {
    const QString lower = calendar.folderName.toLower();
    return lower.endsWith(QLatin1String("#holiday@group.v.calendar.google.com")) ||
           lower.endsWith(QLatin1String("#weeknum@group.v.calendar.google.com"));
}

QStringList discover(const QString& path) {
    const QString root = normalized({path}).value(0);
    const QFileInfo info(root);
    if (info.isFile())
        return isCalendarFile(info) ? QStringList{root} : QStringList{};
    if (!info.isDir())
        return {};
    if (holdsCalendarFiles(root) || QFileInfo::exists(QDir(root).filePath(QStringLiteral("displayname"))))
        return {root};
    QStringList found;
    for (const QString& child : subfolders(root)) {
        if (holdsCalendarFiles(child) ||
            QFileInfo::exists(QDir(child).filePath(QStringLiteral("displayname")))) {
            found.append(child);
            continue;
        }
        for (const QString& grandchild : subfolders(child)) {
            if (holdsCalendarFiles(grandchild) ||
                QFileInfo::exists(QDir(grandchild).filePath(QStringLiteral("displayname"))))
                found.append(grandchild);
        }
    }
    return found;
}

} // namespace pemmo::CalendarFolders
