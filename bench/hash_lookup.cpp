// Looking words up in a hash!: 200,000 distinct words in a hash!, each
// found once with the find handler (through the table), best of three; and
// the cost of making the hash! (its table over the block).
//
//   bench_hash_lookup [count]      (default 200000)
// Prints
//   zel make <seconds> lookups <seconds>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "boot/runtime.h"
#include "foundation/cell.h"
#include "foundation/memory.h"
#include "series/block.h"
#include "series/hash.h"
#include "words/word.h"

using namespace zel;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 200000;
    runtime::init();
    std::vector<Cell> words;
    Cell block;
    cell::set(&block, TYPE_BLOCK, 0, memory::alloc_cells(count));
    for (int i = 0; i < count; i++) {
        char name[16];
        std::snprintf(name, sizeof name, "w%d", i);
        words.push_back(word::load(name));
        *cell::alloc_tail(&block) = words.back();
    }
    double make = 1e30, lookups = 1e30;
    for (int round = 0; round < 3; round++) {
        Cell proto, hash;
        cell::set(&proto, TYPE_DATATYPE, TYPE_HASH);
        auto start = std::chrono::steady_clock::now();
        hash = *hash::make(&proto, &block, TYPE_HASH);
        make = std::min(make, seconds_since(start));

        start = std::chrono::steady_clock::now();
        int found = 0;
        for (int i = 0; i < count; i++) {
            Cell at = hash;
            block::find(&at, &words[size_t(i)], nullptr, false, false, false, false, nullptr, nullptr, false, false,
                        false, false);
            found += int32_t(at.data1) == i;
        }
        lookups = std::min(lookups, seconds_since(start));
        if (found != count) {
            std::fprintf(stderr, "found %d of %d\n", found, count);
            return 1;
        }
    }
    std::printf("zel make %.4f lookups %.4f\n", make, lookups);
    return 0;
}
