#include "Semantic/EmbeddingIndex.h"

#include "Search/QueryParser.h"
#include "Semantic/ProfileEmbeddingText.h"
#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace pemmo {
namespace {

// Eight running sums, so that the compiler can keep them in one vector register instead of
// adding one product at a time.
float dot(const float* a, const float* b, std::size_t n) {
    float sums[8] = {};
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        for (std::size_t k = 0; k < 8; ++k)
            sums[k] += a[i + k] * b[i + k];
    }
    float sum = 0;
    for (; i < n; ++i)
        sum += a[i] * b[i];
    for (const float s : sums)
        sum += s;
    return sum;
}

} // namespace

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
    QHash<QString, StoredEmbedding> stored =
        EmbeddingIndexFile::decode(bytes, m_embedder->identifier(), m_embedder->dimension(), *m_filePath);
    bytes.clear();
    m_entries.reserve(stored.size());
    for (auto it = stored.begin(); it != stored.end(); ++it)
        m_entries.insert(it.key(), entry(std::move(it.value())));
}

EmbeddingIndex::Entry EmbeddingIndex::entry(StoredEmbedding stored) const {
    const std::size_t dim = std::size_t(m_embedder->dimension());
    Entry result;
    result.lengths.reserve(stored.vectors.size() / dim);
    for (std::size_t at = 0; at + dim <= stored.vectors.size(); at += dim)
        result.lengths.push_back(std::sqrt(dot(stored.vectors.data() + at, stored.vectors.data() + at, dim)));
    result.stored = std::move(stored);
    return result;
}

QCoro::Task<EmbeddingIndex::UpdateResult> EmbeddingIndex::update(QList<Profile> profiles) {
    const int generation = m_cancelGeneration.load();
    auto job = m_executor->post([this, generation, profiles = std::move(profiles)] {
        UpdateResult result;
        // Every entry met in this pass gets the pass's mark; the unmarked ones are of people gone.
        const quint64 mark = ++m_updatePass;
        const int dim = m_embedder->dimension();
        for (const Profile& profile : profiles) {
            if (m_cancelGeneration.load(std::memory_order_relaxed) != generation) {
                result.cancelled = true;
                return result;
            }
            const auto existing = m_entries.find(profile.id());
            if (existing != m_entries.end())
                existing->mark = mark;
            if (existing != m_entries.end() && existing->seen &&
                ProfileEmbeddingText::sameSource(*existing->seen, profile)) {
                ++result.kept;
                continue;
            }
            const QString hash = ProfileEmbeddingText::contentHash(profile);
            if (existing != m_entries.end() && existing->stored.hash == hash) {
                existing->seen = profile;
                ++result.kept;
                continue;
            }
            StoredEmbedding stored;
            stored.hash = hash;
            // A profile with no vector keeps one of zero length: stored, so it is not embedded
            // again, and never found.
            const EmbeddingVector vector = m_embedder->embed(ProfileEmbeddingText::text(profile))
                                               .value_or(EmbeddingVector(std::size_t(dim), 0.0f));
            stored.vectors = vector;
            for (const QString& memory : ProfileEmbeddingText::memories(profile)) {
                if (const auto memoryVector = m_embedder->embed(memory))
                    stored.vectors.insert(stored.vectors.end(), memoryVector->begin(), memoryVector->end());
            }
            Entry made = entry(std::move(stored));
            made.seen = profile;
            made.mark = mark;
            m_entries.insert(profile.id(), std::move(made));
            m_needsPersist = true;
            ++result.embedded;
        }
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->mark == mark) {
                ++it;
                continue;
            }
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
    scored.reserve(std::size_t(m_entries.size()));
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const std::vector<float>& lengths = it->lengths;
        const float* rows = it->stored.vectors.data();
        float best = -2;
        for (std::size_t row = 0; row < lengths.size(); ++row) {
            if (!(lengths[row] > 0))
                continue;
            const float cosine = dot(vector->data(), rows + row * dim, dim) / (queryLength * lengths[row]);
            best = std::max(best, cosine);
        }
        if (best > -2)
            scored.push_back({best, &it.key()});
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
        std::vector<std::pair<QString, const StoredEmbedding*>> entries;
        entries.reserve(std::size_t(m_entries.size()));
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
            entries.emplace_back(it.key(), &it->stored);
        const std::string data =
            EmbeddingIndexFile::encode(m_embedder->identifier(), m_embedder->dimension(), entries);
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
        m_entries.clear(); // drops the remembered profiles too
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
        for (const Entry& entry : std::as_const(m_entries))
            stats.vectors += int(entry.lengths.size());
        stats.needsPersist = m_needsPersist;
        return stats;
    });
    co_return co_await job;
}

QCoro::Task<QHash<QString, StoredEmbedding>> EmbeddingIndex::entries() {
    auto job = m_executor->post([this] {
        QHash<QString, StoredEmbedding> entries;
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
            entries.insert(it.key(), it->stored);
        return entries;
    });
    co_return co_await job;
}

} // namespace pemmo
