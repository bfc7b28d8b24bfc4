// The launch sequence without the window system: keeps the starred and recent lists and the
// circle catalogue in step with the published profiles, starts the sync engine, refreshes when the
// application comes to the front, and decides whether the first-run window opens.
#pragma once

#include <QCoroTask>
#include <QObject>
#include <memory>

namespace pemmo {

class AppEnvironment;
class EmbeddingMaintenance;
class SettingsStore;

class AppStartup : public QObject {
    Q_OBJECT

public:
    // The onboarding release a user must have completed or skipped not to see it again.
    static constexpr int currentOnboardingVersion = 3;

    // The environment is not owned and must outlive this object.
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
    // The maintenance observers alone (the lists, the embedding index); `start` begins with them.
    // Calling it twice changes nothing.
    void startMaintenance();
    // Keeps the semantic index current; "Rebuild semantic index" goes through it.
    EmbeddingMaintenance& embeddingMaintenance() const { return *m_embeddingMaintenance; }
    // The shell calls this whenever Pemmo becomes the active application: once the engine has
    // started, it refreshes (after loading the store again while it is read-only), whether or not
    // a fetch has succeeded yet.
    void refreshOnActivation();

private:
    void maintainLists();

    AppEnvironment& m_environment;
    std::unique_ptr<EmbeddingMaintenance> m_embeddingMaintenance;
    bool m_maintaining = false;
};

} // namespace pemmo
