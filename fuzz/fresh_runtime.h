// The run-time keeps everything a fuzz target makes until it quits;
// starting it afresh now and then keeps a long fuzzing run within its
// memory.
#pragma once

#include "boot/runtime.h"

namespace zel::fuzz {

constexpr int RUNS_PER_START = 2000;

// Starts the run-time with `start` on the first run and every
// RUNS_PER_START runs after it.
inline void fresh_runtime(void (*start)()) {
    static int runs = 0;
    if (runs++ % RUNS_PER_START != 0) return;
    if (runtime::initialized()) runtime::shutdown();
    start();
}

}  // namespace zel::fuzz
