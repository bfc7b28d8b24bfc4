// The record store's costs at 1,000 and 10,000 generated records: what start-up (load), every
// debounced write (flush) and an export pay, and the coding alone without the file system.
#include "Store/PemmoStore.h"
#include "StoreGenerator.h"
#include "Support/AtomicFile.h"
#include "Support/WaitFor.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace pemmo::bench {
namespace {

// One generated store per size, kept for the whole run: generating 10,000 records costs more than
// most of the measured operations.
struct Fixture {
    RecordMap records;
    std::string bytes;
    QByteArray fileBytes; // as the store reads them, with a file read's spare capacity
    QTemporaryDir folder;
};

Fixture& fixture(int count) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& slot = fixtures[count];
    if (!slot) {
        slot = std::make_unique<Fixture>();
        slot->records = StoreGenerator().generate(count);
        slot->bytes = StoreFile::encode(slot->records);
        const QString path = QDir(slot->folder.path()).filePath(PemmoStore::storeFileName());
        AtomicFile::write(path, slot->bytes);
        slot->fileBytes = AtomicFile::read(path);
        // The records as the running application holds them: decoded from the file, so laid out
        // in memory in file order rather than in the generator's order.
        slot->records = StoreFile::decode(slot->fileBytes, StoreGenerator::defaultNow());
    }
    return *slot;
}

void reportFile(benchmark::State& state, const Fixture& f) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes.size()));
    state.counters["fileMB"] = static_cast<double>(f.bytes.size()) / 1e6;
}

// A store loaded from the fixture's folder, the way the application starts.
std::unique_ptr<PemmoStore> loadedStore(const Fixture& f) {
    auto store = std::make_unique<PemmoStore>(f.folder.path());
    pemmo::waitFor(store->load());
    return store;
}

void storeLoad(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<PemmoStore>(f.folder.path());
        state.ResumeTiming();
        pemmo::waitFor(store->load());
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    reportFile(state, f);
}

void storeFlush(benchmark::State& state) {
    // Every debounced write and every commit goes through here: encode all, write, fsync, rename.
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    auto store = loadedStore(f);
    for (auto _ : state)
        pemmo::waitFor(store->flush());
    reportFile(state, f);
}

void storeExport(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    auto store = loadedStore(f);
    std::size_t size = 0;
    for (auto _ : state) {
        const QByteArray bytes = pemmo::waitFor(store->exportData());
        size = static_cast<std::size_t>(bytes.size());
    }
    reportFile(state, f);
    state.counters["exportMB"] = static_cast<double>(size) / 1e6;
}

void storeFileDecode(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    const QDateTime now = StoreGenerator::defaultNow();
    for (auto _ : state)
        benchmark::DoNotOptimize(StoreFile::decode(f.fileBytes, now));
    reportFile(state, f);
}

void storeFileEncode(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(StoreFile::encode(f.records));
    reportFile(state, f);
}

void storeFileEncodeForExport(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(StoreFile::encodeForExport(f.records));
    reportFile(state, f);
}

void atomicFileWrite(benchmark::State& state) {
    // The disk's share of a flush: the same bytes, already encoded.
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    const QString path = QDir(f.folder.path()).filePath(QStringLiteral("atomic-write.json"));
    for (auto _ : state)
        AtomicFile::write(path, f.bytes);
    reportFile(state, f);
}

void sizes(benchmark::internal::Benchmark* b) {
    // Wall time: the store works on its own thread, and a write waits for the disk.
    b->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(storeLoad)->Apply(sizes);
BENCHMARK(storeFlush)->Apply(sizes);
BENCHMARK(storeExport)->Apply(sizes);
BENCHMARK(storeFileDecode)->Apply(sizes);
BENCHMARK(storeFileEncode)->Apply(sizes);
BENCHMARK(storeFileEncodeForExport)->Apply(sizes);
BENCHMARK(atomicFileWrite)->Apply(sizes);

} // namespace
} // namespace pemmo::bench
