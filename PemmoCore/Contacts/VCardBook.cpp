#include "Contacts/VCardBook.h"

#include "Contacts/ContactCache.h"
#include "Contacts/Thumbnail.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardEditor.h"
#include "Records/PemmoError.h"
#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/HandOver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QThread>
#include <QUuid>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <numeric>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcVCardBook, "com.dorvane.Pemmo.contacts", QtInfoMsg)

bool hasVCardSuffix(const char* name) {
    const std::size_t length = std::strlen(name);
    return length > 4 && ::strcasecmp(name + length - 4, ".vcf") == 0;
}

qint64 nanoseconds(const struct timespec& time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Reads one folder: its vCard files (sorted by name) and, when asked, its visible subfolders.
bool listFolder(const QString& folder, QList<VCardBook::FileStamp>& files, QStringList* subfolders) {
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = ::opendir(encoded.constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    QList<VCardBook::FileStamp> found;
    QStringList folders;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, including our own temporary files
        const bool vcf = hasVCardSuffix(name);
        const bool maybeFolder =
            entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
        if (!vcf && !(subfolders && maybeFolder))
            continue;
        struct stat info;
        if (::fstatat(fd, name, &info, 0) != 0)
            continue;
        const QString path = folder + u'/' + QFile::decodeName(name);
        if (S_ISDIR(info.st_mode)) {
            if (subfolders)
                folders.append(path);
        } else if (vcf && S_ISREG(info.st_mode)) {
            found.append({path, nanoseconds(info.st_mtim), qint64(info.st_size), quint64(info.st_ino)});
        }
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    files.append(found);
    if (subfolders) {
        folders.sort();
        subfolders->append(folders);
    }
    return true;
}

// The whole file, read with plain system calls: for ten thousand small files QFile's own
// bookkeeping costs more than the reading.
QByteArray readWhole(const QString& path, qint64 expectedSize) {
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs +
                        QString::fromLocal8Bit(std::strerror(errno)));
    QByteArray bytes(qMax<qint64>(expectedSize, 0) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs +
                            QString::fromLocal8Bit(std::strerror(error)));
        }
        if (n == 0)
            break;
        filled += n;
    }
    ::close(fd);
    bytes.truncate(filled);
    return bytes;
}

QCollator nameCollator() {
    QCollator collator{QLocale(QLocale::English)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

// Runs `work` on every item, spread over `pool` when there are at least `threshold` items, else
// on this thread. Each item is touched by one thread only; what the calls wrote is the caller's
// once this returns.
template <class Items, class Work>
void forEachItem(QThreadPool& pool, Items& items, qsizetype threshold, Work work) {
    if (std::ssize(items) < threshold) {
        std::for_each(items.begin(), items.end(), work);
        return;
    }
    const char toWorkers = 0;
    const char fromWorkers = 0;
    HandOver::release(&toWorkers);
    QtConcurrent::blockingMap(&pool, items, [&](auto& item) {
        HandOver::acquire(&toWorkers);
        work(item);
        HandOver::release(&fromWorkers);
    });
    HandOver::acquire(&fromWorkers);
}

// The calling thread's collator for names.
const QCollator& threadCollator() {
    thread_local const QCollator collator = nameCollator();
    return collator;
}

// New files get what the user's umask leaves of rw-rw-rw-, as any other program's would.
unsigned newFileMode() {
    static const unsigned mode = [] {
        unsigned mask = 022;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const unsigned value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        mask = value;
                    break;
                }
            }
        }
        return 0666u & ~mask;
    }();
    return mode;
}

// Replaces the file's contents atomically, keeping its permissions; a link is followed, not replaced.
void rewrite(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : path;
    struct stat status;
    const QByteArray encoded = QFile::encodeName(target);
    const unsigned mode =
        ::stat(encoded.constData(), &status) == 0 ? unsigned(status.st_mode & 07777) : newFileMode();
    AtomicFile::write(target, bytes, mode);
}

} // namespace

VCardBook::VCardBook(QStringList folders, int threads, Clock clock)
    : m_folders(normalized(folders))
    , m_clock(std::move(clock)) {
    m_pool.setMaxThreadCount(threads > 0 ? threads : qBound(1, QThread::idealThreadCount(), 4));
}

void VCardBook::setFolders(QStringList folders) {
    m_folders = normalized(folders);
    m_lastListing.reset();
    m_lastPeopleCurrent = false;
    m_cacheConsulted = false; // another set of folders has its own cache file
    m_cacheDirty = true;
}

void VCardBook::setCacheFolder(QString folder) {
    m_cacheFolder = std::move(folder);
    m_cacheConsulted = false;
    m_cacheDirty = true;
}

QString VCardBook::cachePath() const {
    return m_cacheFolder.isEmpty() ? QString() : ContactCache::pathFor(m_cacheFolder, m_folders);
}

bool VCardBook::saveCache() {
    const QString path = cachePath();
    if (!m_cacheDirty || path.isEmpty() || !m_lastListing)
        return false;
    m_cacheDirty = false;
    QList<ContactCache::File> files;
    files.reserve(m_lastListing->files.size());
    for (const FileStamp& stamp : std::as_const(m_lastListing->files)) {
        // A file changed this close to its listing could change again without its stamp showing it.
        if (stamp.modified >= m_listedAt - ContactCache::racyWindowNanoseconds)
            continue;
        const auto cached = m_cache.constFind(stamp.path);
        if (cached == m_cache.cend() || !(cached->stamp == stamp))
            continue;
        ContactCache::File file{stamp, {}};
        file.cards.reserve(qsizetype(cached->contacts.size()));
        for (const Contact& contact : cached->contacts)
            file.cards.append({*contact.person, contact.position, contact.thumbnailDue});
        files.append(std::move(file));
    }
    return ContactCache::write(path, ContactCache::encode(m_folders, files));
}

QStringList VCardBook::normalized(const QStringList& folders) {
    QStringList result;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
        if (!result.contains(clean))
            result.append(clean);
    }
    return result;
}

bool VCardBook::canRead(const QString& folder) {
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = ::opendir(encoded.constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

VCardBook::Listing VCardBook::list(const QStringList& folders) {
    Listing listing;
    for (const QString& folder : folders) {
        QStringList subfolders;
        if (!listFolder(folder, listing.files, &subfolders)) {
            qCWarning(lcVCardBook, "Cannot read the contacts folder %s: %s", qUtf8Printable(folder),
                      std::strerror(errno));
            throw PemmoError::contactsDenied();
        }
        listing.folders.append(folder);
        for (const QString& subfolder : subfolders) {
            if (listFolder(subfolder, listing.files, nullptr))
                listing.folders.append(subfolder);
            else
                qCWarning(lcVCardBook, "Skipped the unreadable address book %s", qUtf8Printable(subfolder));
        }
    }
    return listing;
}

VCardBook::Entry VCardBook::load(const FileStamp& stamp, const QCollator& collator) {
    Entry entry{stamp, {}};
    QByteArray bytes;
    try {
        bytes = readWhole(stamp.path, stamp.size);
    } catch (const FileError& error) {
        qCWarning(lcVCardBook, "Skipped %s: %s", qUtf8Printable(stamp.path), error.what());
        return entry;
    }
    ++m_parseCount;
    const VCard::Document document = VCard::parse(bytes);
    if (!document.problems.isEmpty())
        qCWarning(lcVCardBook, "Skipped in %s: %s", qUtf8Printable(stamp.path),
                  qUtf8Printable(document.problems.join(u"; ")));
    const QString baseName = QFileInfo(stamp.path).completeBaseName();
    entry.contacts.reserve(std::size_t(document.cards.size()));
    for (const VCard::Card& card : document.cards) {
        Person person =
            VCard::toPerson(card, VCard::identifier(card, baseName, document.cardCount), VCard::Photos::Skip);
        const QCollatorSortKey given = collator.sortKey(person.givenName);
        const QCollatorSortKey family = collator.sortKey(person.familyName);
        const bool thumbnailDue = person.hasFullImage;
        entry.contacts.push_back(Contact{std::move(person), card.position, given, family, thumbnailDue});
    }
    return entry;
}

void VCardBook::refresh(bool trustLastListing) {
    if (m_folders.isEmpty())
        throw PemmoError::contactsDenied();
    if (!(trustLastListing && m_lastListing))
        m_listedAt = m_clock().toMSecsSinceEpoch() * 1'000'000;

    // The first read takes what the contact cache holds for files whose stamps still match. The
    // cache is read and decoded on a thread of the pool while this one lists the folders. The job
    // touches only what it is handed here, and every way out of this call waits for it first.
    const bool readCache = !m_cacheConsulted && m_cache.isEmpty() && !m_cacheFolder.isEmpty();
    const QString cacheFile = readCache ? cachePath() : QString();
    QList<ContactCache::File> fromCache;
    const char toReader = 0;
    const char fromReader = 0;
    QFuture<void> cacheReading;
    if (readCache) {
        HandOver::release(&toReader);
        cacheReading = QtConcurrent::run(&m_pool, [this, &cacheFile, &fromCache, &toReader, &fromReader] {
            HandOver::acquire(&toReader);
            fromCache = ContactCache::read(cacheFile, m_folders);
            HandOver::release(&fromReader);
        });
    }
    const auto cachedFiles = [&cacheReading, &fromReader] {
        if (!cacheReading.isValid())
            return;
        cacheReading.waitForFinished();
        HandOver::acquire(&fromReader);
    };
    const auto cacheRead = qScopeGuard(cachedFiles);

    Listing listing = trustLastListing && m_lastListing ? *m_lastListing : list(m_folders);
    if (m_lastPeopleCurrent && m_lastListing && m_lastListing->files == listing.files) {
        // The same files as last time: the files of the listing kept stay, since their paths are
        // the strings the parsed entries hold, where the new listing's are a second copy of each.
        m_lastListing->folders = std::move(listing.folders);
        return;
    }
    m_cacheConsulted = true;
    cachedFiles();

    // Entries still current are marked; changed files are read again; the rest are dropped. The
    // cache holds its files in the order of the listing that wrote it, so each file is looked for
    // at the next place first, and only a book changed since falls back to finding it by path.
    const quint64 generation = ++m_generation;
    QList<const FileStamp*> changed;
    QList<ContactCache::File> adopted;
    adopted.reserve(fromCache.size());
    qsizetype nextStored = 0;
    QHash<QString, qsizetype> storedAt; // made at the first file out of place
    const auto findStored = [&](const QString& path) -> ContactCache::File* {
        if (nextStored < fromCache.size() && fromCache[nextStored].stamp.path == path)
            return &fromCache[nextStored++];
        if (storedAt.isEmpty()) {
            storedAt.reserve(fromCache.size());
            for (qsizetype i = 0; i < fromCache.size(); ++i)
                storedAt.insert(fromCache[i].stamp.path, i);
        }
        const auto at = storedAt.constFind(path);
        if (at == storedAt.cend())
            return nullptr;
        nextStored = *at + 1;
        return &fromCache[*at];
    };
    for (FileStamp& stamp : listing.files) {
        const auto cached = m_cache.find(stamp.path);
        if (cached != m_cache.end() && cached->stamp == stamp) {
            cached->generation = generation;
            stamp.path = cached->stamp.path; // the listing kept as the last one shares the entry's path
            continue;
        }
        ContactCache::File* const stored = fromCache.isEmpty() ? nullptr : findStored(stamp.path);
        if (stored && stored->stamp == stamp) {
            stored->stamp = stamp; // one copy of the path, the listing's
            adopted.append(std::move(*stored));
        } else
            changed.append(&stamp);
    }
    if (!changed.isEmpty() || adopted.size() != fromCache.size())
        m_cacheDirty = true;
    else if (readCache)
        m_cacheDirty = false; // the cache file holds every file as it is: nothing to write
    storedAt.clear();
    fromCache.clear();
    std::vector<Entry> entries = loadAll(changed);
    for (Entry& entry : adoptAll(std::move(adopted)))
        entries.push_back(std::move(entry));
    m_cache.reserve(m_cache.size() + qsizetype(entries.size()));
    for (Entry& entry : entries) {
        entry.generation = generation;
        if (std::any_of(entry.contacts.cbegin(), entry.contacts.cend(),
                        [](const Contact& contact) { return contact.thumbnailDue; }))
            m_thumbnailsDue.insert(entry.stamp.path);
        else
            m_thumbnailsDue.remove(entry.stamp.path);
        QString path = entry.stamp.path;
        m_cache.emplace(std::move(path), std::move(entry)); // insert would copy every person
    }
    if (m_cache.removeIf([generation](const auto& item) { return item.value().generation != generation; }) >
        0)
        m_cacheDirty = true;
    m_thumbnailsDue.removeIf([this](const QString& path) { return !m_cache.contains(path); });

    std::vector<const Contact*> order;
    order.reserve(std::size_t(listing.files.size()));
    m_locations.clear();
    m_locations.reserve(listing.files.size());
    for (const FileStamp& stamp : listing.files) {
        const Entry& entry = *m_cache.constFind(stamp.path);
        for (const Contact& contact : entry.contacts) {
            const auto existing = m_locations.constFind(contact.person->id);
            if (existing != m_locations.cend()) {
                const QString key = stamp.path + u'\n' + contact.person->id;
                if (!m_reportedDuplicates.contains(key)) {
                    m_reportedDuplicates.insert(key);
                    qCWarning(lcVCardBook, "Skipped a card in %s: %s already holds the contact %s",
                              qUtf8Printable(stamp.path), qUtf8Printable(*existing),
                              qUtf8Printable(contact.person->id));
                }
                continue;
            }
            m_locations.insert(contact.person->id, stamp.path);
            order.push_back(&contact);
        }
    }
    std::stable_sort(order.begin(), order.end(), [](const Contact* a, const Contact* b) {
        if (const int given = a->givenKey.compare(b->givenKey); given != 0)
            return given < 0;
        if (const int family = a->familyKey.compare(b->familyKey); family != 0)
            return family < 0;
        return a->person->id < b->person->id;
    });

    m_lastListing = std::move(listing);
    m_lastOrder = std::move(order);
    m_lastPeopleCurrent = true;
}

QList<Shared<Person>> VCardBook::peopleOf(const std::vector<const Contact*>& order) {
    QList<Shared<Person>> people;
    people.reserve(qsizetype(order.size()));
    for (const Contact* contact : order)
        people.append(contact->person);
    return people;
}

qsizetype VCardBook::makeThumbnails(qsizetype files) {
    QList<Entry*> batch;
    for (auto it = m_thumbnailsDue.begin(); it != m_thumbnailsDue.end() && batch.size() < files;) {
        const auto cached = m_cache.find(*it);
        if (cached != m_cache.end())
            batch.append(&cached.value());
        it = m_thumbnailsDue.erase(it);
    }
    if (batch.isEmpty())
        return m_thumbnailsDue.size();

    const auto makeThumbnails = [](Entry* entry) {
        QByteArray bytes;
        try {
            bytes = readWhole(entry->stamp.path, entry->stamp.size);
        } catch (const FileError&) {
            return; // gone or changed: the next read takes it up again
        }
        const VCard::Document document = VCard::parse(bytes);
        for (Contact& contact : entry->contacts) {
            if (!contact.thumbnailDue)
                continue;
            contact.thumbnailDue = false;
            const auto card =
                std::find_if(document.cards.cbegin(), document.cards.cend(),
                             [&](const VCard::Card& c) { return c.position == contact.position; });
            const std::optional<QByteArray> stored =
                card == document.cards.cend() ? std::nullopt : VCard::photo(*card);
            // A new body: the people handed out last keep theirs, unchanged, on other threads.
            contact.person = contact.person.with([&stored](Person& person) {
                person.thumbnail = stored ? Thumbnail::make(*stored) : std::nullopt;
                person.hasFullImage = person.thumbnail.has_value();
            });
        }
    };
    forEachItem(m_pool, batch, 4, makeThumbnails);
    m_lastPeopleCurrent = false; // the people handed out last lack these thumbnails
    m_cacheDirty = true;
    return m_thumbnailsDue.size();
}

std::vector<VCardBook::Entry> VCardBook::loadAll(const QList<const FileStamp*>& stamps) {
    std::vector<Entry> entries(std::size_t(stamps.size()));
    for (qsizetype i = 0; i < stamps.size(); ++i)
        entries[std::size_t(i)].stamp = *stamps[i];
    // Each thread fills entries with its own collator: a collator is not shared between threads.
    const auto fill = [this](Entry& entry) { entry = load(entry.stamp, threadCollator()); };
    // A first read of a large book spreads over the cores; a few changed files are read here.
    forEachItem(m_pool, entries, 64, fill);
    return entries;
}

std::vector<VCardBook::Entry> VCardBook::adoptAll(QList<ContactCache::File> files) {
    std::vector<Entry> entries(std::size_t(files.size()));
    const auto fill = [&files, &entries](qsizetype i) {
        ContactCache::File& file = files[i];
        const QCollator& collator = threadCollator();
        Entry& entry = entries[std::size_t(i)];
        entry.stamp = std::move(file.stamp);
        entry.contacts.reserve(std::size_t(file.cards.size()));
        for (ContactCache::Card& card : file.cards) {
            const QCollatorSortKey given = collator.sortKey(card.person.givenName);
            const QCollatorSortKey family = collator.sortKey(card.person.familyName);
            entry.contacts.push_back(
                Contact{std::move(card.person), card.position, given, family, card.thumbnailDue});
        }
    };
    QList<qsizetype> indexes(files.size());
    std::iota(indexes.begin(), indexes.end(), qsizetype(0));
    if (files.size() >= 256)
        QtConcurrent::blockingMap(&m_pool, indexes, fill);
    else
        std::for_each(indexes.begin(), indexes.end(), fill);
    return entries;
}

QList<Shared<Person>> VCardBook::people(bool trustLastListing) {
    refresh(trustLastListing);
    return peopleOf(m_lastOrder);
}

void VCardBook::read() {
    refresh();
}

std::optional<VCardBook::Located> VCardBook::locateIn(const QString& path, const QString& id) {
    Located located;
    located.path = path;
    try {
        located.bytes = AtomicFile::read(path);
    } catch (const FileError&) {
        if (!QFileInfo::exists(path))
            return std::nullopt; // gone since the last look
        throw;
    }
    located.document = VCard::parse(located.bytes);
    const QString baseName = QFileInfo(path).completeBaseName();
    for (qsizetype i = 0; i < located.document.cards.size(); ++i) {
        const VCard::Card& card = located.document.cards[i];
        if (VCard::identifier(card, baseName, located.document.cardCount) == id) {
            located.cardIndex = i;
            return located;
        }
    }
    return std::nullopt;
}

VCardBook::Located VCardBook::locate(const QString& id) {
    // The last refresh usually knows the file; when it is stale, look again once.
    if (const auto known = m_locations.constFind(id); known != m_locations.cend()) {
        if (auto located = locateIn(*known, id))
            return std::move(*located);
    }
    refresh();
    if (const auto known = m_locations.constFind(id); known != m_locations.cend()) {
        if (auto located = locateIn(*known, id))
            return std::move(*located);
    }
    throw PemmoError::notFound(id);
}

std::optional<QByteArray> VCardBook::fullImage(const QString& id) {
    const Located located = locate(id);
    return VCard::photo(located.document.cards[located.cardIndex]);
}

void VCardBook::setFolderForNewContacts(QString folder) {
    m_chosenNewContactsFolder = folder.isEmpty() ? QString() : normalized({folder}).value(0);
}

QString VCardBook::folderForNewContacts() const {
    if (m_folders.isEmpty())
        throw PemmoError::contactsDenied();
    // The user's choice counts only while it is part of the book: a contact written elsewhere
    // would never be read back.
    if (!m_chosenNewContactsFolder.isEmpty() && QFileInfo(m_chosenNewContactsFolder).isDir()) {
        const QString parent = QFileInfo(m_chosenNewContactsFolder).path();
        if (m_folders.contains(m_chosenNewContactsFolder) || m_folders.contains(parent))
            return m_chosenNewContactsFolder;
    }
    // A folder that holds only address books (as vdirsyncer fills it) gets the new card in the first of them.
    const QString folder = m_folders.first();
    QList<FileStamp> files;
    QStringList subfolders;
    if (!listFolder(folder, files, &subfolders))
        throw PemmoError::contactsDenied();
    if (files.isEmpty() && !subfolders.isEmpty())
        return subfolders.first();
    return folder;
}

QString VCardBook::create(const ContactDraft& draft) {
    const QString folder = folderForNewContacts();
    QString uid;
    QString path;
    do {
        uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        path = folder + u'/' + uid + u".vcf"_qs;
    } while (QFileInfo::exists(path));
    AtomicFile::write(path, VCard::newCard(draft, uid), newFileMode());
    return uid;
}

void VCardBook::update(const QString& id, const ContactDraft& draft) {
    const Located located = locate(id);
    const QByteArray changed =
        VCard::applyDraft(located.bytes, located.document.cards[located.cardIndex], draft);
    if (changed != located.bytes)
        rewrite(located.path, changed);
}

void VCardBook::remove(const QString& id) {
    const Located located = locate(id);
    if (located.document.cardCount > 1) {
        rewrite(located.path, VCard::removeCard(located.bytes, located.document.cards[located.cardIndex]));
        return;
    }
    const QByteArray encoded = QFile::encodeName(located.path);
    if (::unlink(encoded.constData()) != 0 && errno != ENOENT)
        throw FileError(u"Could not delete \u201C"_qs + located.path + u"\u201D: "_qs +
                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace pemmo
