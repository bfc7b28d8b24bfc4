// Turns file-system events in vCard folders into one "changed" per burst of edits.
//
// vdirsyncer, khard or a text editor touch several files (and temporary files) for one change;
// the watcher waits until the folders have been quiet for a while, then compares the vCard files
// with what it saw last and reports only when they differ. Temporary files, including our own
// atomic-write ones, are no vCard files and so never count. A burst that never quiets down is
// reported anyway after ten quiet periods.
//
// Folders are always watched: that sees files added, removed and replaced (which is how
// vdirsyncer, khard, Pemmo and most editors save). A file rewritten in place is seen only through
// a watch on the file itself; those are kept for books of up to `fileWatchLimit` files, since
// QFileSystemWatcher's cost grows with the square of its paths. Larger books catch in-place
// rewrites at the sync engine's next regular refresh.
#pragma once

#include "Contacts/VCardBook.h"
#include "Support/SettlingWatcher.h"

#include <QObject>
#include <QStringList>
#include <chrono>
#include <optional>

namespace pemmo {

class VCardFolderWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultFileWatchLimit = 2000;

    explicit VCardFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent = nullptr,
                                int fileWatchLimit = defaultFileWatchLimit);

    // Watches `folders` (and their address-book subfolders and vCard files) from now on; what
    // they hold now is what later changes are measured against.
    void watch(const QStringList& folders);
    // As `watch`, with the folders as a reader just found them: changes it has already seen are
    // not reported again.
    void adopt(const QStringList& folders, const VCardBook::Listing& listing);

    // How many file-system events have come in so far.
    quint64 eventCount() const { return m_watcher.eventCount(); }

Q_SIGNALS:
    void changed();

private:
    void settle();
    // The vCard files as they are now; absent while a folder cannot be read.
    std::optional<VCardBook::Listing> look(QStringList* watchable) const;
    QStringList watchable(const VCardBook::Listing& listing) const;
    void rewatch(const QStringList& paths);

    const int m_fileWatchLimit;
    SettlingWatcher m_watcher;
    QStringList m_folders;
    std::optional<VCardBook::Listing> m_seen;
    bool m_reportedUnwatchable = false;
};

} // namespace pemmo
