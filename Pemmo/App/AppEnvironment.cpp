#include "App/AppEnvironment.h"

#include "AI/AIProviders.h"
#include "AI/AIService.h"
#include "AI/NetworkTransport.h"
#include "App/DataFolder.h"
#include "Calendar/ICalendarFolderRepository.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Contacts/VCardFolderRepository.h"
#include "Links/DestinationOpener.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentService.h"
#include "Moments/MomentStore.h"
#include "Platform/DesktopOpener.h"
#include "Platform/FreedesktopNotificationCenter.h"
#include "Platform/SecretServiceStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/OnboardingPractice.h"
#include "Screens/ProfileViewModel.h"
#include "Search/SearchViewModel.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/FakeEmbedder.h"
#include "Semantic/GloveEmbedder.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/InMemorySecretStore.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelController.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Updates/InMemoryNotificationCenter.h"
#include "Updates/UpdateChecker.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>
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
        options.defaultsPath.isEmpty() ? DefaultsFileStore::standardPath() : options.defaultsPath,
        systemClock(),
        options.readOnlySettings ? DefaultsFileStore::Access::Reader : DefaultsFileStore::Access::Owner);
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
    // 5. The calendar.
    SettingsStore* settings = env->m_settings.get();
    auto calendar = std::make_unique<ICalendarFolderRepository>(settings->calendarIDs(),
                                                                settings->calendarSelfAddresses());
    ICalendarFolderRepository* calendarFolders = calendar.get();
    env->m_calendar = std::move(calendar);

    // 6. The sentence embedder: the word table, if there is one; without it no semantic tier.
    std::unique_ptr<GloveEmbedder> embedder;
    if (!options.wordTable)
        embedder = GloveEmbedder::locate();
    else if (!options.wordTable->isEmpty())
        embedder = GloveEmbedder::open(*options.wordTable);
    if (embedder) {
        env->m_embeddings = std::make_unique<EmbeddingIndex>(
            std::move(embedder), QDir(env->m_directory).filePath(EmbeddingIndexFile::fileName()));
    }

    // Where step 13's update reminder posts.
    if (options.postsToDesktop)
        env->m_notificationCenter = std::make_unique<FreedesktopNotificationCenter>();
    else
        env->m_notificationCenter = std::make_unique<InMemoryNotificationCenter>();

    env->buildServices(Timings{}, options.readOnlyStore);
    env->m_destinationOpener = std::make_unique<DesktopOpener>(*env->m_settings);

    // The calendars and the user's addresses are settings: the repository follows them, and the
    // addresses it finds are written down.
    connect(settings, &SettingsStore::calendarIDsChanged, calendarFolders,
            [calendarFolders, settings] { calendarFolders->setCalendarPaths(settings->calendarIDs()); });
    connect(settings, &SettingsStore::calendarSelfAddressesChanged, calendarFolders,
            [calendarFolders, settings] {
                calendarFolders->setSelfAddresses(settings->calendarSelfAddresses());
            });
    // (Kept in memory only when the settings are only read.)
    if (!options.readOnlyStore || options.readOnlySettings) {
        connect(calendarFolders, &ICalendarFolderRepository::selfAddressesInferred, settings,
                [settings](const QStringList& addresses) {
                    if (settings->calendarSelfAddresses().isEmpty())
                        settings->setCalendarSelfAddresses(addresses);
                });
    }

    // Where new contacts go is a setting too ("~/" is the home folder), followed at once.
    const auto newContactsFolder = [settings] {
        const QString chosen = settings->newContactsFolder().trimmed();
        return chosen.isEmpty() ? QString() : contactFolders({chosen}, QString()).value(0);
    };
    folders->setFolderForNewContacts(newContactsFolder());
    connect(settings, &SettingsStore::newContactsFolderChanged, folders,
            [folders, newContactsFolder] { folders->setFolderForNewContacts(newContactsFolder()); });

    if (!options.contactFolders) {
        // The folders are the user's choice: remember the one onboarding adopts, and follow a
        // change made in the settings at once.
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
                    // Also after a failed first fetch: folders chosen then show their people at once.
                    if (sync->hasStarted())
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
    env->m_embeddings = std::make_unique<EmbeddingIndex>(std::make_shared<FakeEmbedder>(), std::nullopt);
    env->m_calendar = std::make_unique<InMemoryCalendarRepository>();
    env->m_notificationCenter = std::make_unique<InMemoryNotificationCenter>();
    env->buildServices(timings);
    return env;
}

std::unique_ptr<AppEnvironment> AppEnvironment::practice() {
    return practice(Timings{});
}

std::unique_ptr<AppEnvironment> AppEnvironment::practice(const Timings& timings) {
    std::unique_ptr<AppEnvironment> env =
        inMemory({practiceContact()}, QStringLiteral("PemmoPractice"), timings);
    env->m_isPracticeDemo = true;
    // Messaging Alex is a rehearsal, not something that happened.
    env->m_settings->setAutoLogInteractions(false);
    return env;
}

Person AppEnvironment::practiceContact() {
    Person alex;
    alex.id = practiceContactID();
    alex.givenName = QStringLiteral("Alex");
    alex.familyName = QStringLiteral("Morgan");
    alex.jobTitle = QStringLiteral("Practice contact");
    alex.phones = {{QStringLiteral("mobile"), QStringLiteral("(202) 555-0123")}};
    return alex;
}

void AppEnvironment::setPracticeRun(QObject* run) {
    if (m_practiceRun == run)
        return;
    m_practiceRun = run;
    Q_EMIT practiceRunChanged();
}

bool AppEnvironment::practiceRefusesQuickCapture() const {
    auto* run = qobject_cast<OnboardingPractice*>(m_practiceRun.data());
    return run && run->handleQuickCapture();
}

AppEnvironment& AppEnvironment::empty() {
    // Never destroyed: screens may still point at it while the process ends.
    static AppEnvironment* const instance = inMemory({}, QStringLiteral("PemmoEmpty")).release();
    return *instance;
}

void AppEnvironment::buildServices(const Timings& timings, bool readOnlyStore) {
    // 7. records, 8. photos.
    m_store =
        std::make_unique<PemmoStore>(m_directory, timings.writeDelay, systemClock(),
                                     readOnlyStore ? PemmoStore::Access::Reader : PemmoStore::Access::Owner);
    m_photos = std::make_unique<PhotoStore>(QDir(m_directory).filePath(PhotoStore::folderName()));
    // 9. The AI service, its providers made from the settings and the keyring at each call; Ask
    // quotes saved memories through the semantic index when there is one.
    m_transport = std::make_shared<NetworkTransport>();
    m_ai = std::make_unique<AIService>(*m_settings, *m_secrets, m_embeddings.get(),
                                       AIProviders::make(*m_settings, m_secrets, m_transport),
                                       QTimeZone::systemTimeZone());
    // 10. The sync engine, 11. the three lists.
    m_sync = std::make_unique<ProfileSyncEngine>(*m_contacts, *m_store, *m_photos, timings.pollInterval,
                                                 timings.fetchTimeout);
    m_starred = std::make_unique<StarredStore>(*m_keyValues);
    m_recents = std::make_unique<RecentsStore>(*m_keyValues);
    m_tags = std::make_unique<TagCatalog>(*m_keyValues);
    // 12. The Moments file and the Moment service.
    m_momentStore = std::make_unique<MomentStore>(
        QDir(m_directory).filePath(MomentStore::fileName()), systemClock(),
        readOnlyStore ? MomentStore::Access::Reader : MomentStore::Access::Owner);
    m_moments = std::make_unique<MomentService>(*m_calendar, *m_momentStore, *m_settings, *m_sync, *m_store);

    // 13. The panel's router and key routing, then the update reminder and its notification.
    m_router = std::make_unique<AppRouter>();
    m_keys = std::make_unique<KeyEventRouter>();
    m_updateNotifications = std::make_unique<UpdateNotifications>(*m_notificationCenter);
    m_updateReminder = std::make_unique<UpdateReminder>(*m_updateNotifications);

    for (const auto signal : {&ProfileSyncEngine::profilesChanged, &ProfileSyncEngine::dataVersionChanged,
                              &ProfileSyncEngine::photoVersionChanged})
        connect(m_sync.get(), signal, this, &AppEnvironment::noteChange);
    connect(m_tags.get(), &TagCatalog::tagsChanged, this, &AppEnvironment::noteChange);
    connect(m_starred.get(), &StarredStore::idsChanged, this, &AppEnvironment::noteChange);
    connect(m_recents.get(), &RecentsStore::idsChanged, this, &AppEnvironment::noteChange);
}

void AppEnvironment::noteChange() {
    ++m_changeCount;
    Q_EMIT changeCountChanged();
}

SearchViewModel& AppEnvironment::search() {
    if (!m_search) {
        m_search = std::make_unique<SearchViewModel>(*m_sync, *m_starred, *m_recents, *m_tags, *m_settings,
                                                     m_embeddings.get());
        m_search->setMoments(m_moments.get());
        m_search->setAIService(m_ai.get());
    }
    return *m_search;
}

ProfileViewModel& AppEnvironment::profileModel(const QString& contactID) {
    if (ProfileViewModel* model = m_profileModelIndex.value(contactID))
        return *model;
    auto model = std::make_unique<ProfileViewModel>(*this, contactID);
    ProfileViewModel* raw = model.get();
    m_profileModels.push_back(std::move(model));
    m_profileModelIndex.insert(contactID, raw);
    return *raw;
}

void AppEnvironment::setDestinationOpener(std::unique_ptr<DestinationOpener> opener) {
    m_destinationOpener = std::move(opener);
}

std::unique_ptr<DestinationOpener> AppEnvironment::takeDestinationOpener() {
    return std::move(m_destinationOpener);
}

void AppEnvironment::setHotkeyGlyphs(const QString& glyphs) {
    if (m_hotkeyGlyphs == glyphs)
        return;
    m_hotkeyGlyphs = glyphs;
    Q_EMIT hotkeyGlyphsChanged();
}

UpdateChecker* AppEnvironment::updater() const {
    return static_cast<UpdateChecker*>(m_updater.data());
}

void AppEnvironment::setUpdater(UpdateChecker* updater) {
    m_updater = updater;
}

void AppEnvironment::setPanel(PanelController* panel) {
    m_panel = panel;
}

PanelController* AppEnvironment::panel() const {
    return static_cast<PanelController*>(m_panel.data());
}

AppEnvironment::~AppEnvironment() {
    // Users before what they use: the screens' models, the update reminder and the panel's
    // routing, Moments, the AI, the lists and the engine, then the stores, the calendar and the
    // address book.
    m_profileModelIndex.clear();
    m_profileModels.clear();
    m_search.reset();
    m_updateReminder.reset();
    m_updateNotifications.reset();
    m_notificationCenter.reset();
    m_keys.reset();
    m_router.reset();
    m_destinationOpener.reset();
    m_moments.reset();
    m_momentStore.reset();
    m_ai.reset();
    m_transport.reset();
    m_tags.reset();
    m_recents.reset();
    m_starred.reset();
    m_sync.reset();
    m_photos.reset();
    m_store.reset();
    m_calendar.reset();
    m_contacts.reset();
    m_embeddings.reset();
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
    const auto defaults =
        DefaultsFileStore::reader(defaultsPath.isEmpty() ? DefaultsFileStore::standardPath() : defaultsPath);
    return contactFolders(SettingsStore(*defaults).contactFolders(), directory);
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
