// Durable, atomic replacement of a file's contents.
#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace pemmo::AtomicFile {

// Writes `data` to a temporary file beside `path`, flushes it to disk, renames it over `path` and
// syncs the folder, so that after a crash or power loss at any instant `path` holds either the old
// or the new bytes, never a mix. The new file is readable by the owner only. Throws FileError.
void write(const QString& path, std::string_view data);
inline void write(const QString& path, const QByteArray& data) {
    write(path, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
}

// Reads the whole file. Throws FileError.
QByteArray read(const QString& path);

// Makes sure a folder exists at `path`, creating missing parents. Throws FileError.
void ensureDirectory(const QString& path);

// The prefix of the temporary files `write` leaves behind if it is killed mid-write.
QString temporaryPrefix(const QString& path);

} // namespace pemmo::AtomicFile
