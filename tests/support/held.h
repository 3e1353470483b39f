// Values a test holds in C++ locals across evaluations and allocations:
// `held(value)` answers the value and keeps what it reaches alive until the
// test program ends (a mark callback marks every held value). For test
// programs that start the run-time once and never shut it down.
#pragma once

#include <deque>

#include "foundation/cell.h"
#include "foundation/collector.h"

namespace zel::test {

inline std::deque<Cell>& held_cells() {
    static std::deque<Cell> cells;
    return cells;
}

inline void mark_held() {
    for (const Cell& c : held_cells()) collector::mark_value(&c);
}

inline Cell held(const Cell& value) {
    static bool registered = false;
    if (!registered) {
        collector::add_mark_callback(mark_held);
        registered = true;
    }
    held_cells().push_back(value);
    return value;
}

}  // namespace zel::test
