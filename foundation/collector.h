// The garbage collector: marking from the roots, sweeping, and compaction of
// the series frames.
//
// A cycle marks every buffer that the roots reach, then sweeps: dead buffers
// lose their in-use bit and their nodes go back to their frames, dead
// external resources are released, and what registered a sweep drops its
// references to dead series (the ownership table its entries). The collector
// marks the foundation's roots itself (the argument stack, the call frames,
// C++ locals under a gc::root guard); every module above registers its own
// from its init (mark callbacks: the root block, the global context, the
// symbol table, the ownership table, the evaluator's cells, the lexer's
// active scans, ...). The collector knows no module above the foundation.
//
// A cycle started by an allocation moves nothing: the space of dead buffers
// stays where it is until the evaluator reaches its safe point (between two
// expressions of a block), where `safe_point` compacts the series frames
// when a cycle asked for it. Compaction slides live buffers
// together and rewrites their nodes; node ids never change, so cells, hash
// records and ownership keys stay valid. It bumps memory::g_buffer_moves.
//
// The rule for C++ code: a value held across an allocation lives on the
// argument stack or under a gc::root guard, and no raw pointer into a buffer
// is kept across a call that may run Zel code (it may reach a safe point).
//
// Marking uses an explicit work stack, never recursion, so any depth of
// nesting is marked in bounded native stack.
//
// Stress builds (ZEL_GC_STRESS, the default of sanitizer builds) have a
// switch, the environment variable ZEL_GC_STRESS, read at start-up: "1" puts
// a full cycle before every series allocation while collecting is enabled,
// and at every safe point a compaction that moves every live buffer into
// fresh frames; "SEED/N" does both before a pseudo-random one in N
// allocations and safe points, drawn from SEED, so a failure replays with
// the same seed. Unset or "0": no extra cycles. Whatever the switch says,
// the old frames of an evacuation stay unreadable for a while, dead buffer
// data is poisoned (AddressSanitizer when built with ZEL_SANITIZE, else a
// fill pattern), freed nodes stay unusable for a while and marking checks
// that every node it reaches is alive. A missed root or a stale buffer
// pointer then fails the test that has it.
//
// Relies on: memory (frames, nodes, buffers), the stacks and call frames,
// the external-resource registry; hash tables through the marker their
// module registers.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::collector {

extern bool g_active;          // allocations may start a cycle
extern uint32_t g_cycles;      // completed cycles
extern bool g_compact_wanted;  // a cycle left dead buffers in the frames

inline bool active() { return g_active; }
inline void set_active(bool on) { g_active = on; }
inline uint32_t cycle_count() { return g_cycles; }

// Start-up, last: the statistics zeroed.
void init();
// At quit, before the frames are released: forgets every pending node, mark,
// settle and sweep callback and held-back frame.
void shutdown();

// Runs a cycle when collecting is enabled and none is running.
void collect_if_active();
// The allocator's trigger: a cycle as collect_if_active runs it, once the
// bytes allocated since the last cycle reach half the bytes that cycle left
// live (at least MIN_PACE). Without the pace a large live heap would be
// marked again after every frame's worth of allocation.
constexpr uint64_t MIN_PACE = 2u << 20;
extern uint64_t g_allocated;  // series bytes allocated since the last cycle
extern uint64_t g_pace;       // what g_allocated must reach
inline void collect_if_due() {
    if (g_allocated >= g_pace) collect_if_active();
}
// One full cycle, whatever the enabled flag says (not inside a cycle).
void do_cycle();
bool collecting();

// Compacts the series frames: live buffers slide together (into the free end
// of the previous frame while it has room), emptied frames other than the
// last are released. Only where no C++ code holds a buffer address.
void compact();
// Compaction waits while a hold lives: for code run in the middle of an
// evaluator step or a scan (trace and lexer call-backs), whose C++ callers
// keep buffer addresses across it.
extern int g_compaction_holds;
class HoldCompaction {
public:
    HoldCompaction() { g_compaction_holds++; }
    ~HoldCompaction() { g_compaction_holds--; }
    HoldCompaction(const HoldCompaction&) = delete;
    HoldCompaction& operator=(const HoldCompaction&) = delete;
};

#ifdef ZEL_GC_STRESS
// The stress switch: 0 off, 1 every time, N a pseudo-random one time in N.
void set_stress(uint32_t one_in, uint64_t seed);
uint32_t stress_one_in();
// Draws whether this allocation or safe point is stressed.
bool stress_now();

// No stress while it lives, the draws left where they were. Building the
// boot environment is the same work in every run, so runs stress it only
// when ZEL_GC_STRESS_BOOT asks (one test does, at every allocation):
// otherwise every stressed test would pay for it again.
class PauseStress {
public:
    PauseStress();
    ~PauseStress();
    PauseStress(const PauseStress&) = delete;
    PauseStress& operator=(const PauseStress&) = delete;

private:
    uint32_t saved_;
};
#endif

// The evaluator's safe point.
inline void safe_point() {
#ifdef ZEL_GC_STRESS
    if ((g_active && stress_now()) || g_compact_wanted) compact();
#else
    if (g_compact_wanted) [[unlikely]]
        compact();
#endif
}

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

// ---- Marking: for the collector's own roots and for mark callbacks --------------------

// Sets the node's mark; true when it was not marked yet. Null is ignored.
bool mark_node(Node node);
// The node, and (through the work stack) the values of its cells.
void mark_block(Node node);
// A context: its word table, its values unless they are on the argument
// stack, and its owner cell.
void mark_context(Node context);
// A hash table: its record, arrays and keys (through g_table_mark).
void mark_table(Node table);
// Everything the cells in [first, end) reach.
void mark_values(const Cell* first, const Cell* end);
inline void mark_value(const Cell* value) { mark_values(value, value + 1); }
// A node held without its type: marked, and its cells too when it holds cells.
void mark_any(Node node);
// Whether the node's buffer is marked in the running cycle.
bool marked(Node node);

// Mark callbacks: called during marking, after the foundation's roots, in
// the order registered; each marks its own roots with the functions above.
// A module registers from its init, before it holds anything, since shutdown
// forgets every registration and a run-time started again registers anew.
// The name is what a stress build reports a freed node reached through. The
// table grows as needed.
using MarkCallback = void (*)();
void add_mark_callback(MarkCallback callback, const char* name = "a mark callback");
void remove_mark_callback(MarkCallback callback);
// Settle callbacks: for roots kept only while what they name is reached
// otherwise (an ownership entry lives while its series and its owner do).
// Called after every root is marked, in rounds, until a round marks nothing
// new.
void add_settle_callback(MarkCallback callback, const char* name);
// Sweep callbacks: after marking, before dead buffers are freed (marks still
// readable through `marked`); each drops its references to unmarked nodes.
using SweepCallback = void (*)();
void add_sweep_callback(SweepCallback callback);

// The hash tables' marker, called for each table mark_table reaches (after
// its node is marked): marks its record, arrays and keys. Set by the series
// init, before any table is made; kept across shutdown.
extern void (*g_table_mark)(Node table);
// The image datatype's hook, called for each image! node reached (after the
// node is marked): marks its external resource. Null until images exist.
extern void (*g_image_mark)(Node image);


// Figures of the collector, for benchmarks and tests.
struct Stats {
    uint32_t cycles;
    uint32_t compactions;
    double longest_cycle_ms;
    double longest_compaction_ms;
    double total_cycle_ms;
    double total_compaction_ms;
};
Stats stats();

}  // namespace zel::collector

namespace zel::gc {

// Keeps values that C++ code holds in locals reachable while it allocates:
// the cells (or the node variable) are marked by every cycle while the guard
// lives. The cells must stay where they are for as long.
//
//     Cell copy;
//     gc::root keep(&copy);
//
class root {
public:
    explicit root(const Cell* cells, int count = 1) : cells_(cells), node_(nullptr), count_(count), prev_(g_top) {
        g_top = this;
    }
    explicit root(const Node* node) : cells_(nullptr), node_(node), count_(1), prev_(g_top) { g_top = this; }
    ~root() { g_top = prev_; }
    root(const root&) = delete;
    root& operator=(const root&) = delete;

    // The collector walks the guards from the innermost.
    static root* top() { return g_top; }
    root* previous() const { return prev_; }
    const Cell* cells() const { return cells_; }
    const Node* node() const { return node_; }
    int count() const { return count_; }

private:
    static inline root* g_top = nullptr;
    const Cell* cells_;
    const Node* node_;
    int count_;
    root* prev_;
};

}  // namespace zel::gc
