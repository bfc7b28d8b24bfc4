#include "Calendar/CalendarFolderWatcher.h"

#include <QFileInfo>

namespace pemmo {

CalendarFolderWatcher::CalendarFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent,
                                             int fileWatchLimit)
    : QObject(parent)
    , m_fileWatchLimit(fileWatchLimit)
    , m_watcher(quietPeriod, this) {
    connect(&m_watcher, &SettlingWatcher::settled, this, &CalendarFolderWatcher::settle);
}

void CalendarFolderWatcher::watch(const QStringList& paths) {
    m_paths = CalendarFolders::normalized(paths);
    m_watcher.stop();
    m_seen = look();
    m_watcher.watch(m_seen.watchable);
}

CalendarFolderWatcher::Look CalendarFolderWatcher::look() const {
    Look result;
    QStringList files;
    for (const QString& path : m_paths) {
        const CalendarFolders::Calendar calendar = CalendarFolders::look(path);
        result.stamps.append(calendar.files);
        result.displayNames.append(calendar.displayName);
        if (calendar.isFile) {
            result.watchable.append(QFileInfo(path).absolutePath());
            files.append(path);
        } else if (calendar.readable) {
            result.watchable.append(path);
            for (const CalendarFolders::FileStamp& file : calendar.files)
                files.append(file.path);
        } else {
            // Watch the place it should be, so that it coming back is noticed.
            const QString parent = QFileInfo(path).absolutePath();
            if (QFileInfo(parent).isDir())
                result.watchable.append(parent);
        }
    }
    if (files.size() <= m_fileWatchLimit)
        result.watchable.append(files);
    result.watchable.removeDuplicates();
    return result;
}

void CalendarFolderWatcher::settle() {
    Look now = look();
    m_watcher.watch(now.watchable);
    if (now == m_seen)
        return;
    m_seen = std::move(now);
    Q_EMIT changed();
}

} // namespace pemmo
