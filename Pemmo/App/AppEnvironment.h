// The composition root: builds every service once, owns it for the life of the process, and hands
// it out to the screens. Building starts nothing; AppStartup runs the launch sequence.
#pragma once

#include "Records/Person.h"
#include "Support/Clock.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pemmo {

class AIService;
class AppRouter;
class CalendarRepository;
class ContactRepository;
class DestinationOpener;
class EmbeddingIndex;
class HTTPTransport;
class KeyEventRouter;
class KeyValueStore;
class MomentService;
class MomentStore;
class NotificationCenter;
class PanelController;
class PemmoStore;
class PhotoStore;
class ProfileSyncEngine;
class ProfileViewModel;
class RecentsStore;
class SearchViewModel;
class SecretStore;
class SettingsStore;
class StarredStore;
class TagCatalog;
class UpdateChecker;
class UpdateNotifications;
class UpdateReminder;

class AppEnvironment : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("Profiles/ProfileSyncEngine.h")
    Q_MOC_INCLUDE("Lists/StarredStore.h")
    Q_MOC_INCLUDE("Lists/RecentsStore.h")
    Q_MOC_INCLUDE("Lists/TagCatalog.h")
    Q_MOC_INCLUDE("Settings/SettingsStore.h")
    Q_MOC_INCLUDE("AI/AIService.h")
    Q_MOC_INCLUDE("Moments/MomentService.h")
    Q_PROPERTY(QString directory READ directory CONSTANT)
    Q_PROPERTY(pemmo::ProfileSyncEngine* sync READ syncObject CONSTANT)
    Q_PROPERTY(pemmo::StarredStore* starred READ starredObject CONSTANT)
    Q_PROPERTY(pemmo::RecentsStore* recents READ recentsObject CONSTANT)
    Q_PROPERTY(pemmo::TagCatalog* tags READ tagsObject CONSTANT)
    Q_PROPERTY(pemmo::SettingsStore* settings READ settingsObject CONSTANT)
    Q_PROPERTY(pemmo::AIService* ai READ aiObject CONSTANT)
    Q_PROPERTY(pemmo::MomentService* moments READ momentsObject CONSTANT)
    Q_PROPERTY(QString hotkeyGlyphs READ hotkeyGlyphs NOTIFY hotkeyGlyphsChanged)
    Q_PROPERTY(int changeCount READ changeCount NOTIFY changeCountChanged)
    Q_PROPERTY(bool isPracticeDemo READ isPracticeDemo CONSTANT)

public:
    // Where the live environment finds its files; empty fields mean the standard places.
    struct LiveOptions {
        QString directory;    // default: $XDG_DATA_HOME/Pemmo
        QString defaultsPath; // default: $XDG_CONFIG_HOME/Pemmo/defaults.json
        // Address book folders for this run only (the command line's --contacts); the setting
        // "pemmo.contacts.folders" is then neither read nor written.
        std::optional<QStringList> contactFolders;
        // Read the records (and the Moments file) as they are, without repairing or writing them:
        // for the command line while the running application owns the data folder.
        bool readOnlyStore = false;
        // Read the settings file and never write it: for commands that only read. The defaults
        // a first start seeds (the circles) and what is found meanwhile (the user's own addresses
        // in calendar events) are then kept in memory for this run.
        bool readOnlySettings = false;
        // The word table of the semantic tier: absent means the first one found in the standard
        // places (GloveEmbedder::searchPaths), an empty text means none (no semantic tier).
        std::optional<QString> wordTable;
        QString cacheFolder; // default: $XDG_CACHE_HOME/Pemmo
        // Update reminders go to the desktop's notifications. The command line turns this off:
        // its notifications would be nobody's to click, and taking down what earlier launches
        // left would take down the running application's.
        bool postsToDesktop = true;
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
    // The first-run tutorial's environment: in memory, holding only the practice contact, so that
    // nothing done in the practice reaches the user's address book or records. Nothing it does is
    // logged on the timeline either.
    static std::unique_ptr<AppEnvironment> practice();
    static std::unique_ptr<AppEnvironment> practice(const Timings& timings);
    // The one person of the practice: Alex Morgan, whose made-up number reaches nobody.
    static Person practiceContact();
    static QString practiceContactID() { return QStringLiteral("pemmo-practice-alex"); }
    // The environment the interface starts with before the live one is installed: in memory, with
    // nobody in it, made once and kept for the life of the process.
    static AppEnvironment& empty();

    // The address book folders to read: the chosen ones (a leading "~/" is the home folder), or,
    // when none were chosen, the folder "Contacts" in the data folder if it exists.
    static QStringList contactFolders(const QStringList& chosen, const QString& directory);
    static QString defaultContactFolder(const QString& directory);
    // The folders the live environment would read, from the settings file at `defaultsPath`
    // (empty: the standard one), which is only read.
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
    // The same, for work on other threads that may outlast this environment (a keyring call still
    // waiting for D-Bus when Pemmo quits).
    std::shared_ptr<SecretStore> sharedSecrets() const { return m_secrets; }
    // Every model call goes through it; it reads the settings and the cloud key from `secrets`.
    AIService& ai() const { return *m_ai; }
    // How the AI providers reach their servers.
    const std::shared_ptr<HTTPTransport>& httpTransport() const { return m_transport; }
    // The semantic index; null when no sentence embedder could be made (no word table), and the
    // panel then searches by words alone.
    EmbeddingIndex* embeddings() const { return m_embeddings.get(); }
    // The calendar: the iCalendar folders of "pemmo.calendar.ids" (live), or memory.
    CalendarRepository& calendar() const { return *m_calendar; }
    MomentStore& momentStore() const { return *m_momentStore; }
    MomentService& moments() const { return *m_moments; }
    // The preferences behind `settings` and the three lists.
    KeyValueStore& keyValueStore() const { return *m_keyValues; }

    bool isInMemory() const { return m_removesDirectory; }
    // True for the tutorial's environment (`practice`).
    bool isPracticeDemo() const { return m_isPracticeDemo; }

    // MARK: The panel's services
    // The screens, the overlay and the banner.
    AppRouter& router() const { return *m_router; }
    // The panel's key routing.
    KeyEventRouter& keys() const { return *m_keys; }
    // The search screen's model, made when first asked for.
    SearchViewModel& search();
    // The card model of a person, one per person for the life of the environment.
    ProfileViewModel& profileModel(const QString& contactID);
    const QHash<QString, ProfileViewModel*>& profileModels() const { return m_profileModelIndex; }

    // Opens addresses (web pages, conversations, calls, mail); none is installed in memory until a
    // test or the practice run installs one.
    DestinationOpener* destinationOpener() const { return m_destinationOpener.get(); }
    void setDestinationOpener(std::unique_ptr<DestinationOpener> opener);
    std::unique_ptr<DestinationOpener> takeDestinationOpener();

    // The global shortcut as shown ("Ctrl+K"); empty when there is none.
    const QString& hotkeyGlyphs() const { return m_hotkeyGlyphs; }
    void setHotkeyGlyphs(const QString& glyphs);

    // MARK: Update reminders
    // Where the reminder's notification goes: the desktop's notifications (live), or a centre in
    // memory that keeps what it is given (in memory, the practice).
    NotificationCenter& notificationCenter() const { return *m_notificationCenter; }
    // The reminder's notification, one per version that waits.
    UpdateNotifications& updateNotifications() const { return *m_updateNotifications; }
    // The version that waits, for the tray's "Update" item and the panel's banner.
    UpdateReminder& updateReminder() const { return *m_updateReminder; }
    // The feed checker that reports to `updateReminder`, once the shell started one; null in
    // memory and in the command line, which never check for updates.
    UpdateChecker* updater() const;
    void setUpdater(UpdateChecker* updater);

    // The panel, once the shell made one.
    PanelController* panel() const;
    void setPanel(PanelController* panel);
    // Opens the settings window on `pane` (one of SettingsWindow::paneNames(), such as "ai"), or
    // on the pane it was left on when `pane` is empty; absent until there is a window.
    std::function<void(const QString& pane)> openSettingsAction;
    // Opens one of the application's windows by its id (settingsWindowID(), firstRunWindowID());
    // absent until the shell has windows. An id it does not know opens nothing.
    std::function<void(const QString& windowID)> openWindowAction;
    static QString settingsWindowID() { return QStringLiteral("settings"); }
    static QString firstRunWindowID() { return QStringLiteral("first-run"); }
    // Opens the first-run window ("Replay practice…"); absent until the shell has one.
    std::function<void()> openOnboardingAction;

    // The tutorial's practice run while one is going on (the live environment's), else null.
    QObject* practiceRun() const { return m_practiceRun.data(); }
    void setPracticeRun(QObject* run);
    // Quick capture waits while the practice run is engaged: true when it was refused (the
    // practice panel says so).
    bool practiceRefusesQuickCapture() const;

    // Counts every change of what the panel shows about people: the published profiles, their
    // records and photos, the circles, the starred and recent lists. The one signal screens
    // listen to; it only ever goes up.
    int changeCount() const { return m_changeCount; }

    // "Now" for the screens' time stamps (timeline entries) and relative dates.
    const Clock& clock() const { return m_clock; }
    void setClock(Clock clock) { m_clock = std::move(clock); }

    ProfileSyncEngine* syncObject() const { return m_sync.get(); }
    StarredStore* starredObject() const { return m_starred.get(); }
    RecentsStore* recentsObject() const { return m_recents.get(); }
    TagCatalog* tagsObject() const { return m_tags.get(); }
    SettingsStore* settingsObject() const { return m_settings.get(); }
    AIService* aiObject() const { return m_ai.get(); }
    MomentService* momentsObject() const { return m_moments.get(); }

Q_SIGNALS:
    void hotkeyGlyphsChanged();
    void changeCountChanged();
    void practiceRunChanged();

private:
    AppEnvironment() = default;

    // Builds what both kinds share, in launch order, once directory, preferences, secrets and the
    // address book are in place.
    void buildServices(const Timings& timings, bool readOnlyStore = false);
    void noteChange();

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
    std::shared_ptr<SecretStore> m_secrets;
    std::unique_ptr<CalendarRepository> m_calendar;
    std::unique_ptr<MomentStore> m_momentStore;
    std::unique_ptr<MomentService> m_moments;
    std::unique_ptr<KeyValueStore> m_keyValues;
    std::shared_ptr<HTTPTransport> m_transport;
    std::unique_ptr<AIService> m_ai;
    std::unique_ptr<EmbeddingIndex> m_embeddings;
    std::unique_ptr<DestinationOpener> m_destinationOpener;
    QString m_hotkeyGlyphs;
    std::unique_ptr<AppRouter> m_router;
    std::unique_ptr<KeyEventRouter> m_keys;
    std::unique_ptr<SearchViewModel> m_search;
    std::vector<std::unique_ptr<ProfileViewModel>> m_profileModels;
    QHash<QString, ProfileViewModel*> m_profileModelIndex;
    std::unique_ptr<NotificationCenter> m_notificationCenter;
    std::unique_ptr<UpdateNotifications> m_updateNotifications;
    std::unique_ptr<UpdateReminder> m_updateReminder;
    QPointer<QObject> m_updater; // the UpdateChecker
    QPointer<QObject> m_panel;   // the PanelController
    Clock m_clock = systemClock();
    int m_changeCount = 0;
    bool m_removesDirectory = false;
    bool m_isPracticeDemo = false;
    QPointer<QObject> m_practiceRun; // the OnboardingPractice
};

} // namespace pemmo
