// `pemmo doctor`: a few plain lines on what Pemmo would start with — the data folder, the settings
// file, the address book folders, the records, the semantic index, the keyring and the global
// shortcut — for a user who wonders why. The diagnostics screen shows the same report, made from the
// running application's own services.
#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

namespace pemmo {
class EmbeddingIndex;
class KeyValueStore;
class PemmoStore;
class SecretStore;
class SettingsStore;
} // namespace pemmo

namespace pemmo::DoctorCommand {

// Where the facts come from. Null services are read from disk as they are (the command line);
// the running application passes its own.
struct Sources {
    QString directory;                           // the data folder
    const KeyValueStore* settingsFile = nullptr; // where the settings are kept
    const SettingsStore* settings = nullptr;     // required
    PemmoStore* store = nullptr;                 // the running store; null reads the file
    std::shared_ptr<SecretStore> secrets;        // null asks the desktop's Secret Service
    EmbeddingIndex* index = nullptr;             // the running index; null looks for a word table
    bool runningIndex = false;                   // with `index` null: the running app has none
    std::optional<QString> shortcut;             // the running shortcut's state, one line
};

// The report, one fact a line; every line starts with its subject ("Settings:", "Store:", …).
QCoro::Task<QStringList> report(Sources sources);

// What one address book folder holds: "3 contacts", "does not exist", "cannot be read", or why
// its cards could not be read. `fallback`: the data folder's default address book.
QCoro::Task<QString> folderState(QString folder, QString fallback);

int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace pemmo::DoctorCommand
