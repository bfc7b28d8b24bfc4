#include "App/DoctorCommand.h"

#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "Contacts/VCardFolderRepository.h"
#include "Platform/SecretServiceStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/GloveEmbedder.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/KeychainError.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Support/WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pemmo::DoctorCommand {
namespace {

using Console::print;

QString plural(qsizetype count, const QString& one, const QString& many) {
    return QString::number(count) + u' ' + (count == 1 ? one : many);
}

QString settingsLine(const DefaultsFileStore& defaults) {
    QString line = u"Settings: "_qs + defaults.path();
    if (const auto error = defaults.lastError())
        return line + u" \u2014 "_qs + *error;
    if (!QFileInfo::exists(defaults.path()))
        return line + u" (not written yet; the defaults apply)"_qs;
    return line;
}

QStringList addressBookLines(const QStringList& chosen, const QString& directory) {
    const QStringList folders = AppEnvironment::contactFolders(chosen, directory);
    const QString fallback = AppEnvironment::defaultContactFolder(directory);
    if (folders.isEmpty())
        return {u"Address book: none chosen yet ("_qs + fallback + u" does not exist)"_qs};
    QStringList lines;
    for (const QString& folder : folders) {
        QString line = u"Address book: "_qs + folder + u" \u2014 "_qs;
        VCardFolderRepository book({folder}, fallback);
        if (book.authorizationStatus() == ContactsAuthorization::Denied) {
            lines.append(line + (QFileInfo::exists(folder) ? u"cannot be read"_qs : u"does not exist"_qs));
            continue;
        }
        try {
            const qsizetype count = pemmo::waitFor(book.fetchPeople()).size();
            lines.append(line + plural(count, u"contact"_qs, u"contacts"_qs));
        } catch (const std::exception& error) {
            lines.append(line + ProfileSyncEngine::errorMessage(error));
        }
    }
    return lines;
}

QString storeLine(const QString& directory) {
    // Beside the running application the store is read as it is, without repairs.
    const auto lock = lockDataFolder(directory);
    PemmoStore store(directory, PemmoStore::defaultWriteDelay, systemClock(),
                     lock ? PemmoStore::Access::Owner : PemmoStore::Access::Reader);
    const bool existed = QFileInfo::exists(store.storeFilePath());
    std::optional<QString> loadError;
    try {
        pemmo::waitFor(store.load());
    } catch (const std::exception& error) {
        loadError = ProfileSyncEngine::errorMessage(error);
    }
    // A store that changes nothing says why in its own words, the unreadable one included.
    const std::optional<QString> readOnly = pemmo::waitFor(store.readOnlyReason());
    if (loadError && readOnly)
        return u"Store: read-only: "_qs + *readOnly;
    if (loadError)
        return u"Store: cannot be read: "_qs + *loadError;
    if (!existed)
        return u"Store: no records yet ("_qs + PemmoStore::storeFileName() + u" not written yet)"_qs;
    const qsizetype count = pemmo::waitFor(store.allRecords()).size();
    QString line =
        u"Store: "_qs + plural(count, u"record"_qs, u"records"_qs) + u" in "_qs + PemmoStore::storeFileName();
    if (readOnly)
        line += u", read-only: "_qs + *readOnly;
    return line;
}

QString keyringLine() {
    try {
        const bool stored = SecretServiceStore().read(SecretStore::cloudKeyAccount()).has_value();
        return stored ? u"Keyring: available, AI key stored"_qs : u"Keyring: available, no AI key stored"_qs;
    } catch (const KeychainError& error) {
        return u"Keyring: unavailable ("_qs + error.description() + u')';
    }
}

// Which embedder the semantic tier uses, or why there is none, and what the index file holds.
QStringList semanticLines(const QString& directory, bool enabled) {
    const QString setting = enabled ? QString() : u" (switched off in the settings)"_qs;
    std::shared_ptr<GloveEmbedder> embedder = GloveEmbedder::locate();
    if (!embedder) {
        return {u"Semantic search: unavailable, no word table found; keyword search only"_qs + setting,
                u"  looked for: "_qs + GloveEmbedder::searchPaths().join(u", "_qs)};
    }
    QStringList lines{u"Semantic search: "_qs + embedder->identifier() + u" ("_qs +
                          QString::number(embedder->table().count()) + u" words, dimension "_qs +
                          QString::number(embedder->dimension()) + u")"_qs + setting,
                      u"  word table: "_qs + embedder->table().path()};
    const QString file = QDir(directory).filePath(EmbeddingIndexFile::fileName());
    if (!QFileInfo::exists(file)) {
        lines.append(u"Semantic index: not built yet ("_qs + EmbeddingIndexFile::fileName() +
                     u" not written yet)"_qs);
        return lines;
    }
    EmbeddingIndex index(embedder, file);
    const EmbeddingIndex::Stats stats = pemmo::waitFor(index.stats());
    lines.append(u"Semantic index: "_qs + plural(stats.entries, u"person"_qs, u"people"_qs) + u", "_qs +
                 plural(stats.vectors, u"vector"_qs, u"vectors"_qs) + u" in "_qs +
                 EmbeddingIndexFile::fileName());
    return lines;
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (!arguments.isEmpty()) {
        print(err, u"Usage: pemmo doctor\n"_qs);
        return 2;
    }
    const QString directory = dataFolder();
    DefaultsFileStore defaults;
    const SettingsStore settings(defaults);

    QStringList lines{u"Pemmo "_qs + QCoreApplication::applicationVersion(), u"Data folder: "_qs + directory,
                      settingsLine(defaults)};
    lines += addressBookLines(settings.contactFolders(), directory);
    lines.append(storeLine(directory));
    lines += semanticLines(directory, settings.semanticSearchEnabled());
    lines.append(keyringLine());
    print(out, lines.join(u'\n') + u'\n');
    return 0;
}

} // namespace pemmo::DoctorCommand
