#include "Contacts/VCardFolderWatcher.h"

#include "Records/PemmoError.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <utility>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcVCardWatcher, "com.dorvane.Pemmo.contacts", QtInfoMsg)

} // namespace

VCardFolderWatcher::VCardFolderWatcher(std::chrono::milliseconds quietPeriod, QObject* parent,
                                       int fileWatchLimit)
    : QObject(parent)
    , m_fileWatchLimit(fileWatchLimit)
    , m_watcher(quietPeriod, this) {
    connect(&m_watcher, &SettlingWatcher::settled, this, &VCardFolderWatcher::settle);
}

void VCardFolderWatcher::watch(const QStringList& folders) {
    m_folders = VCardBook::normalized(folders);
    m_watcher.stop();
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
    const QStringList failed = m_watcher.watch(paths);
    if (!failed.isEmpty() && !std::exchange(m_reportedUnwatchable, true))
        qCCritical(lcVCardWatcher,
                   "Cannot watch %lld of the contacts paths, first %s; changes there wait for the next poll",
                   qlonglong(failed.size()), qUtf8Printable(failed.first()));
}

} // namespace pemmo
