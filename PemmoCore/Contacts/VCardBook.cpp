#include "Contacts/VCardBook.h"

#include "Contacts/ContactCache.h"
#include "Contacts/Thumbnail.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardEditor.h"
#include "Records/PemmoError.h"
#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/HandOver.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

// A file of a listing by folder and name, to find it in another listing.
struct FileKey {
    qsizetype folder;
    QByteArrayView name;

    bool operator==(const FileKey&) const = default;
};

size_t qHash(const FileKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.folder, key.name);
}

// Reads one folder: its vCard files, sorted by name, as files of the folder `listing` takes next
// and, when asked, its visible subfolders.
bool listFolder(const QString& folder, VCardBook::Listing& listing, QStringList* subfolders) {
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = ::opendir(encoded.constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    struct Found {
        QString name;
        QByteArray spelled;
        VCardBook::Listing::File file;
    };
    std::vector<Found> found;
    QStringList folders;
    const auto folderIndex = quint32(listing.folders.size());
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
        if (S_ISDIR(info.st_mode)) {
            if (subfolders)
                folders.append(folder + u'/' + QFile::decodeName(name));
        } else if (vcf && S_ISREG(info.st_mode)) {
            found.push_back(
                {QFile::decodeName(name),
                 QByteArray(name),
                 {nanoseconds(info.st_mtim), qint64(info.st_size), quint64(info.st_ino), folderIndex, 0}});
        }
    }
    ::closedir(dir);
    // The paths share the folder: sorted by name is sorted by path.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
    listing.files.reserve(listing.files.size() + qsizetype(found.size()));
    for (Found& file : found) {
        listing.names.append(file.spelled);
        file.file.nameEnd = quint32(listing.names.size());
        listing.files.append(file.file);
    }
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
    m_listingCurrent = false;
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
    if (!m_cacheDirty || path.isEmpty() || !m_listingCurrent)
        return false;
    m_cacheDirty = false;
    QList<ContactCache::File> files;
    files.reserve(m_listing.files.size());
    for (qsizetype i = 0; i < m_listing.files.size(); ++i) {
        // A file changed this close to its listing could change again without its stamp showing it.
        if (m_listing.files[i].modified >= m_listedAt - ContactCache::racyWindowNanoseconds)
            continue;
        const Entry& entry = m_entries[std::size_t(i)];
        ContactCache::File file{m_listing.stamp(i), {}};
        file.cards.reserve(qsizetype(entry.contacts.size()));
        for (const Contact& contact : entry.contacts)
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
        if (!listFolder(folder, listing, &subfolders)) {
            qCCritical(lcVCardBook, "Cannot read the contacts folder %s: %s", qUtf8Printable(folder),
                       std::strerror(errno));
            throw PemmoError::contactsDenied();
        }
        listing.folders.append(folder);
        for (const QString& subfolder : subfolders) {
            if (listFolder(subfolder, listing, nullptr))
                listing.folders.append(subfolder);
            else
                qCInfo(lcVCardBook, "Skipped the unreadable address book %s", qUtf8Printable(subfolder));
        }
    }
    listing.names.squeeze();
    listing.files.squeeze();
    return listing;
}

QByteArrayView VCardBook::Listing::name(qsizetype file) const {
    const qsizetype start = file == 0 ? 0 : qsizetype(files[file - 1].nameEnd);
    return QByteArrayView(names.constData() + start, qsizetype(files[file].nameEnd) - start);
}

QString VCardBook::Listing::path(qsizetype file) const {
    return folders[files[file].folder] + u'/' + QString::fromLocal8Bit(name(file));
}

VCardBook::FileStamp VCardBook::Listing::stamp(qsizetype file) const {
    const File& f = files[file];
    return {path(file), f.modified, f.size, f.inode};
}

bool VCardBook::Listing::sameFiles(const Listing& other) const {
    if (files.size() != other.files.size())
        return false;
    if (folders == other.folders)
        return files == other.files && names == other.names;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const File& a = files[i];
        const File& b = other.files[i];
        if (a.modified != b.modified || a.size != b.size || a.inode != b.inode || name(i) != other.name(i) ||
            folders[a.folder] != other.folders[b.folder])
            return false;
    }
    return true;
}

VCardBook::Entry VCardBook::load(const FileStamp& stamp) {
    Entry entry;
    QByteArray bytes;
    try {
        bytes = readWhole(stamp.path, stamp.size);
    } catch (const FileError& error) {
        qCInfo(lcVCardBook, "Skipped %s: %s", qUtf8Printable(stamp.path), error.what());
        return entry;
    }
    ++m_parseCount;
    const VCard::Document document = VCard::parse(bytes);
    if (!document.problems.isEmpty())
        qCInfo(lcVCardBook, "Skipped in %s: %s", qUtf8Printable(stamp.path),
               qUtf8Printable(document.problems.join(u"; ")));
    const QString baseName = QFileInfo(stamp.path).completeBaseName();
    entry.contacts.reserve(std::size_t(document.cards.size()));
    for (const VCard::Card& card : document.cards) {
        Person person =
            VCard::toPerson(card, VCard::identifier(card, baseName, document.cardCount), VCard::Photos::Skip);
        const bool thumbnailDue = person.hasFullImage;
        entry.contacts.push_back(Contact{std::move(person), card.position, thumbnailDue});
    }
    return entry;
}

void VCardBook::refresh(bool trustLastListing) {
    if (m_folders.isEmpty())
        throw PemmoError::contactsDenied();
    const bool trusted = trustLastListing && m_listingCurrent;
    if (!trusted)
        m_listedAt = m_clock().toMSecsSinceEpoch() * 1'000'000;

    // The first read takes what the contact cache holds for files whose stamps still match. The
    // cache is read and decoded on a thread of the pool while this one lists the folders. The job
    // touches only what it is handed here, and every way out of this call waits for it first.
    const bool readCache = !m_cacheConsulted && m_entries.empty() && !m_cacheFolder.isEmpty();
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

    Listing listing = trusted ? m_listing : list(m_folders);
    if (m_lastPeopleCurrent && m_listingCurrent && m_listing.sameFiles(listing)) {
        // The same files in the same order: every entry stays where it is.
        m_listing = std::move(listing);
        return;
    }
    m_cacheConsulted = true;
    cachedFiles();

    // A file still as the last read found it keeps its entry; a changed one is read again; the
    // rest are dropped. Both listings, like the cache, hold their files in the same order, so
    // each file is looked for at the next place first, and only a book changed since falls back
    // to finding it by folder and name (or, in the cache, by path).
    QList<qsizetype> folderNow(m_listing.folders.size());
    for (qsizetype j = 0; j < m_listing.folders.size(); ++j)
        folderNow[j] = listing.folders.indexOf(m_listing.folders[j]);
    qsizetype nextKept = 0;
    bool keptIndexed = false;
    QHash<FileKey, qsizetype> keptAt; // made at the first file out of place
    const auto findKept = [&](qsizetype i) -> qsizetype {
        const auto key = FileKey{listing.files[i].folder, listing.name(i)};
        if (nextKept < m_listing.files.size() &&
            FileKey{folderNow[m_listing.files[nextKept].folder], m_listing.name(nextKept)} == key)
            return nextKept++;
        if (!std::exchange(keptIndexed, true)) {
            keptAt.reserve(m_listing.files.size());
            for (qsizetype j = 0; j < m_listing.files.size(); ++j) {
                if (const qsizetype folder = folderNow[m_listing.files[j].folder]; folder >= 0)
                    keptAt.insert(FileKey{folder, m_listing.name(j)}, j);
            }
        }
        const auto at = keptAt.constFind(key);
        if (at == keptAt.cend())
            return -1;
        nextKept = *at + 1;
        return *at;
    };
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
    std::vector<Entry> entries(std::size_t(listing.files.size()));
    std::vector<bool> kept(m_entries.size());
    QList<qsizetype> fresh;   // files whose entries are new
    QList<FileStamp> changed; // files to read, and where their entries go
    QList<qsizetype> changedAt;
    qsizetype adopted = 0;
    for (qsizetype i = 0; i < listing.files.size(); ++i) {
        const Listing::File& file = listing.files[i];
        if (const qsizetype j = m_listing.files.isEmpty() ? -1 : findKept(i); j >= 0) {
            const Listing::File& last = m_listing.files[j];
            if (last.modified == file.modified && last.size == file.size && last.inode == file.inode) {
                entries[std::size_t(i)] = std::move(m_entries[std::size_t(j)]);
                kept[std::size_t(j)] = true;
                continue;
            }
        }
        fresh.append(i);
        FileStamp stamp = listing.stamp(i);
        ContactCache::File* const stored = fromCache.isEmpty() ? nullptr : findStored(stamp.path);
        if (stored && stored->stamp == stamp) {
            Entry& entry = entries[std::size_t(i)];
            entry.contacts.reserve(std::size_t(stored->cards.size()));
            for (ContactCache::Card& card : stored->cards)
                entry.contacts.push_back(Contact{std::move(card.person), card.position, card.thumbnailDue});
            ++adopted;
        } else {
            changed.append(std::move(stamp));
            changedAt.append(i);
        }
    }
    const bool dropped = std::find(kept.cbegin(), kept.cend(), false) != kept.cend();
    if (!changed.isEmpty() || adopted != fromCache.size() || dropped)
        m_cacheDirty = true;
    else if (readCache)
        m_cacheDirty = false; // the cache file holds every file as it is: nothing to write
    keptAt.clear();
    storedAt.clear();
    fromCache.clear();
    std::vector<Entry> loaded = loadAll(changed);
    for (qsizetype k = 0; k < changedAt.size(); ++k)
        entries[std::size_t(changedAt[k])] = std::move(loaded[std::size_t(k)]);
    for (const qsizetype i : std::as_const(fresh)) {
        Entry& entry = entries[std::size_t(i)];
        entry.thumbnailsDue = std::any_of(entry.contacts.cbegin(), entry.contacts.cend(),
                                          [](const Contact& contact) { return contact.thumbnailDue; });
    }
    m_thumbnailsDue = std::count_if(entries.cbegin(), entries.cend(),
                                    [](const Entry& entry) { return entry.thumbnailsDue; });

    // The people of dropped entries leave the order; the rest keep their places.
    for (std::size_t j = 0; j < m_entries.size(); ++j) {
        if (!kept[j]) {
            for (Contact& contact : m_entries[j].contacts)
                contact.placed = false;
        }
    }
    // The first card of an identifier wins, in the order of the listing.
    QHash<QString, qsizetype> holders; // id → file
    holders.reserve(listing.files.size());
    std::vector<Contact*> unplaced;
    for (qsizetype i = 0; i < listing.files.size(); ++i) {
        for (Contact& contact : entries[std::size_t(i)].contacts) {
            const auto existing = holders.constFind(contact.person->id);
            if (existing != holders.cend()) {
                contact.placed = false;
                const QString path = listing.path(i);
                const QString key = path + u'\n' + contact.person->id;
                if (!m_reportedDuplicates.contains(key)) {
                    m_reportedDuplicates.insert(key);
                    qCInfo(lcVCardBook, "Skipped a card in %s: %s already holds the contact %s",
                           qUtf8Printable(path), qUtf8Printable(listing.path(*existing)),
                           qUtf8Printable(contact.person->id));
                }
                continue;
            }
            holders.insert(contact.person->id, i);
            if (!contact.placed)
                unplaced.push_back(&contact);
        }
    }
    holders.clear();
    std::erase_if(m_lastOrder, [](const Contact* contact) { return !contact->placed; });
    m_entries = std::move(entries); // the people of dropped entries are gone from here on
    m_listing = std::move(listing);
    m_listingCurrent = true;
    place(std::move(unplaced));
    m_lastPeopleCurrent = true;
}

void VCardBook::place(std::vector<Contact*> fresh) {
    if (fresh.empty())
        return;
    for (Contact* contact : fresh)
        contact->placed = true;
    // By given name, then family name, as the collator compares them; the identifier settles the
    // rest, so every set of people has exactly one order, however it came about.
    struct Keyed {
        const Contact* contact = nullptr;
        std::optional<QCollatorSortKey> given;
        std::optional<QCollatorSortKey> family;
    };
    const auto makeKeys = [](Keyed& keyed) {
        const QCollator& collator = threadCollator();
        keyed.given = collator.sortKey(keyed.contact->person->givenName);
        keyed.family = collator.sortKey(keyed.contact->person->familyName);
    };
    const auto before = [](const Keyed& a, const Keyed& b) {
        if (const int given = a.given->compare(*b.given); given != 0)
            return given < 0;
        if (const int family = a.family->compare(*b.family); family != 0)
            return family < 0;
        return a.contact->person->id < b.contact->person->id;
    };
    const auto sortedKeyed = [&](std::vector<Keyed> keyed) {
        forEachItem(m_pool, keyed, 256, makeKeys);
        std::sort(keyed.begin(), keyed.end(), before);
        return keyed;
    };

    // A few people are placed among the rest by comparing them with some twenty names each;
    // sorting everyone costs a key per person, which pays when many are new.
    const std::size_t placedBefore = m_lastOrder.size();
    if (fresh.size() * 32 > placedBefore) {
        std::vector<Keyed> keyed;
        keyed.reserve(placedBefore + fresh.size());
        for (const Contact* contact : m_lastOrder)
            keyed.push_back({contact, {}, {}});
        for (const Contact* contact : fresh)
            keyed.push_back({contact, {}, {}});
        keyed = sortedKeyed(std::move(keyed));
        m_lastOrder.clear();
        m_lastOrder.reserve(keyed.size());
        for (const Keyed& item : keyed)
            m_lastOrder.push_back(item.contact);
        return;
    }
    std::vector<Keyed> keyed;
    keyed.reserve(fresh.size());
    for (const Contact* contact : fresh)
        keyed.push_back({contact, {}, {}});
    keyed = sortedKeyed(std::move(keyed));
    const QCollator& collator = threadCollator();
    std::vector<const Contact*> order;
    order.reserve(placedBefore + keyed.size());
    auto from = m_lastOrder.cbegin();
    for (const Keyed& item : keyed) {
        const auto at =
            std::upper_bound(from, m_lastOrder.cend(), item, [&](const Keyed& a, const Contact* b) {
                // Keys of the placed person only as far as the comparison needs them.
                if (const int given = a.given->compare(collator.sortKey(b->person->givenName)); given != 0)
                    return given < 0;
                if (const int family = a.family->compare(collator.sortKey(b->person->familyName));
                    family != 0)
                    return family < 0;
                return a.contact->person->id < b->person->id;
            });
        order.insert(order.end(), from, at);
        order.push_back(item.contact);
        from = at;
    }
    order.insert(order.end(), from, m_lastOrder.cend());
    m_lastOrder = std::move(order);
}

QList<Shared<Person>> VCardBook::peopleOf(const std::vector<const Contact*>& order) {
    QList<Shared<Person>> people;
    people.reserve(qsizetype(order.size()));
    for (const Contact* contact : order)
        people.append(contact->person);
    return people;
}

qsizetype VCardBook::makeThumbnails(qsizetype files) {
    struct Due {
        Entry* entry;
        FileStamp stamp;
    };
    QList<Due> batch;
    for (std::size_t i = 0; i < m_entries.size() && batch.size() < files; ++i) {
        Entry& entry = m_entries[i];
        if (!entry.thumbnailsDue)
            continue;
        entry.thumbnailsDue = false;
        --m_thumbnailsDue;
        batch.append({&entry, m_listing.stamp(qsizetype(i))});
    }
    if (batch.isEmpty())
        return m_thumbnailsDue;

    const auto makeThumbnails = [](const Due& due) {
        QByteArray bytes;
        try {
            bytes = readWhole(due.stamp.path, due.stamp.size);
        } catch (const FileError&) {
            return; // gone or changed: the next read takes it up again
        }
        const VCard::Document document = VCard::parse(bytes);
        for (Contact& contact : due.entry->contacts) {
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
    return m_thumbnailsDue;
}

std::vector<VCardBook::Entry> VCardBook::loadAll(const QList<FileStamp>& stamps) {
    std::vector<Entry> entries(std::size_t(stamps.size()));
    std::vector<qsizetype> indexes(stamps.size());
    std::iota(indexes.begin(), indexes.end(), qsizetype(0));
    // A first read of a large book spreads over the cores; a few changed files are read here.
    forEachItem(m_pool, indexes, 64, [&](qsizetype i) { entries[std::size_t(i)] = load(stamps[i]); });
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
    // The file of the contact as of the last refresh: an edit is rare, and a look through ten
    // thousand identifiers costs less than a table of them kept all day.
    const auto known = [this, &id]() -> std::optional<QString> {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            for (const Contact& contact : m_entries[i].contacts) {
                if (contact.placed && contact.person->id == id)
                    return m_listing.path(qsizetype(i));
            }
        }
        return std::nullopt;
    };
    // The last refresh usually knows the file; when it is stale, look again once.
    if (const auto path = known()) {
        if (auto located = locateIn(*path, id))
            return std::move(*located);
    }
    refresh();
    if (const auto path = known()) {
        if (auto located = locateIn(*path, id))
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
    return folderForNewContacts(m_folders, m_chosenNewContactsFolder);
}

QString VCardBook::folderForNewContacts(const QStringList& folders, const QString& chosen) {
    if (folders.isEmpty())
        throw PemmoError::contactsDenied();
    // The user's choice counts only while it is part of the book: a contact written elsewhere
    // would never be read back.
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        const QString parent = QFileInfo(chosen).path();
        if (folders.contains(chosen) || folders.contains(parent))
            return chosen;
    }
    // A folder that holds only address books (as vdirsyncer fills it) gets the new card in the first of them.
    const QString folder = folders.first();
    Listing listing;
    QStringList subfolders;
    if (!listFolder(folder, listing, &subfolders))
        throw PemmoError::contactsDenied();
    if (listing.files.isEmpty() && !subfolders.isEmpty())
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
    const QByteArray changed = VCard::applyDraft(located.bytes, located.document.cards[located.cardIndex],
                                                 draft, QDateTime::currentDateTimeUtc());
    if (changed != located.bytes)
        rewrite(located.path, changed);
}

void VCardBook::remove(const QString& id) {
    const Located located = locate(id);
    if (located.document.cardCount > 1) {
        rewrite(located.path, VCard::removeCard(located.bytes, located.document, located.cardIndex,
                                                QFileInfo(located.path).completeBaseName()));
        return;
    }
    const QByteArray encoded = QFile::encodeName(located.path);
    if (::unlink(encoded.constData()) != 0 && errno != ENOENT)
        throw FileError(u"Could not delete \u201C"_qs + located.path + u"\u201D: "_qs +
                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace pemmo
