// The file operations the record store performs, behind one seam: the real ones by default, and a
// failing stand-in in tests (root reads and renames whatever the permission bits say).
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>

namespace pemmo {

class FileOperations {
public:
    virtual ~FileOperations() = default;

    // The real file system.
    static std::shared_ptr<const FileOperations> real();

    virtual bool exists(const QString& path) const;
    // Reads the whole file. Throws FileError.
    virtual QByteArray read(const QString& path) const;
    // Replaces the file's contents atomically (AtomicFile::write). Throws FileError.
    virtual void write(const QString& path, std::string_view data) const;
    // Makes sure the folder exists, creating missing parents. Throws FileError.
    virtual void ensureDirectory(const QString& path) const;
};

} // namespace pemmo
