// Durable, atomic replacement of a file's contents.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

namespace pemmo::AtomicFile {

// Writes `data` to a temporary file beside `path`, flushes it to disk, renames it over `path` and
// syncs the folder, so that after a crash or power loss at any instant `path` holds either the old
// or the new bytes, never a mix. The new file gets the permission bits `mode`, or is readable by
// the owner only when no mode is given. Throws FileError.
void write(const QString& path, std::string_view data, std::optional<unsigned> mode = std::nullopt);
inline void write(const QString& path, const QByteArray& data, std::optional<unsigned> mode = std::nullopt) {
    write(path, std::string_view(data.constData(), static_cast<std::size_t>(data.size())), mode);
}

// Reads the whole file. Throws FileError.
QByteArray read(const QString& path);

// Makes sure a folder exists at `path`, creating missing parents. Throws FileError.
void ensureDirectory(const QString& path);

// The prefix of the temporary files `write` leaves behind if it is killed mid-write.
QString temporaryPrefix(const QString& path);

} // namespace pemmo::AtomicFile
