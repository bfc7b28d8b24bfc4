// Small helpers the benchmarks share: percentiles as counters, elapsed milliseconds, and what one
// memory mapping of the process costs.
#pragma once

#include <QString>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace pemmo::bench {

double millisecondsSince(std::chrono::steady_clock::time_point start);
// The CPU time of the whole process (every thread) in milliseconds: on a machine shared with other
// work, what an operation cost rather than how long it waited for a core.
double processCpuMilliseconds();

// Adds "median_ms" and "p99_ms" counters from the samples (milliseconds); with `cpu` samples also
// "cpu_median_ms" and "cpu_p99_ms".
void reportPercentiles(benchmark::State& state, std::vector<double>& samples, std::vector<double> cpu = {});

struct MappingMemory {
    double rssKB = 0, sharedCleanKB = 0, privateCleanKB = 0, privateDirtyKB = 0, anonymousKB = 0;
};

// The sums over the mappings of `path` in /proc/self/smaps.
MappingMemory mappingMemory(const QString& path);

} // namespace pemmo::bench
