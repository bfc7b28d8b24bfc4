// One keystroke of the search panel over 10,000 generated people: parse, score, rank and lay out
// the sections, for the queries people type most; and the index build that runs when the people or
// the lists change. Each query reports its median and 99th percentile in milliseconds.
#include "Lists/TagCatalog.h"
#include "ProfileGenerator.h"
#include "Search/QueryParser.h"
#include "Search/SearchEngine.h"
#include "Search/SearchIndex.h"
#include "Search/SearchLayout.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "StoreGenerator.h"

#include <QElapsedTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <vector>

namespace pemmo::bench {
namespace {

constexpr int kPeople = 10'000;

struct Fixture {
    ProfileGenerator::People people;
    SearchIndex index;
    SearchBoosts boosts;
    InMemoryKeyValueStore defaults;
    std::unique_ptr<TagCatalog> tags;
};

Fixture& fixture() {
    static const std::unique_ptr<Fixture> instance = [] {
        auto f = std::make_unique<Fixture>();
        f->people = ProfileGenerator::generate(kPeople);
        f->index = SearchIndex(f->people.profiles);
        f->boosts.now = StoreGenerator::defaultNow();
        const auto& profiles = f->people.profiles;
        for (int i = 0; i < 5; ++i)
            f->boosts.starred.insert(profiles[i * 997].id());
        for (int i = 0; i < 15; ++i)
            f->boosts.recentOpens.insert(profiles[i * 331].id(), f->boosts.now.addDays(-i));
        QSet<QString> circles;
        for (const Profile& p : profiles) {
            if (const auto last = p.lastContacted())
                f->boosts.lastContacted.insert(p.id(), *last);
            for (const QString& tag : p.record->tags)
                circles.insert(tag);
        }
        f->tags = std::make_unique<TagCatalog>(f->defaults);
        f->tags->registerIDs(circles);
        return f;
    }();
    return *instance;
}

void reportPercentiles(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) {
        return samples[std::min(samples.size() - 1,
                                static_cast<std::size_t>(q * static_cast<double>(samples.size())))];
    };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
}

void keystroke(benchmark::State& state, const char* text) {
    Fixture& f = fixture();
    SearchEngine engine;
    const QString query = QString::fromUtf8(text);
    std::vector<double> samples;
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // What the panel does per keystroke: parse, circles, score and rank, lay out the rows.
        const ParsedQuery parsed = QueryParser::parse(query);
        QString circleText = query.trimmed();
        if (circleText.startsWith(u'#'))
            circleText.remove(0, 1);
        const QList<Tag> circles = f.tags->suggestions(circleText, {});
        const QList<SearchHit> results = engine.search(parsed, f.index, f.boosts, SearchLayout::resultsLimit);
        const QList<SearchSectionRows> sections =
            SearchLayout::forQuery({f.people.profiles, f.index}, parsed, circles, results);
        benchmark::DoNotOptimize(sections.data());
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        samples.push_back(took.count());
        hits = static_cast<std::size_t>(results.size());
    }
    state.counters["hits"] = static_cast<double>(hits);
    reportPercentiles(state, samples);
}

// CPU time of the whole process (every thread) in milliseconds: on a loaded machine the wall time
// of a build says more about the other processes than about the build.
double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Bytes of live heap blocks (all arenas, and the blocks mapped on their own), as glibc counts them.
double heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void indexBuild(benchmark::State& state) {
    Fixture& f = fixture();
    // What one index holds once built, its chunk headers included.
    double held = 0;
    {
        const double before = heapBytes();
        const SearchIndex index(f.people.profiles);
        held = heapBytes() - before;
    }
    std::vector<double> samples;
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuMs();
        const auto start = std::chrono::steady_clock::now();
        SearchIndex index(f.people.profiles);
        benchmark::DoNotOptimize(&index);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        cpu += processCpuMs() - cpuStart;
        samples.push_back(took.count());
    }
    state.counters["words"] = static_cast<double>(f.index.words().size());
    state.counters["postings"] = static_cast<double>(f.index.words().postingCount());
    state.counters["cpu_ms"] = cpu / static_cast<double>(samples.size());
    state.counters["held_mb"] = held / 1e6;
    reportPercentiles(state, samples);
}

// The first step of the build alone: folding and tokenising every field of every person.
void indexEntries(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::vector<IndexEntry> entries;
        entries.reserve(static_cast<std::size_t>(f.people.profiles.size()));
        for (const Profile& p : f.people.profiles)
            entries.push_back(IndexEntry::make(p));
        benchmark::DoNotOptimize(entries.data());
    }
}

} // namespace

BENCHMARK_CAPTURE(keystroke, oneLetter, "m")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, firstName, "bjorn")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, misspeltName, "hofmann")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, twoTerms, "lukas mul")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, twoTermsShortLast, "lukas m")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, circleFilter, "#work le")->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK_CAPTURE(keystroke, question, "who plays cello in an orchestra?")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(400);
BENCHMARK(indexBuild)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(indexEntries)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace pemmo::bench
