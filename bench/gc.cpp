// Collector benchmarks: each Zel program of bench/gc/ is loaded once through
// the test boot environment and its evaluation timed, best of three runs,
// with the collector's figures of those runs: cycles, the longest cycle,
// compactions and the longest compaction (milliseconds), the share of the
// three runs' time spent collecting and compacting, and the memory the
// run-time holds afterwards; lines "<name> seconds=<s> cycles=<n>
// longest-cycle-ms=<ms> compactions=<n> longest-compaction-ms=<ms>
// collector-share=<percent> held-mb=<mb>".
//
//   bench_gc <programs dir> <name>...     (programs: <dir>/<name>.zel)
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/programs.h"
#include "foundation/collector.h"

using namespace zel;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gc <programs dir> <name>...\n");
        return 2;
    }
    test::boot_environment();
    for (int k = 2; k < argc; k++) {
        std::string name = argv[k];
        Cell code = bench::load_program(argv[1], name);
        double best = 1e300, total = 0;
        collector::Stats before = collector::stats();
        for (int round = 0; round < 3; round++) {
            auto start = std::chrono::steady_clock::now();
            (void)test::run(code);
            std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
            if (spent.count() < best) best = spent.count();
            total += spent.count();
        }
        collector::Stats after = collector::stats();
        std::printf("%s seconds=%.4f cycles=%u longest-cycle-ms=%.2f compactions=%u longest-compaction-ms=%.2f "
                    "collector-share=%.0f%% held-mb=%.1f\n",
                    name.c_str(), best, after.cycles - before.cycles, after.longest_cycle_ms,
                    after.compactions - before.compactions, after.longest_compaction_ms,
                    100 * (after.total_cycle_ms - before.total_cycle_ms + after.total_compaction_ms -
                           before.total_compaction_ms) / 1000 / total,
                    double(memory::g_record.total) / 1e6);
    }
    runtime::shutdown();
    return 0;
}
