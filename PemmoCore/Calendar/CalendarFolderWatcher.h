// Turns file-system events in the chosen calendars into one "changed" per burst of edits.
//
// vdirsyncer, khal or an editor touch several files (and temporary files) for one change; the
// watcher waits until the calendars have been quiet for a while, then compares the ".ics" files
// (and the display names) with what it saw last and reports only when they differ. A burst that
// never quiets down is reported anyway after ten quiet periods.
//
// Collection folders are always watched, and so is the folder of a single-file calendar (which is
// replaced, not rewritten, by most programs). Files themselves are watched, to catch a rewrite in
// place, up to `fileWatchLimit` of them: QFileSystemWatcher's cost grows with the square of its
// paths, and larger calendars catch in-place rewrites at the next regular refresh.
#pragma once

#include "Calendar/CalendarFolders.h"
#include "Support/SettlingWatcher.h"

#include <QObject>
#include <QStringList>
#include <chrono>

namespace pemmo {

class CalendarFolderWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultFileWatchLimit = 2000;

    explicit CalendarFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent = nullptr,
                                   int fileWatchLimit = defaultFileWatchLimit);

    // Watches the calendars at `paths` from now on; what they hold now is what later changes are
    // measured against.
    void watch(const QStringList& paths);

    quint64 eventCount() const { return m_watcher.eventCount(); }

Q_SIGNALS:
    void changed();

private:
    struct Look {
        QList<CalendarFolders::FileStamp> stamps;
        QStringList displayNames;
        QStringList watchable;
        bool operator==(const Look& other) const {
            return stamps == other.stamps && displayNames == other.displayNames;
        }
    };

    Look look() const;
    void settle();

    const int m_fileWatchLimit;
    SettlingWatcher m_watcher;
    QStringList m_paths;
    Look m_seen;
};

} // namespace pemmo
