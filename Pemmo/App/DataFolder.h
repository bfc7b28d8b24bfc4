// Where Pemmo keeps its files, and the lock that makes one process their only writer.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace pemmo {

// $XDG_DATA_HOME/Pemmo, normally ~/.local/share/Pemmo.
QString dataFolder();

// Takes the data folder's lock (making the folder first), or returns null: when another Pemmo
// process holds it, `error` is set to QLockFile::LockFailedError; when the folder or the lock
// cannot be made at all (a file in the folder's place, a read-only disk), to another error.
std::unique_ptr<QLockFile> lockDataFolder(const QString& folder, QLockFile::LockError* error = nullptr);

} // namespace pemmo
