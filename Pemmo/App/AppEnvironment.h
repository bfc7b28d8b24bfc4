// The composition root: builds every service once, owns it for the life of the process, and hands
// it out to the screens. Building starts nothing; AppStartup runs the launch sequence.
#pragma once

#include "Records/Person.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace pemmo {

class ContactRepository;
class KeyValueStore;
class PemmoStore;
class PhotoStore;
class ProfileSyncEngine;
class RecentsStore;
class SecretStore;
class SettingsStore;
class StarredStore;
class TagCatalog;

class AppEnvironment : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("Profiles/ProfileSyncEngine.h")
    Q_MOC_INCLUDE("Lists/StarredStore.h")
    Q_MOC_INCLUDE("Lists/RecentsStore.h")
    Q_MOC_INCLUDE("Lists/TagCatalog.h")
    Q_MOC_INCLUDE("Settings/SettingsStore.h")
    Q_PROPERTY(QString directory READ directory CONSTANT)
    Q_PROPERTY(pemmo::ProfileSyncEngine* sync READ syncObject CONSTANT)
    Q_PROPERTY(pemmo::StarredStore* starred READ starredObject CONSTANT)
    Q_PROPERTY(pemmo::RecentsStore* recents READ recentsObject CONSTANT)
    Q_PROPERTY(pemmo::TagCatalog* tags READ tagsObject CONSTANT)
    Q_PROPERTY(pemmo::SettingsStore* settings READ settingsObject CONSTANT)

public:
    // Where the live environment finds its files; empty fields mean the standard places.
    struct LiveOptions {
        QString directory;    // default: $XDG_DATA_HOME/Pemmo
        QString defaultsPath; // default: $XDG_CONFIG_HOME/Pemmo/defaults.json
        // Address book folders for this run only (the command line's --contacts); the setting
        // "pemmo.contacts.folders" is then neither read nor written.
        std::optional<QStringList> contactFolders;
        // Read the records as they are, without repairing or writing them: for the command line
        // while the running application owns the data folder.
        bool readOnlyStore = false;
        QString cacheFolder; // default: $XDG_CACHE_HOME/Pemmo
    };

    // The timing of the store and the sync engine; tests shorten it.
    struct Timings {
        std::chrono::milliseconds writeDelay{250};
        std::chrono::milliseconds pollInterval{300'000};
        std::chrono::milliseconds fetchTimeout{12'000};
    };

    // The user's own environment: the data folder, the settings file, the keyring, the vCard folders.
    static std::unique_ptr<AppEnvironment> live();
    static std::unique_ptr<AppEnvironment> live(const LiveOptions& options);
    // An environment with nothing of the user's: settings, secrets and the address book in memory
    // (holding `people`), records in a fresh folder named after `name` in the temporary folder,
    // removed again when the environment goes.
    static std::unique_ptr<AppEnvironment> inMemory(QList<Person> people, const QString& name);
    static std::unique_ptr<AppEnvironment> inMemory(QList<Person> people, const QString& name,
                                                    const Timings& timings);
    // The environment the interface starts with before the live one is installed: in memory, with
    // nobody in it, made once and kept for the life of the process.
    static AppEnvironment& empty();

    // The address book folders to read: the chosen ones (a leading "~/" is the home folder), or,
    // when none were chosen, the folder "Contacts" in the data folder if it exists.
    static QStringList contactFolders(const QStringList& chosen, const QString& directory);
    static QString defaultContactFolder(const QString& directory);
    // The folders the live environment would read, from the settings file at `defaultsPath`
    // (empty: the standard one).
    static QStringList configuredContactFolders(const QString& directory, const QString& defaultsPath = {});

    ~AppEnvironment() override;

    const QString& directory() const { return m_directory; }
    PemmoStore& store() const { return *m_store; }
    PhotoStore& photos() const { return *m_photos; }
    ContactRepository& contacts() const { return *m_contacts; }
    ProfileSyncEngine& sync() const { return *m_sync; }
    StarredStore& starred() const { return *m_starred; }
    RecentsStore& recents() const { return *m_recents; }
    TagCatalog& tags() const { return *m_tags; }
    SettingsStore& settings() const { return *m_settings; }
    SecretStore& secrets() const { return *m_secrets; }
    // The preferences behind `settings` and the three lists.
    KeyValueStore& keyValueStore() const { return *m_keyValues; }

    bool isInMemory() const { return m_removesDirectory; }

    ProfileSyncEngine* syncObject() const { return m_sync.get(); }
    StarredStore* starredObject() const { return m_starred.get(); }
    RecentsStore* recentsObject() const { return m_recents.get(); }
    TagCatalog* tagsObject() const { return m_tags.get(); }
    SettingsStore* settingsObject() const { return m_settings.get(); }

private:
    AppEnvironment() = default;

    // Builds what both kinds share, in launch order, once directory, preferences, secrets and the
    // address book are in place.
    void buildServices(const Timings& timings, bool readOnlyStore = false);

    // Declared in the order the environment lists them; built in launch order (see the factories)
    // and torn down in reverse of that by the destructor.
    QString m_directory;
    std::unique_ptr<PemmoStore> m_store;
    std::unique_ptr<PhotoStore> m_photos;
    std::unique_ptr<ContactRepository> m_contacts;
    std::unique_ptr<ProfileSyncEngine> m_sync;
    std::unique_ptr<StarredStore> m_starred;
    std::unique_ptr<RecentsStore> m_recents;
    std::unique_ptr<TagCatalog> m_tags;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SecretStore> m_secrets;
    std::unique_ptr<KeyValueStore> m_keyValues;
    bool m_removesDirectory = false;
};

} // namespace pemmo
