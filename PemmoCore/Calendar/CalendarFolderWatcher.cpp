#include "Calendar/CalendarFolderWatcher.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace pemmo {

CalendarFolderWatcher::CalendarFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent,
                                             int fileWatchLimit)
    : QObject(parent)
    , m_quietPeriod(quietPeriod)
    , m_fileWatchLimit(fileWatchLimit)
    , m_watcher(this)
    , m_quiet(this) {
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &CalendarFolderWatcher::settle);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CalendarFolderWatcher::onEvent);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CalendarFolderWatcher::onEvent);
}

void CalendarFolderWatcher::watch(const QStringList& paths) {
    m_paths = CalendarFolders::normalized(paths);
    m_quiet.stop();
    m_seen = look();
    rewatch(m_seen.watchable);
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

void CalendarFolderWatcher::onEvent() {
    ++m_eventCount;
    if (!m_quiet.isActive())
        m_burst.start();
    const auto cap = 10 * m_quietPeriod;
    const auto elapsed = std::chrono::milliseconds(m_burst.elapsed());
    m_quiet.start(std::clamp(cap - elapsed, std::chrono::milliseconds(0), m_quietPeriod));
}

void CalendarFolderWatcher::settle() {
    Look now = look();
    rewatch(now.watchable);
    if (now == m_seen)
        return;
    m_seen = std::move(now);
    Q_EMIT changed();
}

void CalendarFolderWatcher::rewatch(const QStringList& paths) {
    const QStringList watchedNow = m_watcher.directories() + m_watcher.files();
    const QSet<QString> wanted(paths.cbegin(), paths.cend());
    const QSet<QString> watched(watchedNow.cbegin(), watchedNow.cend());
    QStringList stale;
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            stale.append(path);
    }
    QStringList added;
    for (const QString& path : paths) {
        if (!watched.contains(path))
            added.append(path);
    }
    if (!stale.isEmpty())
        m_watcher.removePaths(stale);
    if (!added.isEmpty())
        m_watcher.addPaths(added);
}

} // namespace pemmo
