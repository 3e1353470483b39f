// The least wall time of a few runs of a step, for the C++ drivers.
#pragma once

#include <algorithm>
#include <chrono>

namespace zel::bench {

template <typename Step>
double best_ms(Step step, int rounds = 3) {
    double best = 1e300;
    for (int r = 0; r < rounds; r++) {
        auto start = std::chrono::steady_clock::now();
        step();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace zel::bench
