// File-system events on a set of paths, told once per burst.
//
// Programs that sync or edit files touch several of them (and temporary files) for one change, so
// each event restarts a quiet period and `settled` comes once the paths have been quiet for that
// long. A burst that never quiets down is told anyway after ten quiet periods. What changed is for
// the owner to find out: this only says when to look.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <chrono>

namespace pemmo {

class SettlingWatcher : public QObject {
    Q_OBJECT

public:
    explicit SettlingWatcher(std::chrono::milliseconds quietPeriod, QObject* parent = nullptr);

    // Watches exactly `paths` (folders and files) from now on, adding and removing only what
    // differs from before. Returns the paths that could not be watched.
    QStringList watch(const QStringList& paths);
    // Forgets a burst under way: no `settled` for it.
    void stop() { m_quiet.stop(); }

    // How many file-system events have come in so far.
    quint64 eventCount() const { return m_eventCount; }

Q_SIGNALS:
    void settled();

private:
    void onEvent();

    const std::chrono::milliseconds m_quietPeriod;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QElapsedTimer m_burst;
    quint64 m_eventCount = 0;
};

} // namespace pemmo
