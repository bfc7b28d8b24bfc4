#include "BenchSupport.h"

#include <QFile>
#include <QList>
#include <algorithm>
#include <ctime>

namespace pemmo::bench {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double processCpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void reportPercentiles(benchmark::State& state, std::vector<double>& samples, std::vector<double> cpu) {
    const auto at = [](std::vector<double>& v, double q) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
    };
    if (!samples.empty()) {
        state.counters["median_ms"] = at(samples, 0.5);
        state.counters["p99_ms"] = at(samples, 0.99);
    }
    if (!cpu.empty()) {
        state.counters["cpu_median_ms"] = at(cpu, 0.5);
        state.counters["cpu_p99_ms"] = at(cpu, 0.99);
    }
}

MappingMemory mappingMemory(const QString& path) {
    MappingMemory m;
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return m;
    bool inside = false;
    const QList<QByteArray> lines = smaps.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.isEmpty())
            continue;
        // A mapping's header starts with its address range; the path, if any, is its last field.
        if (fields[0].contains('-') && !fields[0].endsWith(':')) {
            inside = fields.size() >= 6 && fields.last() == path.toUtf8();
            continue;
        }
        if (!inside || fields.size() < 2)
            continue;
        const double kb = fields[1].toDouble();
        if (fields[0] == "Rss:")
            m.rssKB += kb;
        else if (fields[0] == "Shared_Clean:")
            m.sharedCleanKB += kb;
        else if (fields[0] == "Private_Clean:")
            m.privateCleanKB += kb;
        else if (fields[0] == "Private_Dirty:")
            m.privateDirtyKB += kb;
        else if (fields[0] == "Anonymous:")
            m.anonymousKB += kb;
    }
    return m;
}

} // namespace pemmo::bench
