// The memory native recycle: turns collecting on or off, or runs a cycle
// and answers the memory in use, as stats does.
//
// Relies on: the collector, the memory statistics.
#include "foundation/collector.h"
#include "foundation/memory.h"
#include "interpreter/natives.h"
#include "scalars/simple_types.h"

namespace zel::natives {

namespace {

// recycle's refinement slots: /on, /off. A cycle run here is followed by a
// compaction at once: a native runs where the evaluator's safe point could,
// every caller above it re-deriving its buffers after running code.
Exit recycle(bool, const int32_t* r) {
    if (has(r, 0) || has(r, 1)) {
        if (has(r, 0)) collector::set_active(true);
        if (has(r, 1)) collector::set_active(false);
        stack::set_last(&unset::g_unset);
        return Exit{};
    }
    collector::do_cycle();
    collector::compact();
    memory::byte_count_at(arg(0), memory::usage_stats(nullptr, memory::USAGE_BYTES));
    return Exit{};
}

}  // namespace

void register_memory() { set(Native::recycle, recycle); }

}  // namespace zel::natives
