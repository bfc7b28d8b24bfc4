// The launch sequence without the window system: keeps the starred and recent lists and the
// circle catalogue in step with the published profiles, keeps Moments fresh, starts the sync
// engine, refreshes when the application comes to the front, and decides whether the first-run
// window opens.
#pragma once

#include <QCoroTask>
#include <QObject>
#include <memory>

namespace pemmo {

class AppEnvironment;
class EmbeddingMaintenance;
class MomentMaintenance;
class SessionEvents;
class SettingsStore;

class AppStartup : public QObject {
    Q_OBJECT

public:
    // The onboarding release a user must have completed or skipped not to see it again.
    static constexpr int currentOnboardingVersion = 3;

    // The environment is not owned and must outlive this object. The desktop session's wake and
    // unlock events come from logind for the user's own environment, and from nowhere for an
    // in-memory one.
    explicit AppStartup(AppEnvironment& environment, QObject* parent = nullptr);
    ~AppStartup() override;

    // Open the first-run window: onboarding neither completed nor skipped, or done in an earlier
    // release than the current one.
    static bool shouldShowOnboarding(bool hasCompleted, bool hasSkipped, int version);
    static bool shouldShowOnboarding(const SettingsStore& settings);
    bool shouldShowOnboarding() const;

    // Store maintenance, then the sync engine's start: loads the records, runs the first refresh
    // and follows the address book from then on. Returns when the first refresh is done.
    QCoro::Task<void> start();
    // The maintenance observers alone (the lists, the embedding index, Moments); `start` begins
    // with them. Calling it twice changes nothing.
    void startMaintenance();
    // Keeps the semantic index current; "Rebuild semantic index" goes through it.
    EmbeddingMaintenance& embeddingMaintenance() const { return *m_embeddingMaintenance; }
    // The shell calls this whenever Pemmo becomes the active application: once the engine has
    // started, it refreshes (after loading the store again while it is read-only), whether or not
    // a fetch has succeeded yet.
    void refreshOnActivation();

    MomentMaintenance* momentMaintenance() const { return m_momentMaintenance.get(); }

private:
    void maintainLists();

    AppEnvironment& m_environment;
    std::unique_ptr<EmbeddingMaintenance> m_embeddingMaintenance;
    std::unique_ptr<SessionEvents> m_session;
    std::unique_ptr<MomentMaintenance> m_momentMaintenance;
    bool m_maintaining = false;
};

} // namespace pemmo
