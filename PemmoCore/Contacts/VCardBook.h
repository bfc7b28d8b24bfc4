// The address book held in vCard folders, read and written synchronously by the one thread that
// owns it. Parsed cards are cached per file (path, modification time, size, inode), so a second
// read parses only the files that changed since; with a cache folder, the first read of a later
// run does the same from the contact cache (see ContactCache.h).
//
// Photos are scaled down to thumbnails apart from reading: a read gives people with
// `hasFullImage` set and no thumbnail yet, and `makeThumbnails` fills them in, a batch at a time,
// for the next read. Decoding thousands of photos would otherwise hold up every first read.
//
// Layout: every folder holds address books in the vdir layout that vdirsyncer and khard use: its
// own ".vcf" files, and one level of subfolders, each an address book of ".vcf" files. Hidden
// files and folders are left out. A file may hold several cards; each becomes a person. When two
// cards have the same identifier, the one in the first folder (then the first path) wins and the
// other is left out with a warning.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Contacts/VCardReader.h"
#include "Records/Person.h"
#include "Support/Clock.h"
#include "Support/Shared.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <optional>
#include <vector>

namespace pemmo {

class VCardBook {
public:
    struct FileStamp {
        QString path;
        qint64 modified = 0; // nanoseconds since the epoch
        qint64 size = 0;
        quint64 inode = 0;

        bool operator==(const FileStamp&) const = default;
    };

    // The vCard files of the folders as one look found them. Kept all day for ten thousand files,
    // so a file is held as the index of its folder and its name in one array of names, not as a
    // path of its own.
    struct Listing {
        struct File {
            qint64 modified = 0; // nanoseconds since the epoch
            qint64 size = 0;
            quint64 inode = 0;
            quint32 folder = 0;  // in `folders`
            quint32 nameEnd = 0; // in `names`; the name starts where the previous file's ends

            bool operator==(const File&) const = default;
        };

        QStringList folders; // the folders and their address-book subfolders
        QList<File> files;   // sorted by path within each folder, folders in the given order
        QByteArray names;    // the files' names as the file system spells them, one after another

        QByteArrayView name(qsizetype file) const;
        QString path(qsizetype file) const;
        FileStamp stamp(qsizetype file) const;
        // The same paths with the same stamps, in the same order (the folders may differ).
        bool sameFiles(const Listing& other) const;

        bool operator==(const Listing&) const = default;
    };

    // `threads`: how many threads a first read of a large book may use; by default one per core,
    // up to four. `clock`: when the folders are listed, to tell files changed just before.
    explicit VCardBook(QStringList folders = {}, int threads = 0, Clock clock = systemClock());

    VCardBook(const VCardBook&) = delete;
    VCardBook& operator=(const VCardBook&) = delete;

    const QStringList& folders() const { return m_folders; }
    void setFolders(QStringList folders);
    // Where `create` writes: a folder of the book or one of its address-book subfolders. Empty, or
    // a folder that is neither, means the first address book of the first folder.
    const QString& chosenFolderForNewContacts() const { return m_chosenNewContactsFolder; }
    void setFolderForNewContacts(QString folder);

    // Where the contact cache lives (normally $XDG_CACHE_HOME/Pemmo); empty: no cache.
    void setCacheFolder(QString folder);
    // The cache file of the current folders; empty without a cache folder.
    QString cachePath() const;
    // Writes the contact cache when the book changed since it was last read or written; returns
    // whether it wrote it. Never throws: a cache that cannot be written is only a slower start.
    bool saveCache();

    // Whether `folder` is a folder whose entries can be read.
    static bool canRead(const QString& folder);
    // The vCard files of `folders`. Throws PemmoError::contactsDenied() when a folder cannot be read.
    static Listing list(const QStringList& folders);
    // Absolute, clean paths, duplicates dropped.
    static QStringList normalized(const QStringList& folders);
    // The address book a new contact goes to: `chosen` while it is one of `folders` (normalized) or
    // one of their address-book subfolders, else the first folder, or the first of its address
    // books when it holds only those. Throws PemmoError::contactsDenied() when there is no folder
    // or the first cannot be read.
    static QString folderForNewContacts(const QStringList& folders, const QString& chosen);
    // The same over this book's folders and the folder chosen with setFolderForNewContacts.
    QString folderForNewContacts() const;

    // Every person, sorted by given name, then family name. Throws PemmoError::contactsDenied()
    // when there is no folder or one cannot be read. With `trustLastListing` the folders are
    // taken to be as the last read found them, and only the cache is consulted.
    QList<Shared<Person>> people(bool trustLastListing = false);
    // Reads what `people` reads, without making the list: a read ahead of the first fetch.
    void read();
    // How many files still hold photos without thumbnails.
    qsizetype pendingThumbnails() const { return m_thumbnailsDue; }
    // Makes the thumbnails of up to `files` files (a photo that is no image loses its
    // `hasFullImage`); returns how many files are still due.
    qsizetype makeThumbnails(qsizetype files);
    // The stored photo of the contact. Throws PemmoError::notFound.
    std::optional<QByteArray> fullImage(const QString& id);
    // Writes a new vCard 3.0 file named after its fresh UID; returns the UID.
    QString create(const ContactDraft& draft);
    // Rewrites the contact's file in place, touching only the lines the draft changes. Throws
    // PemmoError::notFound, FileError.
    void update(const QString& id, const ContactDraft& draft);
    // Deletes the contact's file, or its card from a file of several. Throws PemmoError::notFound, FileError.
    void remove(const QString& id);

    // How many times a file was read and parsed; safe to read from any thread.
    int parseCount() const { return m_parseCount.load(); }
    // The folders as the last read found them; none before a read of the current folders.
    const Listing* lastListing() const { return m_listingCurrent ? &m_listing : nullptr; }

private:
    struct Contact {
        Shared<Person> person; // the body the profiles share
        int position;
        bool thumbnailDue = false;
        bool placed = false; // has its place in `m_lastOrder`
    };
    struct Entry {
        std::vector<Contact> contacts;
        bool thumbnailsDue = false; // waits for `makeThumbnails`
    };
    struct Located {
        QString path;
        QByteArray bytes;
        VCard::Document document;
        qsizetype cardIndex = -1; // in `document.cards`
    };

    // Reads what changed since the last call; the people sorted and their locations updated.
    void refresh(bool trustLastListing = false);
    std::vector<Entry> loadAll(const QList<FileStamp>& stamps);
    // Safe on any thread.
    Entry load(const FileStamp& stamp);
    // Places the people not yet in `m_lastOrder` there, sorted by name.
    void place(std::vector<Contact*> fresh);
    Located locate(const QString& id);
    std::optional<Located> locateIn(const QString& path, const QString& id);

    QStringList m_folders;
    Clock m_clock;
    QString m_cacheFolder;
    bool m_cacheConsulted = false; // the cache file was read for the current folders
    bool m_cacheDirty = false;     // the cache file no longer matches `m_entries`
    qint64 m_listedAt = 0;         // when the last listing began, in nanoseconds since the epoch
    QString m_chosenNewContactsFolder;
    // The files of the last read and what they hold, entry for file. After the folders change
    // they stay until the next read, which takes what it still can from them.
    Listing m_listing;
    std::vector<Entry> m_entries;
    bool m_listingCurrent = false; // `m_listing` is of the current folders
    qsizetype m_thumbnailsDue = 0; // entries with photos still to scale down
    QSet<QString> m_reportedDuplicates;
    QThreadPool m_pool; // the threads of a first read and of thumbnails
    std::atomic<int> m_parseCount = 0;
    // The last answer, given again while no file changed and no thumbnail came in. It is kept as
    // where its people sit in `m_entries` (which only `refresh` adds to or takes from), not as a
    // list of its own: the caller joins the people into profiles and drops the list, and a copy
    // kept here would be one more array of ten thousand people held all day. Kept sorted, it
    // also lets a read after a few changed files place their people without comparing every name
    // again, so no collation key is kept for anyone.
    std::vector<const Contact*> m_lastOrder;
    bool m_lastPeopleCurrent = false;
    static QList<Shared<Person>> peopleOf(const std::vector<const Contact*>& order);
};

} // namespace pemmo
