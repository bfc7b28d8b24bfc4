#include "App/AppStartup.h"

#include "App/AppEnvironment.h"
#include "App/EmbeddingMaintenance.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentMaintenance.h"
#include "Platform/LogindSessionEvents.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/SettingsStore.h"

#include <QPointer>
#include <QSet>

namespace pemmo {

AppStartup::AppStartup(AppEnvironment& environment, QObject* parent)
    : QObject(parent)
    , m_environment(environment)
    , m_embeddingMaintenance(std::make_unique<EmbeddingMaintenance>(environment)) {
    if (!environment.isInMemory())
        m_session = std::make_unique<LogindSessionEvents>();
    m_momentMaintenance =
        std::make_unique<MomentMaintenance>(environment.moments(), environment.calendar(),
                                            environment.settings(), environment.sync(), m_session.get());
}

AppStartup::~AppStartup() = default;

bool AppStartup::shouldShowOnboarding(bool hasCompleted, bool hasSkipped, int version) {
    return !(hasCompleted || hasSkipped) || version < currentOnboardingVersion;
}

bool AppStartup::shouldShowOnboarding(const SettingsStore& settings) {
    return shouldShowOnboarding(settings.hasCompletedOnboarding(), settings.hasSkippedOnboarding(),
                                settings.onboardingVersion());
}

bool AppStartup::shouldShowOnboarding() const {
    return shouldShowOnboarding(m_environment.settings());
}

QCoro::Task<void> AppStartup::start() {
    startMaintenance();
    ProfileSyncEngine& sync = m_environment.sync();
    auto starting = sync.start();
    co_await starting;
}

void AppStartup::startMaintenance() {
    if (m_maintaining)
        return;
    m_maintaining = true;
    // The first publish sets the profiles before it marks the engine loaded: follow both.
    connect(&m_environment.sync(), &ProfileSyncEngine::profilesChanged, this, &AppStartup::maintainLists);
    connect(&m_environment.sync(), &ProfileSyncEngine::hasLoadedChanged, this, &AppStartup::maintainLists);
    // Photos a deletion could not remove go once the address book has been read.
    connect(&m_environment.sync(), &ProfileSyncEngine::hasLoadedChanged, this,
            [this] { QCoro::connect(m_environment.sync().pruneUnusedPhotos(), this, [] {}); });
    maintainLists();
    m_embeddingMaintenance->start();
    m_momentMaintenance->start();
}

void AppStartup::refreshOnActivation() {
    // Also after a failed first fetch: the user may have just fixed what made it fail. A read-only
    // store is loaded again first, for the same reason.
    ProfileSyncEngine& sync = m_environment.sync();
    if (sync.hasStarted())
        sync.retryStoreLoad();
    m_momentMaintenance->applicationActivated();
}

// A person who left the address book leaves the lists (their record stays in the store), and a
// circle a record carries always has a name and colour. Before the first load the profile list is
// not the address book yet, so nothing is pruned.
void AppStartup::maintainLists() {
    const ProfileSyncEngine& sync = m_environment.sync();
    if (!sync.hasLoaded())
        return;
    QSet<QString> ids;
    QSet<QString> tagIDs;
    for (const Profile& profile : sync.profiles()) {
        ids.insert(profile.id());
        for (const QString& tag : profile.record->tags)
            tagIDs.insert(tag);
    }
    m_environment.starred().prune(ids);
    m_environment.recents().prune(ids);
    m_environment.tags().registerIDs(tagIDs);
}

} // namespace pemmo
