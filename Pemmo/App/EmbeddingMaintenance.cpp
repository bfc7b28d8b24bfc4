#include "App/EmbeddingMaintenance.h"

#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/SettingsStore.h"
#include "Support/Logging.h"

#include <QPointer>

namespace pemmo {

EmbeddingMaintenance::EmbeddingMaintenance(AppEnvironment& environment, QObject* parent)
    : QObject(parent)
    , m_environment(environment) {}

EmbeddingMaintenance::~EmbeddingMaintenance() {
    if (EmbeddingIndex* index = m_environment.embeddings())
        index->cancelUpdate();
}

bool EmbeddingMaintenance::isAvailable() const {
    return m_environment.embeddings() != nullptr;
}

void EmbeddingMaintenance::start() {
    if (m_isObserving || !isAvailable())
        return;
    m_isObserving = true;
    ProfileSyncEngine& sync = m_environment.sync();
    connect(&sync, &ProfileSyncEngine::profilesChanged, this, &EmbeddingMaintenance::requestUpdate);
    connect(&sync, &ProfileSyncEngine::hasLoadedChanged, this, &EmbeddingMaintenance::requestUpdate);
    connect(&m_environment.settings(), &SettingsStore::semanticSearchEnabledChanged, this, [this] {
        if (m_environment.settings().semanticSearchEnabled())
            requestUpdate();
        else if (m_running)
            m_environment.embeddings()->cancelUpdate(); // no embedding work while the tier is off
    });
    requestUpdate();
}

// Before the first load the profile list is not the address book yet: an update then would
// remove everyone's vectors only to make them again.
bool EmbeddingMaintenance::canRun() const {
    return isAvailable() && m_environment.sync().hasLoaded() &&
           m_environment.settings().semanticSearchEnabled();
}

void EmbeddingMaintenance::requestUpdate() {
    if (!canRun())
        return;
    m_pending = true;
    if (m_running) {
        m_environment.embeddings()->cancelUpdate();
        return;
    }
    run();
}

void EmbeddingMaintenance::rebuild() {
    if (!isAvailable())
        return;
    m_rebuildPending = true;
    if (m_running) {
        m_environment.embeddings()->cancelUpdate();
        return;
    }
    run();
}

QCoro::Task<void> EmbeddingMaintenance::run() {
    QPointer<EmbeddingMaintenance> self(this);
    EmbeddingIndex* index = m_environment.embeddings();
    m_running = true;
    Q_EMIT isUpdatingChanged();
    bool changed = false;
    while (m_pending || m_rebuildPending) {
        const bool rebuilding = m_rebuildPending;
        m_pending = false;
        m_rebuildPending = false;
        if (!rebuilding && !canRun())
            break;
        EmbeddingIndex::UpdateResult result;
        try {
            auto work = rebuilding ? index->rebuild(m_environment.sync().profiles())
                                   : index->update(m_environment.sync().profiles());
            result = co_await work;
            if (!self)
                co_return;
            if (result.cancelled) {
                // Someone asked for newer work; a cancelled rebuild still owes a full pass.
                m_rebuildPending = m_rebuildPending || rebuilding;
                changed = changed || result.embedded > 0;
                continue;
            }
            auto persisting = index->persist();
            co_await persisting;
        } catch (const std::exception& error) {
            // The vectors stay in memory and marked unwritten: the next update writes them.
            qCCritical(lcEmbeddings, "Embedding index maintenance failed: %s", error.what());
        }
        if (!self)
            co_return;
        changed = changed || result.embedded > 0 || result.removed > 0 || rebuilding;
    }
    m_running = false;
    Q_EMIT isUpdatingChanged();
    if (changed)
        Q_EMIT indexChanged();
    Q_EMIT idle();
}

} // namespace pemmo
