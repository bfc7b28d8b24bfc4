// Where address books already live on this computer: the vCard folders that vdirsyncer and khard
// keep, read from their configuration files and their usual places. Offered by the first-run window.
#pragma once

#include <QString>
#include <QStringList>

namespace pemmo::ContactFolderDiscovery {

// The "path" values of a configuration in khard's or vdirsyncer's INI-like syntax, "~" expanded
// against `home` and quotes removed. For vdirsyncer only storages of type "filesystem" count.
QStringList khardPaths(const QString& configText, const QString& home);
QStringList vdirsyncerPaths(const QString& configText, const QString& home);

// The folders under `path` that hold vCard files: the folder itself, or its direct subfolders (a
// vdirsyncer storage keeps one collection per subfolder).
QStringList vCardFolders(const QString& path);

// Every vCard folder found for the user with that home and configuration folder, each once, in
// the order: vdirsyncer's, khard's, then the usual "~/.contacts" and "~/.local/share/contacts".
struct Found {
    QString path;
    QString source; // "vdirsyncer", "khard" or "found"
};
QList<Found> find(const QString& home, const QString& configHome);

} // namespace pemmo::ContactFolderDiscovery
