#include "App/DataFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace pemmo {

QString dataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Pemmo"));
}

std::unique_ptr<QLockFile> lockDataFolder(const QString& folder, QLockFile::LockError* error) {
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("pemmo.lock")));
    // A lock left by a crashed process is taken over after a short wait.
    lock->setStaleLockTime(0);
    const bool locked = lock->tryLock(500);
    if (error)
        *error = lock->error();
    if (!locked)
        return nullptr;
    return lock;
}

} // namespace pemmo
