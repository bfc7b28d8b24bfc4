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

// On x86-64 the loops below are built twice, for the baseline and for processors with AVX2 and
// FMA (eight floats a step); the loader picks one when the program starts. Not under
// ThreadSanitizer: the loader runs the (instrumented) chooser before the sanitizer's runtime is up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define PEMMO_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define PEMMO_VECTOR_CLONES
#endif

// Thirty-two running sums, so that the compiler can keep them in vector registers instead of
// adding one product at a time.
inline float dotInline(const float* a, const float* b, std::size_t n) {
    float sums[32] = {};
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        for (std::size_t k = 0; k < 32; ++k)
            sums[k] += a[i + k] * b[i + k];
    }
    float sum = 0;
    for (; i < n; ++i)
        sum += a[i] * b[i];
    for (const float s : sums)
        sum += s;
    return sum;
}

PEMMO_VECTOR_CLONES float dot(const float* a, const float* b, std::size_t n) {
    return dotInline(a, b, n);
}

// The best cosine of each person over their rows: `best` is indexed by slot.
PEMMO_VECTOR_CLONES void scanRows(const float* query, float queryLength, const float* rows,
                                  const float* lengths, const std::int32_t* owners, std::size_t count,
                                  std::size_t dim, float* best) {
    for (std::size_t row = 0; row < count; ++row, rows += dim) {
        const std::int32_t owner = owners[row];
        if (owner < 0 || !(lengths[row] > 0))
            continue;
        const float cosine = dotInline(query, rows, dim) / (queryLength * lengths[row]);
        best[owner] = std::max(best[owner], cosine);
    }
}

} // namespace

EmbeddingIndex::EmbeddingIndex(std::shared_ptr<const Embedder> embedder, std::optional<QString> filePath)
    : m_embedder(std::move(embedder))
    , m_filePath(std::move(filePath))
    , m_dimension(std::size_t(std::max(m_embedder->dimension(), 1)))
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("EmbeddingIndex"))) {
    // The first job: every operation queued after it sees the loaded entries.
    m_executor->post([this] { load(); });
}

EmbeddingIndex::~EmbeddingIndex() {
    // A long update gives way; the jobs still queued finish before the state they use goes.
    cancelUpdate();
    m_executor->finish();
}

void EmbeddingIndex::load() {
    if (!m_filePath || !QFileInfo::exists(*m_filePath))
        return;
    EmbeddingIndexFile::Rows decoded;
    {
        QByteArray bytes;
        try {
            bytes = EmbeddingIndexFile::read(*m_filePath);
        } catch (const FileError&) {
            qCCritical(lcEmbeddings, "Failed to decode embedding index at %s; starting empty",
                       qUtf8Printable(*m_filePath));
            return;
        }
        decoded = EmbeddingIndexFile::decodeRows(bytes, m_embedder->identifier(), m_embedder->dimension(),
                                                 *m_filePath);
    }
    // The decoded rows become the index's own, in the file's order.
    m_rows = std::move(decoded.rows);
    const std::size_t rowCount = m_rows.size() / m_dimension;
    m_lengths.assign(rowCount, 0.0f);
    m_owners.assign(rowCount, -1);
    m_people.reserve(decoded.entries.size());
    m_slots.reserve(qsizetype(decoded.entries.size()));
    for (EmbeddingIndexFile::Rows::Entry& entry : decoded.entries) {
        const std::size_t slot = m_people.size();
        if (m_slots.contains(entry.id))
            continue; // the JSON object repeated a key: the first one counts
        Person person;
        person.id = entry.id;
        person.hash = std::move(entry.hash);
        person.firstRow = entry.firstRow;
        person.rowCount = entry.rowCount;
        m_people.push_back(std::move(person));
        m_slots.insert(entry.id, slot);
        for (std::size_t row = entry.firstRow; row < entry.firstRow + entry.rowCount; ++row) {
            const float* values = m_rows.data() + row * m_dimension;
            m_lengths[row] = std::sqrt(dot(values, values, m_dimension));
            m_owners[row] = std::int32_t(slot);
        }
    }
    m_deadRows = std::size_t(std::count(m_owners.begin(), m_owners.end(), -1));
    compactIfWasteful();
}

void EmbeddingIndex::setRows(std::size_t first, const float* vectors, std::size_t count, std::int32_t owner) {
    std::copy_n(vectors, count * m_dimension, m_rows.begin() + std::ptrdiff_t(first * m_dimension));
    for (std::size_t i = 0; i < count; ++i) {
        const float* values = m_rows.data() + (first + i) * m_dimension;
        m_lengths[first + i] = std::sqrt(dot(values, values, m_dimension));
        m_owners[first + i] = owner;
    }
}

void EmbeddingIndex::store(const QString& id, const QString& hash, const float* vectors, std::size_t count) {
    const auto found = m_slots.constFind(id);
    std::size_t slot;
    if (found != m_slots.cend()) {
        slot = *found;
    } else if (!m_freeSlots.empty()) {
        slot = m_freeSlots.back();
        m_freeSlots.pop_back();
        m_slots.insert(id, slot);
    } else {
        slot = m_people.size();
        m_people.emplace_back();
        m_slots.insert(id, slot);
    }
    Person& person = m_people[slot];
    person.id = id;
    person.hash = hash;
    if (found != m_slots.cend() && person.rowCount == count) {
        // As many vectors as before (a note edited): in place.
        setRows(person.firstRow, vectors, count, std::int32_t(slot));
        return;
    }
    for (std::size_t row = person.firstRow; row < person.firstRow + person.rowCount; ++row)
        m_owners[row] = -1;
    m_deadRows += person.rowCount;
    person.firstRow = m_lengths.size();
    person.rowCount = count;
    m_rows.resize(m_rows.size() + count * m_dimension);
    m_lengths.resize(m_lengths.size() + count);
    m_owners.resize(m_owners.size() + count);
    setRows(person.firstRow, vectors, count, std::int32_t(slot));
    compactIfWasteful();
}

void EmbeddingIndex::remove(std::size_t slot) {
    Person& person = m_people[slot];
    for (std::size_t row = person.firstRow; row < person.firstRow + person.rowCount; ++row)
        m_owners[row] = -1;
    m_deadRows += person.rowCount;
    m_slots.remove(person.id);
    person = Person();
    m_freeSlots.push_back(slot);
}

void EmbeddingIndex::compactIfWasteful() {
    if (m_deadRows == 0 || m_deadRows * 4 < m_lengths.size())
        return;
    std::vector<float> rows;
    rows.reserve(liveRows() * m_dimension);
    std::vector<float> lengths;
    std::vector<std::int32_t> owners;
    lengths.reserve(liveRows());
    owners.reserve(liveRows());
    for (std::size_t slot = 0; slot < m_people.size(); ++slot) {
        Person& person = m_people[slot];
        if (person.id.isEmpty())
            continue;
        const std::size_t first = lengths.size();
        rows.insert(rows.end(), m_rows.begin() + std::ptrdiff_t(person.firstRow * m_dimension),
                    m_rows.begin() + std::ptrdiff_t((person.firstRow + person.rowCount) * m_dimension));
        lengths.insert(lengths.end(), m_lengths.begin() + std::ptrdiff_t(person.firstRow),
                       m_lengths.begin() + std::ptrdiff_t(person.firstRow + person.rowCount));
        owners.insert(owners.end(), person.rowCount, std::int32_t(slot));
        person.firstRow = first;
    }
    m_rows = std::move(rows);
    m_lengths = std::move(lengths);
    m_owners = std::move(owners);
    m_deadRows = 0;
}

QCoro::Task<EmbeddingIndex::UpdateResult> EmbeddingIndex::update(QList<Profile> profiles) {
    const int generation = m_cancelGeneration.load();
    auto job = m_executor->post([this, generation, profiles = std::move(profiles)] {
        UpdateResult result;
        // Every person met in this pass gets the pass's mark; the unmarked ones are gone.
        const quint64 mark = ++m_updatePass;
        EmbeddingVector vectors;
        for (const Profile& profile : profiles) {
            if (m_cancelGeneration.load(std::memory_order_relaxed) != generation) {
                result.cancelled = true;
                return result;
            }
            const auto existing = m_slots.constFind(profile.id());
            Person* person = existing != m_slots.cend() ? &m_people[*existing] : nullptr;
            if (person)
                person->mark = mark;
            if (person && person->seen && ProfileEmbeddingText::sameSource(*person->seen, profile)) {
                ++result.kept;
                continue;
            }
            const QString hash = ProfileEmbeddingText::contentHash(profile);
            if (person && person->hash == hash) {
                person->seen = profile;
                ++result.kept;
                continue;
            }
            // A profile with no vector keeps one of zero length: stored, so it is not embedded
            // again, and never found.
            vectors = m_embedder->embed(ProfileEmbeddingText::text(profile))
                          .value_or(EmbeddingVector(m_dimension, 0.0f));
            vectors.resize(m_dimension, 0.0f);
            for (const QString& memory : ProfileEmbeddingText::memories(profile)) {
                if (const auto memoryVector = m_embedder->embed(memory);
                    memoryVector && memoryVector->size() == m_dimension)
                    vectors.insert(vectors.end(), memoryVector->begin(), memoryVector->end());
            }
            store(profile.id(), hash, vectors.data(), vectors.size() / m_dimension);
            Person& stored = m_people[m_slots.value(profile.id())];
            stored.seen = profile;
            stored.mark = mark;
            m_needsPersist = true;
            ++result.embedded;
        }
        for (std::size_t slot = 0; slot < m_people.size(); ++slot) {
            if (m_people[slot].id.isEmpty() || m_people[slot].mark == mark)
                continue;
            remove(slot);
            m_needsPersist = true;
            ++result.removed;
        }
        compactIfWasteful();
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
    if (!vector || vector->size() != m_dimension)
        return {};
    const float queryLength = std::sqrt(dot(vector->data(), vector->data(), m_dimension));
    if (!(queryLength > 0))
        return {};
    std::vector<float> best(m_people.size(), -2.0f);
    scanRows(vector->data(), queryLength, m_rows.data(), m_lengths.data(), m_owners.data(), m_lengths.size(),
             m_dimension, best.data());
    struct Scored {
        float similarity;
        const QString* id;
    };
    std::vector<Scored> scored;
    scored.reserve(m_slots.size());
    for (std::size_t slot = 0; slot < m_people.size(); ++slot) {
        if (best[slot] > -2.0f)
            scored.push_back({best[slot], &m_people[slot].id});
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
        std::vector<EmbeddingIndexFile::EntryView> entries;
        entries.reserve(m_slots.size());
        for (const Person& person : m_people) {
            if (!person.id.isEmpty())
                entries.push_back(
                    {person.id, person.hash, m_rows.data() + person.firstRow * m_dimension, person.rowCount});
        }
        const std::string data =
            EmbeddingIndexFile::encode(m_embedder->identifier(), m_embedder->dimension(), std::move(entries));
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
        // Drops the remembered profiles too.
        m_rows = {};
        m_lengths = {};
        m_owners = {};
        m_deadRows = 0;
        m_people = {};
        m_freeSlots = {};
        m_slots.clear();
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
        stats.entries = int(m_slots.size());
        stats.vectors = int(liveRows());
        stats.needsPersist = m_needsPersist;
        return stats;
    });
    co_return co_await job;
}

QCoro::Task<QHash<QString, StoredEmbedding>> EmbeddingIndex::entries() {
    auto job = m_executor->post([this] {
        QHash<QString, StoredEmbedding> entries;
        for (const Person& person : m_people) {
            if (person.id.isEmpty())
                continue;
            const auto first = m_rows.begin() + std::ptrdiff_t(person.firstRow * m_dimension);
            entries.insert(person.id,
                           {person.hash, std::vector<float>(
                                             first, first + std::ptrdiff_t(person.rowCount * m_dimension))});
        }
        return entries;
    });
    co_return co_await job;
}

} // namespace pemmo
