// The semantic index: one sentence vector per profile and one per memory, kept in
// "embeddings.json" beside the record store so that only changed profiles are embedded again.
// A serial actor: its state lives on its own thread and every operation runs there in turn.
// In memory every vector lies in one array, so a search is one pass over contiguous floats.
#pragma once

#include "Records/Profile.h"
#include "Search/SemanticSearcher.h"
#include "Semantic/Embedder.h"
#include "Semantic/EmbeddingIndexFile.h"
#include "Support/SerialExecutor.h"

#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

namespace pemmo {

class EmbeddingIndex : public SemanticSearcher {
public:
    // What an update did.
    struct UpdateResult {
        int embedded = 0;       // profiles embedded (new or changed)
        int kept = 0;           // profiles whose stored vectors were current
        int removed = 0;        // entries of people no longer given
        bool cancelled = false; // stopped early by cancelUpdate(); what was embedded stays

        bool operator==(const UpdateResult&) const = default;
    };

    struct Stats {
        int entries = 0;
        int vectors = 0; // profile and memory vectors
        bool needsPersist = false;
    };

    // Loads the file at `filePath` (absent: memory only) on the index's own thread; operations
    // called meanwhile wait for the load.
    EmbeddingIndex(std::shared_ptr<const Embedder> embedder, std::optional<QString> filePath);
    ~EmbeddingIndex() override;

    const Embedder& embedder() const { return *m_embedder; }
    const std::optional<QString>& filePath() const { return m_filePath; }

    // Embeds every given profile whose content hash differs from the stored one and keeps the
    // others; entries of people not given are removed, so afterwards there is one current entry
    // per profile.
    QCoro::Task<UpdateResult> update(QList<Profile> profiles);
    // Stops a running update at the next profile (safe from any thread). The profiles embedded so
    // far stay, so the next update starts where this one stopped.
    void cancelUpdate();
    // The people closest in meaning to `query` (a leading interest phrase taken off), best first,
    // at most `limit`.
    QCoro::Task<QList<SemanticHit>> search(QString query, int limit) override;
    // Writes the file when something changed since the last write; true when it wrote. A failed
    // write throws FileError and leaves the changes marked, so the next persist tries again.
    QCoro::Task<bool> persist();
    // Removes every entry and deletes the file.
    QCoro::Task<void> erase();
    // Erases, then embeds every given profile again, and writes the file.
    QCoro::Task<UpdateResult> rebuild(QList<Profile> profiles);
    QCoro::Task<Stats> stats();
    // The stored entries, for tests and diagnostics.
    QCoro::Task<QHash<QString, StoredEmbedding>> entries();

private:
    // A person in the index: where their vectors lie among the rows.
    struct Person {
        QString id;
        QString hash;
        // The profile last found current, kept (shallowly) so that an unchanged republished
        // profile is recognised without hashing its text.
        std::optional<Profile> seen;
        quint64 mark = 0; // the last update pass that met this person
        std::size_t firstRow = 0;
        std::size_t rowCount = 0;
    };

    void load();
    // Stores `count` vectors for the person `id`, over their old ones when they have as many.
    void store(const QString& id, const QString& hash, const float* vectors, std::size_t count);
    void remove(std::size_t slot);
    // Drops dead rows once they are a quarter of all rows, so the search runs through live ones.
    void compactIfWasteful();
    void setRows(std::size_t first, const float* vectors, std::size_t count, std::int32_t owner);
    QList<SemanticHit> searchNow(const QString& query, int limit) const;
    std::size_t liveRows() const { return m_lengths.size() - m_deadRows; }

    const std::shared_ptr<const Embedder> m_embedder;
    const std::optional<QString> m_filePath;
    const std::size_t m_dimension;
    std::unique_ptr<SerialExecutor> m_executor;
    std::atomic<int> m_cancelGeneration{0};

    // Touched on the executor's thread only. Every vector is a row of m_rows, side by side, with
    // its length and the slot of its person (−1 once dead); a search runs through them in order.
    std::vector<float> m_rows;
    std::vector<float> m_lengths;
    std::vector<std::int32_t> m_owners;
    std::size_t m_deadRows = 0;
    std::vector<Person> m_people; // by slot; a free slot has no id
    std::vector<std::size_t> m_freeSlots;
    QHash<QString, std::size_t> m_slots;
    bool m_needsPersist = false;
    quint64 m_updatePass = 0;
};

} // namespace pemmo
