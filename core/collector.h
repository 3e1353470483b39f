// Garbage collector entry points the rest of the run-time calls.
//
// A collection started by an allocation marks and sweeps but moves nothing;
// compaction happens only at the evaluator's safe point. In stress builds
// (ZEL_GC_STRESS) every series allocation collects first.
#pragma once

#include <cstdint>

#include "core/memory.h"

namespace zel::collector {

extern bool g_active;       // allocations may start a cycle
extern uint32_t g_cycles;   // completed cycles

inline bool active() { return g_active; }
inline void set_active(bool on) { g_active = on; }
inline uint32_t cycle_count() { return g_cycles; }

// Runs a cycle when collecting is enabled.
void collect_if_active();
void do_cycle();
bool collecting();

// Nodes of dead buffers wait here until the end of the cycle, then return
// to their frames' free lists.
void add_pending_node(Node node);
void flush_pending_nodes();

// Restores the previous enabled state on scope exit.
class Pause {
public:
    Pause() : saved_(g_active) { g_active = false; }
    ~Pause() { g_active = saved_; }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

private:
    bool saved_;
};

}  // namespace zel::collector
