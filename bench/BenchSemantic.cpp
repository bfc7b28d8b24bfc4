// The semantic index over 10,000 generated people with their memories, with the real word table:
// the first full update, the update after one profile changed, one query (median and 99th
// percentile), the load of "embeddings.json", and what the mapped table costs in memory.
#include "BenchSupport.h"
#include "ProfileGenerator.h"
#include "Semantic/EmbeddingIndex.h"
#include "Semantic/GloveEmbedder.h"
#include "Support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>

namespace pemmo::bench {
namespace {

constexpr int kPeople = 10'000;

struct Fixture {
    ProfileGenerator::People people;
    std::shared_ptr<GloveEmbedder> embedder;
    QTemporaryDir dir;
    std::unique_ptr<EmbeddingIndex> index; // filled once, for queries and small updates
};

// Never destroyed: the index's thread cannot be joined once the application object is gone.
Fixture& fixture() {
    static Fixture* const instance = [] {
        auto* f = new Fixture;
        f->people = ProfileGenerator::generate(kPeople);
        f->embedder = GloveEmbedder::locate();
        if (f->embedder) {
            f->index = std::make_unique<EmbeddingIndex>(f->embedder,
                                                        f->dir.filePath(QStringLiteral("embeddings.json")));
            pemmo::waitFor(f->index->update(f->people.profiles));
            pemmo::waitFor(f->index->persist());
        }
        return f;
    }();
    return *instance;
}

bool ready(benchmark::State& state) {
    if (fixture().embedder)
        return true;
    state.SkipWithError("no word table: build the release preset with npm reachable");
    return false;
}

void fullUpdate(benchmark::State& state) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    std::vector<double> samples, cpu;
    EmbeddingIndex::Stats stats;
    for (auto _ : state) {
        EmbeddingIndex index(f.embedder, std::nullopt);
        pemmo::waitFor(index.stats()); // the (empty) load is not part of the update
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMilliseconds();
        pemmo::waitFor(index.update(f.people.profiles));
        samples.push_back(millisecondsSince(start));
        cpu.push_back(processCpuMilliseconds() - cpuStart);
        stats = pemmo::waitFor(index.stats());
    }
    state.counters["vectors"] = stats.vectors;
    state.counters["index_MB"] = double(stats.vectors) * f.embedder->dimension() * 4 / 1e6;
    reportPercentiles(state, samples, cpu);
}

void oneProfileChanged(benchmark::State& state) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    QList<Profile> profiles = f.people.profiles;
    Interaction note;
    note.id = QUuid::createUuid();
    note.date = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    profiles[4321].record.edit().interactions.append(note);
    std::vector<double> samples, cpu;
    int round = 0;
    for (auto _ : state) {
        profiles[4321].record.edit().interactions.last().text =
            QStringLiteral("Went sailing around the islands, round %1").arg(++round);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMilliseconds();
        const auto result = pemmo::waitFor(f.index->update(profiles));
        samples.push_back(millisecondsSince(start));
        cpu.push_back(processCpuMilliseconds() - cpuStart);
        if (result.embedded != 1)
            state.SkipWithError("more than the changed profile was embedded");
    }
    pemmo::waitFor(f.index->update(f.people.profiles));
    reportPercentiles(state, samples, cpu);
}

void query(benchmark::State& state, const char* text) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    const QString q = QString::fromUtf8(text);
    std::vector<double> samples, cpu;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMilliseconds();
        const auto hits = pemmo::waitFor(f.index->search(q, 58)); // 8 beside up to 50 lexical
        samples.push_back(millisecondsSince(start));
        cpu.push_back(processCpuMilliseconds() - cpuStart);
        benchmark::DoNotOptimize(hits.data());
    }
    reportPercentiles(state, samples, cpu);
}

void loadFile(benchmark::State& state) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    const QString path = f.dir.filePath(QStringLiteral("embeddings.json"));
    std::vector<double> samples, cpu;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMilliseconds();
        EmbeddingIndex index(f.embedder, path);
        const auto stats = pemmo::waitFor(index.stats()); // waits for the load
        samples.push_back(millisecondsSince(start));
        cpu.push_back(processCpuMilliseconds() - cpuStart);
        if (stats.entries != kPeople)
            state.SkipWithError("the file did not load whole");
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
    reportPercentiles(state, samples, cpu);
}

void persistFile(benchmark::State& state) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    std::vector<double> samples, cpu;
    for (auto _ : state) {
        QFile::remove(f.dir.filePath(QStringLiteral("written.json")));
        EmbeddingIndex index(f.embedder, f.dir.filePath(QStringLiteral("written.json")));
        pemmo::waitFor(index.update(f.people.profiles));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMilliseconds();
        pemmo::waitFor(index.persist());
        samples.push_back(millisecondsSince(start));
        cpu.push_back(processCpuMilliseconds() - cpuStart);
    }
    reportPercentiles(state, samples, cpu);
}

// What the mapped table costs this process once every profile has been embedded: its resident
// pages are file-backed and clean; anonymous (heap) and dirty pages would be private memory.
void tableMemory(benchmark::State& state) {
    Fixture& f = fixture();
    if (!ready(state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.embedder->embed(QStringLiteral("warm the table")));
    const MappingMemory m = mappingMemory(f.embedder->table().path());
    state.counters["table_file_MB"] = double(f.embedder->table().fileSize()) / 1e6;
    state.counters["rss_MB"] = m.rssKB / 1e3;
    state.counters["shared_clean_MB"] = m.sharedCleanKB / 1e3;
    state.counters["private_clean_MB"] = m.privateCleanKB / 1e3;
    state.counters["private_dirty_MB"] = m.privateDirtyKB / 1e3;
    state.counters["anonymous_MB"] = m.anonymousKB / 1e3;
}

} // namespace

BENCHMARK(fullUpdate)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(oneProfileChanged)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(query, interest, "people who like jazz")->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK_CAPTURE(query, question, "who did I go hiking with in the Alps?")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);
BENCHMARK(loadFile)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(persistFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(tableMemory)->Iterations(1);

} // namespace pemmo::bench
