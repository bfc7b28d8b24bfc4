// What Moments must remember across restarts, in "calendar-moments.json": the Moments on offer,
// the decision taken on every event the user acted on, and the series they asked not to be
// offered again. A plain object for the Moment service alone (GUI thread, not thread-safe); the
// file is small and written whole, atomically, only when the state really changed.
#pragma once

#include "Moments/MomentCandidate.h"
#include "Support/Clock.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace pemmo {

class MomentStore {
public:
    struct State {
        QList<MomentCandidate> pending;
        QHash<QString, MomentStatus> suppressed; // event hash to the decision taken on it
        QList<QSet<QString>> excludedSeries;     // the series aliases of each series not to offer

        bool operator==(const State&) const = default;
    };

    // The owner writes the file and sets a damaged one aside. A reader (the command line while the
    // application runs) reads it as it is and keeps every change in memory.
    enum class Access { Owner, Reader };

    using Mutation = std::function<void(State&)>;

    static QString fileName() { return QStringLiteral("calendar-moments.json"); }
    // "calendar-moments.corrupt-2026-03-04T10-15-00Z.json" for that time.
    static QString corruptBackupFileName(const QDateTime& when);

    // Instants in the file are seconds since 2001-01-01 00:00:00 UTC.
    static double referenceSeconds(const QDateTime& instant);
    static QDateTime fromReferenceSeconds(double seconds);

    // The file's bytes: compact JSON, keys "pending", "suppressed", "excludedSeries".
    static QByteArray encode(const State& state);
    // Throws DecodingError when `bytes` are not such a document.
    static State decode(const QByteArray& bytes);

    // Without a file, nothing is read or written.
    explicit MomentStore(std::optional<QString> filePath = std::nullopt, Clock clock = systemClock(),
                         Access access = Access::Owner);

    const State& state() const { return m_state; }
    const std::optional<QString>& filePath() const { return m_filePath; }
    bool loaded() const { return m_loaded; }
    // How many times the file was written.
    int writeCount() const { return m_writeCount; }

    // Reads the file once. No file: empty state. A file that cannot be read throws FileError and a
    // later call tries again. A damaged file is renamed to its corrupt-backup name and
    // DecodingError is thrown; the next call then starts empty, and the next write makes a new file.
    void load();
    // Applies `mutation` to a copy of the state and writes the copy; only a written copy becomes
    // the state, so a failure (thrown) leaves the state as it was.
    void update(const Mutation& mutation);
    // Merges a refresh's discoveries into the pending list (see MomentStore.cpp). `committed`: every
    // event hash already on a timeline entry.
    void reconcile(const QList<MomentCandidate>& discovered, const QSet<QString>& committed);
    // Offers every series again.
    void clearExcludedSeries();
    // Removes the file (a failure throws FileError) and forgets everything.
    void reset();

    // The merge of `reconcile`, on a state of its own.
    static void reconcile(State& state, const QList<MomentCandidate>& discovered,
                          const QSet<QString>& committed);

private:
    void write(const State& state);

    const std::optional<QString> m_filePath;
    const Clock m_clock;
    const Access m_access;
    State m_state;
    bool m_loaded = false;
    bool m_fileMatchesState = false; // the file on disk holds exactly m_state
    int m_writeCount = 0;
};

} // namespace pemmo
