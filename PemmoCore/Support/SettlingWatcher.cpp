#include "Support/SettlingWatcher.h"

#include <QSet>
#include <algorithm>

namespace pemmo {

SettlingWatcher::SettlingWatcher(std::chrono::milliseconds quietPeriod, QObject* parent)
    : QObject(parent)
    , m_quietPeriod(quietPeriod)
    , m_watcher(this)
    , m_quiet(this) {
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &SettlingWatcher::settled);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SettlingWatcher::onEvent);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SettlingWatcher::onEvent);
}

QStringList SettlingWatcher::watch(const QStringList& paths) {
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
    return added.isEmpty() ? QStringList() : m_watcher.addPaths(added);
}

void SettlingWatcher::onEvent() {
    ++m_eventCount;
    if (!m_quiet.isActive())
        m_burst.start();
    const auto cap = 10 * m_quietPeriod;
    const auto elapsed = std::chrono::milliseconds(m_burst.elapsed());
    m_quiet.start(std::clamp(cap - elapsed, std::chrono::milliseconds(0), m_quietPeriod));
}

} // namespace pemmo
