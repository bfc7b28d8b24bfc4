#include "Support/FileOperations.h"

#include "Support/AtomicFile.h"

#include <QFileInfo>

namespace pemmo {

std::shared_ptr<const FileOperations> FileOperations::real() {
    static const auto instance = std::make_shared<const FileOperations>();
    return instance;
}

bool FileOperations::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

QByteArray FileOperations::read(const QString& path) const {
    return AtomicFile::read(path);
}

void FileOperations::write(const QString& path, std::string_view data) const {
    AtomicFile::write(path, data);
}

void FileOperations::ensureDirectory(const QString& path) const {
    AtomicFile::ensureDirectory(path);
}

} // namespace pemmo
