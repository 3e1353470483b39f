// The collector's cycle: marking through an explicit work stack, the roots,
// the sweep of the series frames, and compaction at the safe point; and the
// stress build's checks.
#include "foundation/collector.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "foundation/ext_res.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/stack.h"

namespace zel::collector {

bool g_active = false;
uint32_t g_cycles = 0;
bool g_compact_wanted = false;
int g_compaction_holds = 0;
uint64_t g_allocated = 0;
uint64_t g_pace = MIN_PACE;
void (*g_image_mark)(Node image) = nullptr;
void (*g_table_mark)(Node table) = nullptr;

namespace {

bool g_collecting = false;
const char* g_marking_from = "";
std::vector<Node> g_pending;

// A registration: the call-back and the name a stress build gives the roots
// it marks.
struct Registered {
    MarkCallback callback;
    const char* name;
};
std::vector<Registered> g_callbacks;
std::vector<Registered> g_settle_callbacks;
std::vector<SweepCallback> g_sweep_callbacks;
std::vector<Series*> g_fixed_marked;  // fixed buffers keep no mark past the cycle
uint64_t g_newly_marked = 0;
Stats g_stats{};

// ---- The work stack ---------------------------------------------------------------------

enum WorkKind : uint32_t { WORK_CELLS, WORK_TABLE };
struct Work {
    Node node;
    WorkKind kind;
};
std::vector<Work> g_work;

void set_collecting(bool on) {
    g_collecting = on;
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

double elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

size_t buffer_bytes(const Series* s) { return memory::SERIES_HEADER + size_t(s->capacity) + memory::SERIES_SLACK; }

// The buffer's data and slack: what poisoning covers (the header stays
// readable, the frame walks read it).
void poison_data(Series* s) { memory::poison(s->data(), size_t(s->capacity) + memory::SERIES_SLACK); }

#ifdef ZEL_GC_STRESS
// A node reached by marking must name a buffer in use that names it back: a
// freed node reached means a value outlived the roots that should have kept
// its series.
[[noreturn]] void dead_node(Node n) {
    std::fprintf(stderr, "collector: node %u, reached from %s, was freed: a missed root\n", n, g_marking_from);
    platform::runtime_error(98, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

Series* live_series(Node n) {
    memory::NodeFrame* frame = memory::frame_of_node(n);
    if (!frame || (n & memory::NODE_SLOT_MASK) >= frame->capacity) dead_node(n);
    uintptr_t slot = frame->slots()[n & memory::NODE_SLOT_MASK].link;
    if (slot < 0x10000) dead_node(n);
    Series* s = reinterpret_cast<Series*>(slot);
    if (s->node != n || !(s->flags & SERIES_IN_USE)) dead_node(n);
    return s;
}

// Freed nodes wait here, their slots pointing at an unmapped address, before
// they can be taken again: a stale node then faults instead of naming
// another series.
constexpr size_t NODE_QUARANTINE = 50000;
constexpr uintptr_t DEAD_SLOT = 0x8;
std::deque<Node> g_node_quarantine;

void free_node(Node n) {
    memory::set_node(n, reinterpret_cast<Series*>(DEAD_SLOT));
    g_node_quarantine.push_back(n);
    while (g_node_quarantine.size() > NODE_QUARANTINE) {
        Node old = g_node_quarantine.front();
        g_node_quarantine.pop_front();
        memory::free_node(memory::frame_of_node(old), old);
    }
}
#else
inline Series* live_series(Node n) { return memory::series_of(n); }
inline void free_node(Node n) { memory::free_node(memory::frame_of_node(n), n); }
#endif

#ifdef ZEL_GC_STRESS
uint32_t g_stress_one_in = 0;
uint64_t g_stress_state = 0;

// The switch as the environment gives it ("1", "SEED/N", unset or "0").
void read_stress_switch() {
    const char* text = std::getenv("ZEL_GC_STRESS");
    if (!text || !*text) return set_stress(0, 0);
    char* end = nullptr;
    unsigned long long first = std::strtoull(text, &end, 10);
    if (*end == '/') return set_stress(uint32_t(std::strtoul(end + 1, nullptr, 10)), first);
    set_stress(first ? 1 : 0, 0);
}
#endif

// ---- Marking by type ----------------------------------------------------------------------

void mark_cell(const Cell* c) {
    switch (type_of(c)) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH:
            mark_block(c->data2);
            break;
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL: case TYPE_REF:
            // The fourth word is the conversion buffer of the text.
            mark_node(c->data2);
            mark_node(c->data3);
            break;
        case TYPE_SYMBOL:
            mark_node(c->data3);
            mark_node(c->data2);
            break;
        case TYPE_CONTEXT:
            mark_table(c->data1);
            if (!(c->header & FLAG_CTX_ON_STACK)) mark_block(c->data2);
            break;
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD: case TYPE_REFINEMENT:
        case TYPE_ISSUE:
            // A context is the node of its two cells: marking it as a block
            // reaches the word table, the values and the owner.
            mark_context(c->data1);
            break;
        case TYPE_OP: {
            int wrapped = int((c->header >> 16) & 0xFF);
            if (wrapped == TYPE_FUNCTION || wrapped == TYPE_ROUTINE) mark_context(c->data1);
            mark_block(c->data2);
            mark_block(c->data3);
            break;
        }
        case TYPE_NATIVE: case TYPE_ACTION:
            mark_block(c->data2);
            mark_block(c->data3);
            break;
        case TYPE_FUNCTION: case TYPE_ROUTINE:
            mark_context(c->data1);
            mark_block(c->data2);
            mark_block(c->data3);
            break;
        case TYPE_BITSET: case TYPE_VECTOR: case TYPE_BINARY:
            mark_node(c->data2);
            break;
        case TYPE_OBJECT: case TYPE_ERROR: case TYPE_PORT:
            mark_context(c->data1);
            mark_block(c->data3);  // the change-handler record
            break;
        case TYPE_HASH: case TYPE_MAP:
            mark_block(c->data2);
            mark_table(c->data3);
            break;
        case TYPE_HANDLE:
            if (int32_t(c->data3) >= 0) ext_res::mark(int32_t(c->data3), nullptr);
            break;
        case TYPE_IMAGE:
            if (c->data2) {
                mark_node(c->data2);
                if (g_image_mark) g_image_mark(c->data2);
            }
            break;
        case TYPE_EVENT:
            if ((c->header & FLAG_EVENT_BLOCK) && c->data2) mark_block(c->data2);
            break;
        default:
            break;
    }
}

void drain() {
    while (!g_work.empty()) {
        Work w = g_work.back();
        g_work.pop_back();
        if (w.kind == WORK_TABLE) {
            g_table_mark(w.node);
            continue;
        }
        Series* s = memory::series_of(w.node);
        if (s->unit() != int(sizeof(Cell))) continue;
        for (const Cell *c = s->cells(), *end = s->cell_tail(); c < end; c++) mark_cell(c);
    }
}

// ---- The roots ------------------------------------------------------------------------------

void mark_argument_stack() {
    mark_node(stack::g_arguments_node);
    if (stack::bottom()) mark_values(stack::bottom(), stack::top());
}

void mark_guards() {
    for (const gc::root* r = gc::root::top(); r; r = r->previous()) {
        if (r->cells()) mark_values(r->cells(), r->cells() + r->count());
        else mark_any(*r->node());
    }
}

void mark_call_frames() { frames::mark_frames({mark_block, mark_context}); }

// The foundation's roots, then what the modules above registered, each
// followed by its marking: a stress build names the group, or the
// registration, through which a freed node was reached.
const struct {
    const char* name;
    void (*mark)();
} ROOTS[] = {
    {"the argument stack", mark_argument_stack},
    {"the call frames", mark_call_frames},
    {"a gc::root guard", mark_guards},
};

void mark_registered(const std::vector<Registered>& callbacks) {
    for (size_t i = 0; i < callbacks.size(); i++) {
        if (!callbacks[i].callback) continue;
        g_marking_from = callbacks[i].name;
        callbacks[i].callback();
        drain();
    }
}

void mark_roots() {
    for (const auto& root : ROOTS) {
        g_marking_from = root.name;
        root.mark();
        drain();
    }
    mark_registered(g_callbacks);
}

// What keeps its entries only while what they name is reached otherwise
// (the ownership table) is marked once the roots are, again until a round
// marks nothing new: keeping one entry may show that another is reached.
void settle() {
    if (g_settle_callbacks.empty()) return;
    uint64_t before;
    do {
        before = g_newly_marked;
        mark_registered(g_settle_callbacks);
    } while (g_newly_marked != before);
}

// ---- Sweeping -----------------------------------------------------------------------------

// Dead buffers of the frames lose their in-use bit and hand their nodes on;
// live ones lose their mark. Answers whether any space is dead.
bool sweep_frames(uint64_t& live) {
    bool dead = false;
    for (memory::SeriesFrame* f = memory::g_record.s_head; f; f = f->next) {
        for (uint8_t* at = f->area(); at < f->heap;) {
            auto* s = reinterpret_cast<Series*>(at);
            at += buffer_bytes(s);
            if ((s->flags & SERIES_IN_USE) && (s->flags & SERIES_MARK)) {
                s->flags &= ~SERIES_MARK;
                live += buffer_bytes(s);
                continue;
            }
            if (s->flags & SERIES_IN_USE) {
                add_pending_node(s->node);
                s->node = 0;
                s->flags &= ~SERIES_IN_USE;
            }
            // A dead buffer (or one replaced by a larger one) is poisoned
            // once; its mark bit remembers that.
            if (!(s->flags & SERIES_MARK)) {
                s->flags |= SERIES_MARK;
                poison_data(s);
            }
            dead = true;
        }
    }
    return dead;
}

void unmark_fixed() {
    for (Series* s : g_fixed_marked) s->flags &= ~SERIES_MARK;
    g_fixed_marked.clear();
}

// ---- Compaction ------------------------------------------------------------------------------

void move_buffer(uint8_t* to, uint8_t* from, size_t bytes) {
    memory::unpoison(to, bytes);
    std::memmove(to, from, bytes);
    auto* s = reinterpret_cast<Series*>(to);
    memory::set_node(s->node, s);
}

// The current frame after compaction: the first with room enough, else the last.
void choose_current_frame() {
    memory::g_record.s_active = memory::g_record.s_tail;
    for (memory::SeriesFrame* f = memory::g_record.s_head; f; f = f->next) {
        if (size_t(f->tail - f->heap) >= memory::FRAME_MIN_FREE) {
            memory::g_record.s_active = f;
            return;
        }
    }
}

// Slides the live buffers of every frame together, first into the free end
// of the previous frame while a buffer fits there, then down within the
// frame; the vacated end is poisoned. A frame left empty is released unless
// it is the last one.
bool slide_frames() {
    bool moved = false;
    for (memory::SeriesFrame* f = memory::g_record.s_head; f;) {
        memory::SeriesFrame* next = f->next;
        memory::SeriesFrame* previous = f->prev;
        uint8_t* write = nullptr;  // where the next live buffer goes once a gap opened
        uint8_t* end = f->heap;
        for (uint8_t* at = f->area(); at < end;) {
            auto* s = reinterpret_cast<Series*>(at);
            size_t bytes = buffer_bytes(s);
            uint8_t* following = at + bytes;
            if (!(s->flags & SERIES_IN_USE)) {
                if (!write) write = at;
            } else if (previous && previous->heap + bytes < previous->tail) {
                move_buffer(previous->heap, at, bytes);
                previous->heap += bytes;
                if (!write) write = at;
                moved = true;
            } else if (write) {
                move_buffer(write, at, bytes);
                write += bytes;
                moved = true;
            }
            at = following;
        }
        if (write) {
            memory::poison(write, size_t(end - write));
            f->heap = write;
        }
        if (f->heap == f->area() && f != memory::g_record.s_tail) memory::free_series_frame(f);
        f = next;
    }
    return moved;
}

#ifdef ZEL_GC_STRESS
// Frames vacated by an evacuation stay mapped but unreadable for a while, so
// that a stale buffer pointer faults at once.
constexpr size_t FRAME_QUARANTINE = 4;
std::deque<memory::SeriesFrame*> g_frame_quarantine;

uint8_t* os_block_of(memory::SeriesFrame* f) { return reinterpret_cast<uint8_t*>(f) - 16; }

void release_quarantined(memory::SeriesFrame* f) {
    uint8_t* base = os_block_of(f);
    // The size word is the first of the block: readable again first.
    mprotect(base, 4096, PROT_READ | PROT_WRITE);
    mprotect(base, *reinterpret_cast<size_t*>(base), PROT_READ | PROT_WRITE);
    memory::free_virtual(f);
}

void quarantine_frame(memory::SeriesFrame* f) {
    uint8_t* base = os_block_of(f);
    size_t size = *reinterpret_cast<size_t*>(base);
    memory::unpoison(base, size);
    mprotect(base, size, PROT_NONE);
    g_frame_quarantine.push_back(f);
    while (g_frame_quarantine.size() > FRAME_QUARANTINE) {
        release_quarantined(g_frame_quarantine.front());
        g_frame_quarantine.pop_front();
    }
}

uint8_t* take_room(size_t bytes) {
    memory::SeriesFrame* f = memory::g_record.s_active;
    if (!f || f->heap + bytes >= f->tail) {
        if (bytes >= memory::g_record.s_size) memory::g_record.s_size = memory::g_record.s_max;
        f = memory::new_series_frame();
        memory::g_record.s_active = f;
    }
    uint8_t* at = f->heap;
    f->heap += bytes;
    return at;
}

// Every live buffer moves to fresh frames; the old frames go to quarantine.
bool evacuate_frames() {
    memory::SeriesFrame* old = memory::g_record.s_head;
    memory::g_record.s_head = memory::g_record.s_tail = memory::g_record.s_active = nullptr;
    while (old) {
        memory::SeriesFrame* next = old->next;
        for (uint8_t* at = old->area(); at < old->heap;) {
            auto* s = reinterpret_cast<Series*>(at);
            size_t bytes = buffer_bytes(s);
            if (s->flags & SERIES_IN_USE) move_buffer(take_room(bytes), at, bytes);
            at += bytes;
        }
        quarantine_frame(old);
        old = next;
    }
    if (!memory::g_record.s_head) memory::new_series_frame();
    return true;
}
#endif

}  // namespace

// ---- Marking entry points ----------------------------------------------------------------------

bool mark_node(Node node) {
    if (!node) return false;
    Series* s = live_series(node);
    if (s->flags & SERIES_MARK) return false;
    s->flags |= SERIES_MARK;
    if (s->flags & SERIES_FIXED) g_fixed_marked.push_back(s);
    g_newly_marked++;
    return true;
}

void mark_block(Node node) {
    if (mark_node(node)) g_work.push_back({node, WORK_CELLS});
}

void mark_context(Node context) { mark_block(context); }

void mark_table(Node table) {
    if (mark_node(table)) g_work.push_back({table, WORK_TABLE});
}

void mark_values(const Cell* first, const Cell* end) {
    for (const Cell* c = first; c < end; c++) mark_cell(c);
}

void mark_any(Node node) {
    if (mark_node(node) && memory::series_of(node)->unit() == int(sizeof(Cell)))
        g_work.push_back({node, WORK_CELLS});
}

bool marked(Node node) { return node && (memory::series_of(node)->flags & SERIES_MARK); }

void add_mark_callback(MarkCallback callback, const char* name) {
    for (Registered& r : g_callbacks) {
        if (!r.callback) {
            r = {callback, name};
            return;
        }
    }
    g_callbacks.push_back({callback, name});
}

void remove_mark_callback(MarkCallback callback) {
    auto it = std::find_if(g_callbacks.begin(), g_callbacks.end(),
                           [callback](const Registered& r) { return r.callback == callback; });
    if (it != g_callbacks.end()) it->callback = nullptr;
}

void add_settle_callback(MarkCallback callback, const char* name) { g_settle_callbacks.push_back({callback, name}); }

void add_sweep_callback(SweepCallback callback) { g_sweep_callbacks.push_back(callback); }

// ---- The cycle -------------------------------------------------------------------------------------

#ifdef ZEL_GC_STRESS
void set_stress(uint32_t one_in, uint64_t seed) {
    g_stress_one_in = one_in;
    // Never zero: xorshift would stay there.
    g_stress_state = seed * 0x9E3779B97F4A7C15ull + 1;
}

uint32_t stress_one_in() { return g_stress_one_in; }

PauseStress::PauseStress() : saved_(g_stress_one_in) { g_stress_one_in = 0; }
PauseStress::~PauseStress() { g_stress_one_in = saved_; }

bool stress_now() {
    if (g_stress_one_in <= 1) return g_stress_one_in == 1;
    g_stress_state ^= g_stress_state << 13;
    g_stress_state ^= g_stress_state >> 7;
    g_stress_state ^= g_stress_state << 17;
    return g_stress_state % g_stress_one_in == 0;
}
#endif

void init() {
#ifdef ZEL_GC_STRESS
    read_stress_switch();
#endif
    g_cycles = 0;
    g_allocated = 0;
    g_pace = MIN_PACE;
    g_stats = Stats{};
}

void shutdown() {
    // Off until the next start-up's boot environment turns it on: the init
    // of a run-time started again allocates before its roots exist.
    g_active = false;
    g_pending.clear();
    g_callbacks.clear();
    g_settle_callbacks.clear();
    g_sweep_callbacks.clear();
    g_fixed_marked.clear();
    g_work.clear();
    g_compact_wanted = false;
#ifdef ZEL_GC_STRESS
    g_node_quarantine.clear();
    while (!g_frame_quarantine.empty()) {
        release_quarantined(g_frame_quarantine.front());
        g_frame_quarantine.pop_front();
    }
#endif
}

void collect_if_active() {
    if (g_active && !g_collecting) do_cycle();
}

void do_cycle() {
    if (g_collecting) return;
    auto start = std::chrono::steady_clock::now();
    set_collecting(true);
    mark_roots();
    settle();
    ext_res::sweep();
    for (SweepCallback sweep : g_sweep_callbacks) sweep();
    uint64_t live = 0;
    if (sweep_frames(live)) g_compact_wanted = true;
    memory::sweep_big_series();
    for (memory::BigSeries* b = memory::g_record.b_head; b; b = b->next) live += b->bytes;
    g_allocated = 0;
    g_pace = std::max(MIN_PACE, live / 2);
    flush_pending_nodes();
    memory::release_node_frames();
    unmark_fixed();
    g_cycles++;
    g_stats.cycles = g_cycles;
    double spent = elapsed_ms(start);
    g_stats.longest_cycle_ms = std::max(g_stats.longest_cycle_ms, spent);
    g_stats.total_cycle_ms += spent;
    set_collecting(false);
}

bool collecting() { return g_collecting; }

void compact() {
    if (g_collecting || g_compaction_holds) return;
    auto start = std::chrono::steady_clock::now();
#ifdef ZEL_GC_STRESS
    // Under stress both ways of moving are exercised: every other time
    // everything moves.
    bool moved = g_stress_one_in && g_stats.compactions % 2 == 0 ? evacuate_frames() : slide_frames();
#else
    bool moved = slide_frames();
#endif
    choose_current_frame();
    if (moved) memory::g_buffer_moves++;
    g_compact_wanted = false;
    g_stats.compactions++;
    double spent = elapsed_ms(start);
    g_stats.longest_compaction_ms = std::max(g_stats.longest_compaction_ms, spent);
    g_stats.total_compaction_ms += spent;
}

void add_pending_node(Node node) {
    if (node != 0) g_pending.push_back(node);
}

// A node's frame is found from its id at once: the nodes go back in the
// order they were found, unsorted.
void flush_pending_nodes() {
    for (Node n : g_pending) free_node(n);
    g_pending.clear();
}

Stats stats() { return g_stats; }

}  // namespace zel::collector
