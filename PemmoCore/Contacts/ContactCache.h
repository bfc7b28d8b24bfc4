// The parsed people of every vCard file, kept between runs so that a start reads only the files
// that changed and stats the rest.
//
// The cache is derived data and never trusted over the files: each file's entry is keyed by its
// path, modification time (nanoseconds), size and inode, and is used only while all four still
// match. A cache that is missing, damaged (its checksum fails), of another format version or for
// other folders reads as empty. Entries of files modified shortly before the listing that found
// them are left out when writing, since a second change within the file system's timestamp
// granularity would leave all four keys as they were.
//
// Format: a fixed header (magic, format version, payload length, CRC-32 of the payload), then a
// QDataStream payload in little-endian order: the folders, then per file its stamp and its cards.
#pragma once

#include "Contacts/VCardBook.h"
#include "Records/Person.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pemmo::ContactCache {

// Bumped whenever the payload's layout or the meaning of a parsed field changes.
inline constexpr quint32 formatVersion = 2;

// Files modified less than this before their listing are not cached (see above).
inline constexpr qint64 racyWindowNanoseconds = 2'000'000'000;

struct Card {
    Person person;
    int position = 1;          // among the cards of its file
    bool thumbnailDue = false; // holds a photo not yet scaled down

    bool operator==(const Card&) const = default;
};

struct File {
    VCardBook::FileStamp stamp;
    QList<Card> cards;

    bool operator==(const File&) const = default;
};

// The cache file for a set of address-book folders, in `cacheFolder`.
QString pathFor(const QString& cacheFolder, const QStringList& folders);

// The cache's bytes.
QByteArray encode(const QStringList& folders, const QList<File>& files);
// The files the bytes hold, in the order they were written (the book writes them in the order of
// its listing, so a reader can match them to a new listing without hashing ten thousand paths);
// empty when the bytes are not a sound cache of this format for exactly these folders.
QList<File> decode(const QByteArray& bytes, const QStringList& folders);

// Reads the cache at `path`; empty when it is missing or unusable. Never throws.
QList<File> read(const QString& path, const QStringList& folders);
// Replaces the cache at `path` atomically (a temporary file renamed over it), creating its
// folder. No flush to disk: a cache lost or torn in a crash fails its checksum and is rebuilt.
// Returns false, with a warning logged, when it cannot be written.
bool write(const QString& path, const QByteArray& bytes);

} // namespace pemmo::ContactCache
