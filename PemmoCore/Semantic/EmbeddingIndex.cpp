#include "Semantic/EmbeddingIndex.h"

#include "Search/QueryParser.h"
#include "Semantic/ProfileEmbeddingText.h"
#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace pemmo {
namespace {

float dot(const float* a, const float* b, std::size_t n) {
    float sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += a[i] * b[i];
    return sum;
}

} // namespace

// One person's vectors side by side (profile first, then memories) with their lengths, so that a
// search runs through memory in order.
struct EmbeddingIndex::Slot {
    QString id;
    std::vector<float> rows;
    std::vector<float> lengths;
};

EmbeddingIndex::EmbeddingIndex(std::shared_ptr<const Embedder> embedder, std::optional<QString> filePath)
    : m_embedder(std::move(embedder))
    , m_filePath(std::move(filePath))
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("EmbeddingIndex"))) {
    // The first job: every operation queued after it sees the loaded entries.
    m_executor->post([this] { load(); });
}

EmbeddingIndex::~EmbeddingIndex() {
    // A long update gives way; the jobs still queued finish before the state they use goes.
    cancelUpdate();
    m_executor.reset();
}

void EmbeddingIndex::load() {
    if (!m_filePath || !QFileInfo::exists(*m_filePath))
        return;
    QByteArray bytes;
    try {
        bytes = AtomicFile::read(*m_filePath);
    } catch (const FileError&) {
        qCCritical(lcEmbeddings, "Failed to decode embedding index at %s; starting empty",
                   qUtf8Printable(*m_filePath));
        return;
    }
    m_entries =
        EmbeddingIndexFile::decode(bytes, m_embedder->identifier(), m_embedder->dimension(), *m_filePath);
    m_slots.reserve(std::size_t(m_entries.size()));
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        index(it.key(), it.value());
}

void EmbeddingIndex::index(const QString& id, const StoredEmbedding& entry) {
    const std::size_t dim = std::size_t(m_embedder->dimension());
    Slot slot;
    slot.id = id;
    slot.rows.reserve(dim * (1 + entry.memories.size()));
    const auto add = [&](const EmbeddingVector& vector) {
        slot.rows.insert(slot.rows.end(), vector.begin(), vector.end());
        slot.lengths.push_back(std::sqrt(dot(vector.data(), vector.data(), dim)));
    };
    add(entry.vector);
    for (const EmbeddingVector& memory : entry.memories)
        add(memory);
    const auto existing = m_slotOf.constFind(id);
    if (existing != m_slotOf.cend()) {
        m_slots[*existing] = std::move(slot);
        return;
    }
    m_slotOf.insert(id, m_slots.size());
    m_slots.push_back(std::move(slot));
}

void EmbeddingIndex::unindex(const QString& id) {
    const auto found = m_slotOf.constFind(id);
    if (found == m_slotOf.cend())
        return;
    const std::size_t at = *found;
    m_slotOf.erase(found);
    if (at + 1 != m_slots.size()) {
        m_slots[at] = std::move(m_slots.back());
        m_slotOf[m_slots[at].id] = at;
    }
    m_slots.pop_back();
}

QCoro::Task<EmbeddingIndex::UpdateResult> EmbeddingIndex::update(QList<Profile> profiles) {
    const int generation = m_cancelGeneration.load();
    auto job = m_executor->post([this, generation, profiles = std::move(profiles)] {
        UpdateResult result;
        QSet<QString> present;
        present.reserve(profiles.size());
        const int dim = m_embedder->dimension();
        for (const Profile& profile : profiles) {
            if (m_cancelGeneration.load(std::memory_order_relaxed) != generation) {
                result.cancelled = true;
                return result;
            }
            present.insert(profile.id());
            const QString hash = ProfileEmbeddingText::contentHash(profile);
            const auto stored = m_entries.constFind(profile.id());
            if (stored != m_entries.cend() && stored->hash == hash) {
                ++result.kept;
                continue;
            }
            StoredEmbedding entry;
            entry.hash = hash;
            // A profile with no vector keeps one of zero length: stored, so it is not embedded
            // again, and never found.
            entry.vector = m_embedder->embed(ProfileEmbeddingText::text(profile))
                               .value_or(EmbeddingVector(std::size_t(dim), 0.0f));
            for (const QString& memory : ProfileEmbeddingText::memories(profile)) {
                if (auto vector = m_embedder->embed(memory))
                    entry.memories.push_back(std::move(*vector));
            }
            index(profile.id(), entry);
            m_entries.insert(profile.id(), std::move(entry));
            m_needsPersist = true;
            ++result.embedded;
        }
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (present.contains(it.key())) {
                ++it;
                continue;
            }
            unindex(it.key());
            it = m_entries.erase(it);
            m_needsPersist = true;
            ++result.removed;
        }
        return result;
    });
    co_return co_await job;
}

void EmbeddingIndex::cancelUpdate() {
    m_cancelGeneration.fetch_add(1);
}

QList<SemanticHit> EmbeddingIndex::searchNow(const QString& query, int limit) const {
    if (limit <= 0)
        return {};
    const auto vector = m_embedder->embed(QueryParser::stripInterestPhrase(query));
    if (!vector)
        return {};
    const std::size_t dim = std::size_t(m_embedder->dimension());
    const float queryLength = std::sqrt(dot(vector->data(), vector->data(), dim));
    if (!(queryLength > 0))
        return {};
    struct Scored {
        float similarity;
        const QString* id;
    };
    std::vector<Scored> scored;
    scored.reserve(m_slots.size());
    for (const Slot& slot : m_slots) {
        float best = -2;
        for (std::size_t row = 0; row < slot.lengths.size(); ++row) {
            if (!(slot.lengths[row] > 0))
                continue;
            const float cosine =
                dot(vector->data(), slot.rows.data() + row * dim, dim) / (queryLength * slot.lengths[row]);
            best = std::max(best, cosine);
        }
        if (best > -2)
            scored.push_back({best, &slot.id});
    }
    const auto better = [](const Scored& a, const Scored& b) {
        return a.similarity != b.similarity ? a.similarity > b.similarity : *a.id < *b.id;
    };
    const std::size_t keep = std::min(scored.size(), std::size_t(limit));
    std::partial_sort(scored.begin(), scored.begin() + std::ptrdiff_t(keep), scored.end(), better);
    QList<SemanticHit> hits;
    hits.reserve(qsizetype(keep));
    for (std::size_t i = 0; i < keep; ++i)
        hits.append({*scored[i].id, double(scored[i].similarity)});
    return hits;
}

QCoro::Task<QList<SemanticHit>> EmbeddingIndex::search(QString query, int limit) {
    auto job = m_executor->post([this, query, limit] { return searchNow(query, limit); });
    co_return co_await job;
}

QCoro::Task<bool> EmbeddingIndex::persist() {
    auto job = m_executor->post([this] {
        if (!m_needsPersist)
            return false;
        if (!m_filePath) {
            m_needsPersist = false;
            return false;
        }
        const std::string data =
            EmbeddingIndexFile::encode(m_embedder->identifier(), m_embedder->dimension(), m_entries);
        try {
            AtomicFile::ensureDirectory(QFileInfo(*m_filePath).absolutePath());
            AtomicFile::write(*m_filePath, data);
        } catch (const FileError& error) {
            qCCritical(lcEmbeddings, "Failed to write embedding index at %s: %s", qUtf8Printable(*m_filePath),
                       qUtf8Printable(error.description()));
            throw;
        }
        m_needsPersist = false;
        return true;
    });
    co_return co_await job;
}

QCoro::Task<void> EmbeddingIndex::erase() {
    auto job = m_executor->post([this] {
        m_entries.clear();
        m_slots.clear();
        m_slotOf.clear();
        m_needsPersist = false;
        if (!m_filePath)
            return;
        QFile file(*m_filePath);
        if (file.exists() && !file.remove()) {
            qCCritical(lcEmbeddings, "Failed to delete embedding index at %s: %s",
                       qUtf8Printable(*m_filePath), qUtf8Printable(file.errorString()));
        }
    });
    co_await job;
}

QCoro::Task<EmbeddingIndex::UpdateResult> EmbeddingIndex::rebuild(QList<Profile> profiles) {
    auto erasing = erase();
    co_await erasing;
    auto updating = update(std::move(profiles));
    const UpdateResult result = co_await updating;
    auto persisting = persist();
    co_await persisting;
    co_return result;
}

QCoro::Task<EmbeddingIndex::Stats> EmbeddingIndex::stats() {
    auto job = m_executor->post([this] {
        Stats stats;
        stats.entries = int(m_entries.size());
        for (const Slot& slot : m_slots)
            stats.vectors += int(slot.lengths.size());
        stats.needsPersist = m_needsPersist;
        return stats;
    });
    co_return co_await job;
}

QCoro::Task<QHash<QString, StoredEmbedding>> EmbeddingIndex::entries() {
    auto job = m_executor->post([this] { return m_entries; });
    co_return co_await job;
}

} // namespace pemmo
