// Sorting a block of random integers with the sort action's handler: the
// quick sort (default) and the merge sort (/stable) over integer! cells
// compared through their compare handler, best of three.
//
//   bench_block_sort [count]      (default 1000000)
// Prints
//   zel sort <seconds> stable <seconds>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "boot/runtime.h"
#include "foundation/cell.h"
#include "foundation/memory.h"
#include "series/block.h"

using namespace zel;

namespace {

Cell block_of(const std::vector<int32_t>& values) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, memory::alloc_cells(int64_t(values.size())));
    Series* s = memory::series_of(b.data2);
    for (size_t i = 0; i < values.size(); i++) cell::set(s->cells() + i, TYPE_INTEGER, 0, uint32_t(values[i]));
    s->tail = s->offset + uint32_t(values.size() * sizeof(Cell));
    return b;
}

bool ascending(const Cell& b) {
    Series* s = memory::series_of(b.data2);
    int64_t n = s->used() / int64_t(sizeof(Cell));
    for (int64_t i = 1; i < n; i++)
        if (cell::get_int(s->cells() + i - 1) > cell::get_int(s->cells() + i)) return false;
    return true;
}

double best_seconds(const std::vector<int32_t>& values, bool stable) {
    double best = 1e30;
    for (int round = 0; round < 3; round++) {
        Cell b = block_of(values);
        auto start = std::chrono::steady_clock::now();
        block::sort(&b, false, nullptr, nullptr, nullptr, false, false, stable);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ascending(b)) {
            std::fprintf(stderr, "not sorted\n");
            std::exit(1);
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    runtime::init();
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::vector<int32_t> values(static_cast<size_t>(count));
    for (int32_t& v : values) v = any(rng);
    double quick = best_seconds(values, false);
    double merge = best_seconds(values, true);
    std::printf("zel sort %.4f stable %.4f\n", quick, merge);
    return 0;
}
