#include "Contacts/VCardFolderWatcher.h"

#include "Records/PemmoError.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <algorithm>
#include <utility>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcVCardWatcher, "com.dorvane.Pemmo.contacts", QtInfoMsg)

} // namespace

VCardFolderWatcher::VCardFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent,
                                       int fileWatchLimit)
    : QObject(parent)
    , m_quietPeriod(quietPeriod)
    , m_fileWatchLimit(fileWatchLimit)
    , m_watcher(this)
    , m_quiet(this) {
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &VCardFolderWatcher::settle);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &VCardFolderWatcher::onEvent);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &VCardFolderWatcher::onEvent);
}

void VCardFolderWatcher::watch(const QStringList& folders) {
    m_folders = VCardBook::normalized(folders);
    m_quiet.stop();
    QStringList watchable;
    m_seen = look(&watchable);
    rewatch(watchable);
}

void VCardFolderWatcher::adopt(const QStringList& folders, const VCardBook::Listing& listing) {
    m_folders = VCardBook::normalized(folders);
    m_seen = listing;
    rewatch(watchable(listing));
}

QStringList VCardFolderWatcher::watchable(const VCardBook::Listing& listing) const {
    QStringList paths = listing.folders;
    if (listing.files.size() <= m_fileWatchLimit) {
        for (qsizetype i = 0; i < listing.files.size(); ++i)
            paths.append(listing.path(i));
    }
    return paths;
}

void VCardFolderWatcher::onEvent() {
    ++m_eventCount;
    if (!m_quiet.isActive())
        m_burst.start();
    const auto cap = 10 * m_quietPeriod;
    const auto elapsed = std::chrono::milliseconds(m_burst.elapsed());
    m_quiet.start(std::clamp(cap - elapsed, std::chrono::milliseconds(0), m_quietPeriod));
}

void VCardFolderWatcher::settle() {
    QStringList watchable;
    auto now = look(&watchable);
    rewatch(watchable);
    // Only the files count: a new folder with no vCard in it changes no contact.
    if (now.has_value() == m_seen.has_value() && (!now || now->sameFiles(*m_seen)))
        return;
    m_seen = std::move(now);
    Q_EMIT changed();
}

std::optional<VCardBook::Listing> VCardFolderWatcher::look(QStringList* watchable) const {
    try {
        VCardBook::Listing listing = VCardBook::list(m_folders);
        *watchable = this->watchable(listing);
        return listing;
    } catch (const PemmoError&) {
        // Watch what still exists, so that the folder coming back is noticed.
        for (const QString& folder : m_folders) {
            if (QFileInfo(folder).isDir())
                watchable->append(folder);
        }
        return std::nullopt;
    }
}

void VCardFolderWatcher::rewatch(const QStringList& paths) {
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
    if (!added.isEmpty()) {
        const QStringList failed = m_watcher.addPaths(added);
        if (!failed.isEmpty() && !std::exchange(m_reportedUnwatchable, true))
            qCWarning(
                lcVCardWatcher,
                "Cannot watch %lld of the contacts paths, first %s; changes there wait for the next poll",
                qlonglong(failed.size()), qUtf8Printable(failed.first()));
    }
}

} // namespace pemmo
