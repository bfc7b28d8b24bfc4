#include "App/DoctorCommand.h"

#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "Contacts/VCardFolderRepository.h"
#include "Platform/SecretServiceStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Semantic/Embedder.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/GloveEmbedder.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/KeychainError.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppDelegate.h"
#include "Store/PemmoStore.h"
#include "Support/WaitFor.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace pemmo::DoctorCommand {
namespace {

using Console::print;

QString plural(qsizetype count, const QString& one, const QString& many) {
    return QString::number(count) + u' ' + (count == 1 ? one : many);
}

QString settingsLine(const KeyValueStore* file) {
    const auto* defaults = dynamic_cast<const DefaultsFileStore*>(file);
    if (!defaults)
        return u"Settings: kept in memory for this session"_qs;
    QString line = u"Settings: "_qs + defaults->path();
    if (const auto error = defaults->lastError())
        return line + u" \u2014 "_qs + *error;
    if (!QFileInfo::exists(defaults->path()))
        return line + u" (not written yet; the defaults apply)"_qs;
    return line;
}

QCoro::Task<QStringList> addressBookLines(QStringList chosen, QString directory) {
    const QStringList folders = AppEnvironment::contactFolders(chosen, directory);
    const QString fallback = AppEnvironment::defaultContactFolder(directory);
    if (folders.isEmpty())
        co_return QStringList{u"Address book: none chosen yet ("_qs + fallback + u" does not exist)"_qs};
    QStringList lines;
    for (const QString& folder : folders) {
        auto counting = folderState(folder, fallback);
        lines.append(u"Address book: "_qs + folder + u" \u2014 "_qs + co_await counting);
    }
    co_return lines;
}

QCoro::Task<QString> describeStore(PemmoStore& store, bool existed, std::optional<QString> loadError) {
    // A store that changes nothing says why in its own words, the unreadable one included.
    auto askingReadOnly = store.readOnlyReason();
    const std::optional<QString> readOnly = co_await askingReadOnly;
    if (loadError && readOnly)
        co_return u"Store: read-only: "_qs + *readOnly;
    if (loadError)
        co_return u"Store: cannot be read: "_qs + *loadError;
    if (!existed)
        co_return u"Store: no records yet ("_qs + PemmoStore::storeFileName() + u" not written yet)"_qs;
    auto askingDamage = store.damage();
    if (const std::optional<QString> damage = co_await askingDamage)
        co_return u"Store: damaged, Pemmo starts with no records: "_qs + *damage;
    auto reading = store.allRecords();
    const qsizetype count = (co_await reading).size();
    QString line =
        u"Store: "_qs + plural(count, u"record"_qs, u"records"_qs) + u" in "_qs + PemmoStore::storeFileName();
    if (readOnly)
        line += u", read-only: "_qs + *readOnly;
    auto askingWriteError = store.lastWriteError();
    if (const std::optional<QString> writeError = co_await askingWriteError)
        line += u"; the last write failed: "_qs + *writeError;
    co_return line;
}

QCoro::Task<QString> storeFileLine(QString directory) {
    // The store is read as it is: the doctor only looks, so it neither sets a damaged file aside
    // nor converts an earlier one (Pemmo does both when it starts).
    PemmoStore store(directory, PemmoStore::defaultWriteDelay, systemClock(), PemmoStore::Access::Reader);
    const bool existed = QFileInfo::exists(store.storeFilePath());
    std::optional<QString> loadError;
    try {
        auto loading = store.load();
        co_await loading;
    } catch (const std::exception& error) {
        loadError = ProfileSyncEngine::errorMessage(error);
    }
    auto describing = describeStore(store, existed, loadError);
    co_return co_await describing;
}

QString keyringLine(SecretStore& secrets) {
    try {
        const bool stored = secrets.read(SecretStore::cloudKeyAccount()).has_value();
        return stored ? u"Keyring: available, AI key stored"_qs : u"Keyring: available, no AI key stored"_qs;
    } catch (const KeychainError& error) {
        return u"Keyring: unavailable ("_qs + error.description() + u')';
    }
}

QCoro::Task<QStringList> indexLines(EmbeddingIndex& index, QString file) {
    if (!QFileInfo::exists(file)) {
        co_return QStringList{u"Semantic index: not built yet ("_qs + EmbeddingIndexFile::fileName() +
                              u" not written yet)"_qs};
    }
    auto counting = index.stats();
    const EmbeddingIndex::Stats stats = co_await counting;
    co_return QStringList{u"Semantic index: "_qs + plural(stats.entries, u"person"_qs, u"people"_qs) +
                          u", "_qs + plural(stats.vectors, u"vector"_qs, u"vectors"_qs) + u" in "_qs +
                          EmbeddingIndexFile::fileName()};
}

// Which embedder the semantic tier uses, or why there is none, and what the index file holds.
QStringList gloveLines(const GloveEmbedder& embedder, const QString& setting) {
    return {u"Semantic search: "_qs + embedder.identifier() + u" ("_qs +
                QString::number(embedder.table().count()) + u" words, dimension "_qs +
                QString::number(embedder.dimension()) + u")"_qs + setting,
            u"  word table: "_qs + embedder.table().path()};
}

QCoro::Task<QStringList> semanticLines(Sources sources) {
    const QString setting =
        sources.settings->semanticSearchEnabled() ? QString() : u" (switched off in the settings)"_qs;
    const QString file = QDir(sources.directory).filePath(EmbeddingIndexFile::fileName());
    if (sources.index) {
        // The running Pemmo's embedder says what the command line's says.
        const Embedder& running = sources.index->embedder();
        QStringList lines;
        if (const auto* glove = dynamic_cast<const GloveEmbedder*>(&running))
            lines = gloveLines(*glove, setting);
        else
            lines = {u"Semantic search: "_qs + running.identifier() + u" (dimension "_qs +
                     QString::number(running.dimension()) + u")"_qs + setting};
        auto describing = indexLines(*sources.index, file);
        lines += co_await describing;
        co_return lines;
    }
    std::shared_ptr<GloveEmbedder> embedder = sources.runningIndex ? nullptr : GloveEmbedder::locate();
    if (!embedder) {
        co_return QStringList{u"Semantic search: unavailable, no word table found; keyword search only"_qs +
                                  setting,
                              u"  looked for: "_qs + GloveEmbedder::searchPaths().join(u", "_qs)};
    }
    QStringList lines = gloveLines(*embedder, setting);
    EmbeddingIndex index(embedder, file);
    auto describing = indexLines(index, file);
    lines += co_await describing;
    co_return lines;
}

} // namespace

QCoro::Task<QString> folderState(QString folder, QString fallback) {
    VCardFolderRepository book({folder}, fallback);
    if (book.authorizationStatus() == ContactsAuthorization::Denied)
        co_return QFileInfo::exists(folder) ? u"cannot be read"_qs : u"does not exist"_qs;
    try {
        auto fetching = book.fetchPeople();
        const qsizetype count = (co_await fetching).size();
        co_return plural(count, u"contact"_qs, u"contacts"_qs);
    } catch (const std::exception& error) {
        co_return ProfileSyncEngine::errorMessage(error);
    }
}

QCoro::Task<QStringList> report(Sources sources) {
    QStringList lines{u"Pemmo "_qs + QCoreApplication::applicationVersion(),
                      u"Data folder: "_qs + sources.directory, settingsLine(sources.settingsFile)};
    auto reading = addressBookLines(sources.settings->contactFolders(), sources.directory);
    lines += co_await reading;
    if (sources.store) {
        auto describing =
            describeStore(*sources.store, QFileInfo::exists(sources.store->storeFilePath()), std::nullopt);
        lines.append(co_await describing);
    } else {
        auto describing = storeFileLine(sources.directory);
        lines.append(co_await describing);
    }
    auto semantic = semanticLines(sources);
    lines += co_await semantic;
    // The keyring may take its time (a daemon starting, a prompt to unlock it): it is asked on a
    // worker thread, so a report for the diagnostics screen never holds the panel.
    std::shared_ptr<SecretStore> keyring =
        sources.secrets ? sources.secrets : std::make_shared<SecretServiceStore>();
    auto asking = QtConcurrent::run([keyring] { return keyringLine(*keyring); });
    lines.append(co_await asking);
    lines.append(sources.shortcut.value_or(
        u"Global shortcut: "_qs +
        AppDelegate::storedShortcut(*sources.settingsFile).toString(QKeySequence::NativeText) +
        u" (whether it is active shows in the running Pemmo's diagnostics)"_qs));
    co_return lines;
}

int run(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (!arguments.isEmpty()) {
        print(err, u"Usage: pemmo doctor\n"_qs);
        return 2;
    }
    // Looking changes nothing: the settings file is only read.
    const auto defaults = DefaultsFileStore::reader();
    const SettingsStore settings(*defaults);
    Sources sources;
    sources.directory = dataFolder();
    sources.settingsFile = defaults.get();
    sources.settings = &settings;
    const QStringList lines = pemmo::waitFor(report(sources));
    print(out, lines.join(u'\n') + u'\n');
    return 0;
}

} // namespace pemmo::DoctorCommand
