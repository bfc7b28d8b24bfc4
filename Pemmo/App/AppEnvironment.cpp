#include "App/AppEnvironment.h"

#include "App/DataFolder.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Contacts/VCardFolderRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Platform/SecretServiceStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/InMemorySecretStore.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace pemmo {

std::unique_ptr<AppEnvironment> AppEnvironment::live() {
    return live(LiveOptions{});
}

std::unique_ptr<AppEnvironment> AppEnvironment::live(const LiveOptions& options) {
    std::unique_ptr<AppEnvironment> env(new AppEnvironment);
    // 1. The data folder. A failure to make it shows later, as the store's load error.
    env->m_directory = options.directory.isEmpty() ? dataFolder() : options.directory;
    QDir().mkpath(env->m_directory);
    // 2. The preferences, 3. the keyring, 4. the address book.
    env->m_keyValues = std::make_unique<DefaultsFileStore>(
        options.defaultsPath.isEmpty() ? DefaultsFileStore::standardPath() : options.defaultsPath);
    env->m_settings = std::make_unique<SettingsStore>(*env->m_keyValues);
    env->m_secrets = std::make_unique<SecretServiceStore>(SecretStore::serviceName());
    const QString defaultFolder = defaultContactFolder(env->m_directory);
    auto contacts = std::make_unique<VCardFolderRepository>(
        options.contactFolders ? *options.contactFolders
                               : contactFolders(env->m_settings->contactFolders(), env->m_directory),
        defaultFolder, VCardFolderRepository::defaultTimeLimit, VCardFolderRepository::defaultQuietPeriod,
        nullptr,
        options.cacheFolder.isEmpty() ? VCardFolderRepository::standardCacheFolder() : options.cacheFolder);
    VCardFolderRepository* folders = contacts.get();
    env->m_contacts = std::move(contacts);

    env->buildServices(Timings{}, options.readOnlyStore);

    if (!options.contactFolders) {
        // The folders are the user's choice: remember the one onboarding adopts, and follow a
        // change made in the settings at once.
        SettingsStore* settings = env->m_settings.get();
        ProfileSyncEngine* sync = env->m_sync.get();
        const QString directory = env->m_directory;
        // The folder onboarding adopts is written down; otherwise only a change the settings do
        // not already say is, so "~/Contacts" stays as the user wrote it.
        connect(folders, &VCardFolderRepository::foldersChanged, settings,
                [settings, directory](const QStringList& chosen) {
                    const QStringList stored = settings->contactFolders();
                    if (stored.isEmpty() || contactFolders(stored, directory) != chosen)
                        settings->setContactFolders(chosen);
                });
        connect(settings, &SettingsStore::contactFoldersChanged, folders,
                [folders, settings, sync, directory] {
                    folders->setFolders(contactFolders(settings->contactFolders(), directory));
                    if (sync->hasLoaded())
                        sync->refresh();
                });
    }
    return env;
}

std::unique_ptr<AppEnvironment> AppEnvironment::inMemory(QList<Person> people, const QString& name) {
    return inMemory(std::move(people), name, Timings{});
}

std::unique_ptr<AppEnvironment> AppEnvironment::inMemory(QList<Person> people, const QString& name,
                                                         const Timings& timings) {
    std::unique_ptr<AppEnvironment> env(new AppEnvironment);
    env->m_directory =
        QDir(QDir::tempPath())
            .filePath(name + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces));
    QDir().mkpath(env->m_directory);
    env->m_removesDirectory = true;
    env->m_keyValues = std::make_unique<InMemoryKeyValueStore>();
    env->m_settings = std::make_unique<SettingsStore>(*env->m_keyValues);
    env->m_secrets = std::make_unique<InMemorySecretStore>();
    env->m_contacts = std::make_unique<InMemoryContactRepository>(std::move(people));
    env->buildServices(timings);
    return env;
}

AppEnvironment& AppEnvironment::empty() {
    // Never destroyed: screens may still point at it while the process ends.
    static AppEnvironment* const instance = inMemory({}, QStringLiteral("PemmoEmpty")).release();
    return *instance;
}

void AppEnvironment::buildServices(const Timings& timings, bool readOnlyStore) {
    // 7. records, 8. photos, 10. the sync engine, 11. the three lists.
    m_store =
        std::make_unique<PemmoStore>(m_directory, timings.writeDelay, systemClock(),
                                     readOnlyStore ? PemmoStore::Access::Reader : PemmoStore::Access::Owner);
    m_photos = std::make_unique<PhotoStore>(QDir(m_directory).filePath(PhotoStore::folderName()));
    m_sync = std::make_unique<ProfileSyncEngine>(*m_contacts, *m_store, *m_photos, timings.pollInterval,
                                                 timings.fetchTimeout);
    m_starred = std::make_unique<StarredStore>(*m_keyValues);
    m_recents = std::make_unique<RecentsStore>(*m_keyValues);
    m_tags = std::make_unique<TagCatalog>(*m_keyValues);
}

AppEnvironment::~AppEnvironment() {
    // Users before what they use: the lists and the engine, then the stores and the address book.
    m_tags.reset();
    m_recents.reset();
    m_starred.reset();
    m_sync.reset();
    m_photos.reset();
    m_store.reset();
    m_contacts.reset();
    m_secrets.reset();
    m_settings.reset();
    m_keyValues.reset();
    if (m_removesDirectory && !m_directory.isEmpty())
        QDir(m_directory).removeRecursively();
}

QString AppEnvironment::defaultContactFolder(const QString& directory) {
    return QDir(directory).filePath(QStringLiteral("Contacts"));
}

QStringList AppEnvironment::configuredContactFolders(const QString& directory, const QString& defaultsPath) {
    DefaultsFileStore defaults(defaultsPath.isEmpty() ? DefaultsFileStore::standardPath() : defaultsPath);
    return contactFolders(SettingsStore(defaults).contactFolders(), directory);
}

QStringList AppEnvironment::contactFolders(const QStringList& chosen, const QString& directory) {
    QStringList folders;
    for (const QString& folder : chosen) {
        if (folder.trimmed().isEmpty())
            continue;
        QString path = folder;
        if (path == u"~" || path.startsWith(u"~/"))
            path = QDir::homePath() + path.mid(1);
        folders.append(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    }
    folders.removeDuplicates();
    if (folders.isEmpty()) {
        const QString fallback = defaultContactFolder(directory);
        if (QFileInfo(fallback).isDir())
            folders.append(fallback);
    }
    return folders;
}

} // namespace pemmo
