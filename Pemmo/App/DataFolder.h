// Where Pemmo keeps its files, and the lock that makes one process their only writer.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace pemmo {

// $XDG_DATA_HOME/Pemmo, normally ~/.local/share/Pemmo.
QString dataFolder();

// Takes the data folder's lock, or returns null when another Pemmo process holds it.
std::unique_ptr<QLockFile> lockDataFolder(const QString& folder);

} // namespace pemmo
