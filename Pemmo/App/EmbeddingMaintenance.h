// Keeps the embedding index in step with the people: an update when the first profiles are
// loaded, after every change of them and when semantic search is switched on, the file written
// after each, and "Rebuild semantic index" on request. Runs on the GUI thread; the embedding work
// itself runs on the index's own thread.
//
// A change that arrives while an update runs stops that update at the next profile (what it
// embedded so far is kept) and runs one more with the newest profiles, so a burst of edits costs
// one pass over the people still to do.
#pragma once

#include <QCoroTask>
#include <QObject>

namespace pemmo {

class AppEnvironment;

class EmbeddingMaintenance : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isUpdating READ isUpdating NOTIFY isUpdatingChanged)
    Q_PROPERTY(bool isAvailable READ isAvailable CONSTANT)

public:
    // The environment is not owned and must outlive this object.
    explicit EmbeddingMaintenance(AppEnvironment& environment, QObject* parent = nullptr);
    ~EmbeddingMaintenance() override;

    // Follows the profiles and the setting from now on and updates at once if it can. Calling it
    // twice changes nothing.
    void start();
    bool isObserving() const { return m_isObserving; }
    // There is an index to maintain (a word table was found).
    bool isAvailable() const;
    bool isUpdating() const { return m_running; }

    // "Rebuild semantic index": forgets every vector and embeds every profile again.
    Q_INVOKABLE void rebuild();
    // Asks for an update with the current profiles (what the observers call).
    void requestUpdate();

Q_SIGNALS:
    void isUpdatingChanged();
    // An update or rebuild finished and changed the index: searches on screen may now find more.
    void indexChanged();
    // The work asked for so far is done.
    void idle();

private:
    bool canRun() const;
    QCoro::Task<void> run();

    AppEnvironment& m_environment;
    bool m_isObserving = false;
    bool m_running = false;
    bool m_pending = false;
    bool m_rebuildPending = false;
};

} // namespace pemmo
