// Memory manager: tracked heap, OS pages, node frames, series frames and
// buffer allocation.
#include "foundation/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEL_ASAN 1
#endif
#endif
#ifdef ZEL_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"

namespace zel::memory {

NodeSlot* g_node_slots[NODE_MAX_FRAMES + 1];
Record g_record;

namespace {

// ---- Tracked heap -------------------------------------------------------------

// 32 bytes so that the caller's bytes stay 16-aligned.
struct HeapBlock {
    HeapBlock* prev;
    HeapBlock* next;
    int64_t asked;
    int64_t spare;
};
static_assert(sizeof(HeapBlock) == 32);

HeapBlock* g_heap_first = nullptr;
HeapBlock* g_heap_last = nullptr;
size_t g_heap_count = 0;

[[noreturn]] void heap_exhausted() {
    platform::runtime_error(94, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

// Finds the block of p in the list, from the newest: blocks freed soon after
// they are made are the common case.
HeapBlock* find_block(void* p) {
    for (HeapBlock* b = g_heap_last; b; b = b->prev)
        if (b + 1 == p) return b;
    return nullptr;
}

void unlink_block(HeapBlock* b) {
    if (b->prev) b->prev->next = b->next;
    else g_heap_first = b->next;
    if (b->next) b->next->prev = b->prev;
    else g_heap_last = b->prev;
    g_heap_count--;
}

// ---- Node frame numbers -------------------------------------------------------

NodeFrame* g_frames_by_number[NODE_MAX_FRAMES + 1];
std::vector<uint32_t> g_free_numbers;
uint32_t g_next_number = 1;

uint32_t take_frame_number() {
    if (!g_free_numbers.empty()) {
        uint32_t n = g_free_numbers.back();
        g_free_numbers.pop_back();
        return n;
    }
    if (g_next_number > NODE_MAX_FRAMES) fire(ERR_internal_no_memory);
    return g_next_number++;
}

size_t node_frame_bytes(uint32_t capacity) {
    return sizeof(NodeFrame) + sizeof(NodeSlot) * capacity;
}

// ---- OS blocks ----------------------------------------------------------------

constexpr size_t PAGE = 4096;
constexpr size_t OS_HEADER = 16;  // the block's size, kept 16-aligned

size_t buffer_bytes(int64_t capacity) { return SERIES_HEADER + size_t(capacity) + SERIES_SLACK; }

}  // namespace

// ---- Tracked heap -------------------------------------------------------------

void* heap_alloc(int64_t size) {
    if (size < 0) size = 0;
    if (uint64_t(size) > (uint64_t(1) << 40)) heap_exhausted();
    auto* b = static_cast<HeapBlock*>(std::malloc(sizeof(HeapBlock) + size_t(size)));
    if (!b) heap_exhausted();
    b->prev = g_heap_last;
    b->next = nullptr;
    b->asked = size;
    b->spare = 0;
    if (g_heap_last) g_heap_last->next = b;
    else g_heap_first = b;
    g_heap_last = b;
    g_heap_count++;
    return b + 1;
}

void* heap_alloc_zeroed(int64_t size) {
    void* p = heap_alloc(size);
    std::memset(p, 0, size_t(size < 0 ? 0 : size));
    return p;
}

void heap_free(void* p) {
    if (!p) return;
    HeapBlock* b = find_block(p);
    if (!b) return;  // not ours: ignored
    unlink_block(b);
    std::free(b);
}

void* heap_realloc(void* p, int64_t size) {
    if (!p) return heap_alloc(size);
    if (size == 0) {
        heap_free(p);
        return nullptr;
    }
    if (size < 0) size = 0;
    HeapBlock* b = find_block(p);
    if (!b) return heap_alloc(size);
    if (uint64_t(size) > (uint64_t(1) << 40)) heap_exhausted();
    HeapBlock* prev = b->prev;
    HeapBlock* next = b->next;
    auto* nb = static_cast<HeapBlock*>(std::realloc(b, sizeof(HeapBlock) + size_t(size)));
    if (!nb) heap_exhausted();
    nb->asked = size;
    if (prev) prev->next = nb;
    else g_heap_first = nb;
    if (next) next->prev = nb;
    else g_heap_last = nb;
    return nb + 1;
}

void heap_free_all() {
    HeapBlock* b = g_heap_first;
    while (b) {
        HeapBlock* next = b->next;
        std::free(b);
        b = next;
    }
    g_heap_first = g_heap_last = nullptr;
    g_heap_count = 0;
}

int64_t heap_asked_size(const void* p) {
    HeapBlock* b = find_block(const_cast<void*>(p));
    return b ? b->asked : -1;
}

size_t heap_block_count() { return g_heap_count; }

int64_t heap_total_bytes() {
    int64_t sum = 0;
    for (HeapBlock* b = g_heap_first; b; b = b->next) sum += b->asked + int64_t(sizeof(HeapBlock));
    return sum;
}

// ---- OS pages -----------------------------------------------------------------

// An OS block's size for `size` bytes after its header: whole pages.
static size_t os_block_size(size_t size) {
    size_t rounded = (size + OS_HEADER + PAGE - 1) & ~(PAGE - 1);
    if (rounded < size) fire(ERR_internal_no_memory);
    return rounded;
}

void* alloc_virtual(size_t size) {
    size_t rounded = os_block_size(size);
    void* p = platform::alloc_pages(rounded);
    if (!p) fire(ERR_internal_no_memory);
    *static_cast<size_t*>(p) = rounded;
    g_record.total += rounded;
    return static_cast<uint8_t*>(p) + OS_HEADER;
}

void* grow_virtual(void* p, size_t size) {
    uint8_t* base = static_cast<uint8_t*>(p) - OS_HEADER;
    size_t old = *reinterpret_cast<size_t*>(base);
    size_t rounded = os_block_size(size);
    if (rounded <= old) return p;
    unpoison(base, old);  // the old addresses may be mapped again for anything
    auto* moved = static_cast<uint8_t*>(platform::grow_pages(base, old, rounded));
    if (!moved) return nullptr;
    unpoison(moved, rounded);
    *reinterpret_cast<size_t*>(moved) = rounded;
    g_record.total += rounded - old;
    return moved + OS_HEADER;
}

void free_virtual(void* p) {
    uint8_t* base = static_cast<uint8_t*>(p) - OS_HEADER;
    size_t size = *reinterpret_cast<size_t*>(base);
    unpoison(base, size);  // the pages may be mapped again for anything
    if (!platform::free_pages(base, size)) fire(ERR_internal_wrong_mem);
    g_record.total -= size;
}

// ---- Series store: node frames --------------------------------------------------

void init() {
    std::memset(&g_record, 0, sizeof g_record);
    // A run-time started again has new buffers everywhere: what was kept
    // while no buffer moved (the global values, a Code's cells) is stale.
    g_buffer_moves++;
    g_record.s_start = SERIES_FRAME_FIRST;
    g_record.s_size = SERIES_FRAME_FIRST;
    g_record.s_max = SERIES_FRAME_MAX;
}

NodeFrame* new_node_frame(uint32_t capacity) {
    if (capacity < 1) capacity = 1;
    if (capacity > NODE_SLOT_MASK + 1) capacity = NODE_SLOT_MASK + 1;
    uint32_t number = take_frame_number();
    auto* f = static_cast<NodeFrame*>(alloc_virtual(node_frame_bytes(capacity)));
    f->next = nullptr;
    f->prev = g_record.n_tail;
    f->capacity = capacity;
    f->free_head = 1;
    f->used = 0;
    f->created_at = collector::cycle_count();
    f->previous_used = 0;
    f->history = 0;
    f->release = 0;
    f->number = number;
    f->pad = 0;
    for (uint32_t i = 0; i < capacity; i++) f->slots()[i].link = i + 1 < capacity ? i + 2 : 0;
    if (g_record.n_tail) g_record.n_tail->next = f;
    else g_record.n_head = f;
    g_record.n_tail = f;
    if (!g_record.n_active) g_record.n_active = f;
    g_frames_by_number[number] = f;
    g_node_slots[number] = f->slots();
    return f;
}

NodeFrame* frame_of_node(Node n) { return g_frames_by_number[n >> NODE_SLOT_BITS]; }

Node alloc_node() {
    NodeFrame* f = g_record.n_active;
    if (!f || f->free_head == 0 || f->release) {
        f = nullptr;
        for (NodeFrame* g = g_record.n_head; g; g = g->next) {
            if (g->free_head != 0 && !g->release) {
                f = g;
                break;
            }
        }
        if (!f) f = new_node_frame(NODE_FRAME_SLOTS);
        g_record.n_active = f;
    }
    uint32_t slot = f->free_head - 1;
    f->free_head = uint32_t(f->slots()[slot].link);
    f->slots()[slot].series = nullptr;
    f->used++;
    return (f->number << NODE_SLOT_BITS) | slot;
}

void free_node(NodeFrame* frame, Node node) {
    uint32_t slot = node & NODE_SLOT_MASK;
    frame->slots()[slot].link = frame->free_head;
    frame->free_head = slot + 1;
    frame->used--;
}

void free_node_frame(NodeFrame* f) {
    if (f->prev) f->prev->next = f->next;
    else g_record.n_head = f->next;
    if (f->next) f->next->prev = f->prev;
    else g_record.n_tail = f->prev;
    if (g_record.n_active == f) g_record.n_active = g_record.n_tail;
    g_frames_by_number[f->number] = nullptr;
    g_node_slots[f->number] = nullptr;
    g_free_numbers.push_back(f->number);
    free_virtual(f);
}

void release_node_frames() {
    bool current_set = false;
    for (NodeFrame* f = g_record.n_head; f;) {
        NodeFrame* next = f->next;
        if (f->used == 0 || f->release) {
            free_node_frame(f);
        } else {
            if (!current_set && f->used < f->capacity) {
                g_record.n_active = f;
                current_set = true;
            }
            f->history = (f->history << 1) | (f->used == f->previous_used ? 1u : 0u);
            f->previous_used = f->used;
        }
        f = next;
    }
}

// ---- Series store: series frames -------------------------------------------------

SeriesFrame* new_series_frame() {
    size_t area = g_record.s_size;
    auto* f = static_cast<SeriesFrame*>(alloc_virtual(area + sizeof(SeriesFrame)));
    f->size = area + sizeof(SeriesFrame);
    f->heap = f->area();
    f->tail = f->area() + area;
    if (g_record.s_size != g_record.s_max) {
        g_record.s_size *= 2;
        if (g_record.s_size > g_record.s_max) g_record.s_size = g_record.s_max;
    }
    // Insert by address.
    SeriesFrame* before = nullptr;
    SeriesFrame* after = g_record.s_head;
    while (after && after < f) {
        before = after;
        after = after->next;
    }
    f->prev = before;
    f->next = after;
    if (before) before->next = f;
    else g_record.s_head = f;
    if (after) after->prev = f;
    else g_record.s_tail = f;
    if (!g_record.s_active) g_record.s_active = f;
    return f;
}

void free_series_frame(SeriesFrame* f) {
    if (f->prev) f->prev->next = f->next;
    else g_record.s_head = f->next;
    if (f->next) f->next->prev = f->prev;
    else g_record.s_tail = f->prev;
    if (g_record.s_active == f) g_record.s_active = g_record.s_tail;
    free_virtual(f);
}

SeriesFrame* find_series_frame(size_t bytes) {
    for (SeriesFrame* f = g_record.s_head; f; f = f->next)
        if (size_t(f->tail - f->heap) > bytes) return f;
    return nullptr;
}

// ---- Buffers ------------------------------------------------------------------------

// Checked size arithmetic: count x unit in 64 bits, rounded to 16; anything
// past the largest buffer is internal no-memory, never a wrap.
static int64_t capacity_for(int64_t count, int unit) {
    if (count < 0) count = 0;
    if (unit < 1) unit = 1;
    if (count > SERIES_MAX_BYTES / unit) fire(ERR_internal_no_memory);
    int64_t capacity = round_up(count * unit, 16);
    if (capacity > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
    return capacity;
}

static void init_buffer(Series* s, int64_t capacity, int unit, uint32_t offset, uint32_t extra) {
    s->flags = uint32_t(unit) | SERIES_IN_USE | SERIES_ALLOCATED | extra;
    s->node = 0;
    s->capacity = int32_t(capacity);
    if (offset > uint32_t(capacity)) offset = uint32_t(capacity);
    s->offset = offset;
    s->tail = offset;
    s->stamp = next_stamp();
    s->pad[0] = s->pad[1] = 0;
}

Series* alloc_big_series(size_t bytes) {
    auto* b = static_cast<BigSeries*>(alloc_virtual(bytes + sizeof(BigSeries)));
    b->next = nullptr;
    b->prev = g_record.b_tail;
    b->bytes = bytes;
    b->pad = 0;
    if (g_record.b_tail) g_record.b_tail->next = b;
    else g_record.b_head = b;
    g_record.b_tail = b;
    return b->buffer();
}

void free_big_series(Series* s) {
    BigSeries* b = reinterpret_cast<BigSeries*>(s) - 1;
    if (b->prev) b->prev->next = b->next;
    else g_record.b_head = b->next;
    if (b->next) b->next->prev = b->prev;
    else g_record.b_tail = b->prev;
    free_virtual(b);
}

// The block's pages are remapped to the new size; its neighbours in the list
// follow it when it moved.
static Series* grow_big_series(Series* s, size_t bytes) {
    auto* b = static_cast<BigSeries*>(grow_virtual(reinterpret_cast<BigSeries*>(s) - 1, bytes + sizeof(BigSeries)));
    if (!b) return nullptr;
    b->bytes = bytes;
    if (b->prev) b->prev->next = b;
    else g_record.b_head = b;
    if (b->next) b->next->prev = b;
    else g_record.b_tail = b;
    return b->buffer();
}

void sweep_big_series() {
    for (BigSeries* b = g_record.b_head; b;) {
        BigSeries* next = b->next;
        Series* s = b->buffer();
        if (s->flags & SERIES_MARK) {
            s->flags &= ~SERIES_MARK;
        } else {
            collector::add_pending_node(s->node);
            free_big_series(s);
        }
        b = next;
    }
}

Series* alloc_series_buffer(int64_t count, int unit, uint32_t offset) {
    int64_t capacity = capacity_for(count, unit);
    size_t need = buffer_bytes(capacity);
#ifdef ZEL_GC_STRESS
    if (collector::active() && collector::stress_now()) collector::collect_if_active();
#endif
    collector::g_allocated += need;
    if (need >= g_record.s_max) {
        collector::collect_if_due();
        Series* s = alloc_big_series(need);
        init_buffer(s, capacity, unit, offset, SERIES_BIG);
        return s;
    }
    SeriesFrame* f = g_record.s_active;
    if (!f || f->heap + need >= f->tail) {
        // Only a frame with room enough to be worth switching to is taken:
        // one with a little room left would be found again and again, and
        // every allocation after it would make a new frame without ever
        // collecting.
        size_t wanted = need > FRAME_MIN_FREE ? need : FRAME_MIN_FREE;
        f = find_series_frame(wanted);
        if (!f) {
            collector::collect_if_due();
            f = find_series_frame(wanted);
        }
        if (!f) {
            if (need >= g_record.s_size) g_record.s_size = g_record.s_max;
            f = new_series_frame();
        }
        g_record.s_active = f;
    }
    auto* s = reinterpret_cast<Series*>(f->heap);
    f->heap += need;
    unpoison(s, need);
    init_buffer(s, capacity, unit, offset, 0);
    return s;
}

Node alloc_series(int64_t count, int unit, uint32_t offset) {
    Series* s = alloc_series_buffer(count, unit, offset);
    Node n = alloc_node();
    set_node(n, s);
    s->node = n;
    return n;
}

Node alloc_fixed_series(int64_t count, int unit, uint32_t offset) {
    int64_t capacity = capacity_for(count, unit);
#ifdef ZEL_GC_STRESS
    if (collector::active() && collector::stress_now()) collector::collect_if_active();
#endif
    auto* s = static_cast<Series*>(heap_alloc(int64_t(buffer_bytes(capacity))));
    init_buffer(s, capacity, unit, offset, SERIES_FIXED);
    Node n = alloc_node();
    set_node(n, s);
    s->node = n;
    return n;
}

Node alloc_cells(int64_t count) { return alloc_series(count, 16, 0); }

Node alloc_unset_cells(int64_t count) {
    Node n = alloc_series(count, 16, 0);
    Series* s = series_of(n);
    auto* c = reinterpret_cast<Cell*>(s->data());
    for (int32_t i = 0; i < s->capacity / 16; i++) cell::set(c + i, TYPE_UNSET);
    return n;
}

Node alloc_bytes(int64_t count) { return alloc_series(count == 0 ? 16 : count, 1, 0); }

Node alloc_chars(int64_t count, int unit) {
    if (count == 0) count = 16 / unit;
    return alloc_series(count, unit, 0);
}

void set_series_flags(Node node, uint32_t bits) { series_of(node)->flags |= bits; }

uint32_t g_buffer_moves = 0;

// Capacity 0 asks for twice the current one, 16 bytes for an empty buffer.
static int64_t asked_capacity(const Series* s, int64_t capacity) {
    return capacity != 0 ? capacity : s->capacity == 0 ? 16 : int64_t(s->capacity) * 2;
}

Series* replace_series_buffer(Series* s, int64_t capacity) {
    capacity = asked_capacity(s, capacity);
    if (capacity < 1) fire(ERR_internal_no_memory);
    int unit = s->unit();
    Node node = s->node;
    Series* fresh = alloc_series_buffer(capacity / unit, unit, 0);
    // The collector does not move buffers inside an allocation, so `s` is
    // still where it was.
    fresh->flags = (s->flags & ~(SERIES_BIG | SERIES_FIXED | SERIES_MARK)) | (fresh->flags & SERIES_BIG);
    fresh->node = node;
    uint32_t used = s->used();
    if (used > uint32_t(fresh->capacity)) used = uint32_t(fresh->capacity);
    fresh->tail = fresh->offset + used;
    if (node) set_node(node, fresh);
    g_buffer_moves++;
    s->node = 0;
    s->flags &= ~SERIES_IN_USE;
    return fresh;
}

namespace {

// Under a compaction hold C++ code reads buffers where they lie, a replaced
// one too: buffers then neither move in place nor go at once, the collector
// frees what was replaced.
bool buffers_held() { return collector::g_compaction_holds != 0; }

// Whether the buffer is the last one taken from the current frame, whose
// free room starts just after it.
SeriesFrame* top_of_frame(Series* s) {
    SeriesFrame* f = g_record.s_active;
    auto* at = reinterpret_cast<uint8_t*>(s);
    return f && at >= f->area() && f->heap == at + buffer_bytes(s->capacity) ? f : nullptr;
}

// Grows the buffer where it lies when it can: one at the top of the current
// frame takes the room after it, a big one has its pages remapped (moved by
// the kernel, not copied). The content is laid out as expand_series lays it
// out. Null when it cannot; under the stress switch buffers always move, so
// that a stale pointer into the old one shows.
Series* grow_in_place(Series* s, int64_t capacity) {
    if (buffers_held() || (s->flags & SERIES_FIXED)) return nullptr;
#ifdef ZEL_GC_STRESS
    if (collector::stress_one_in()) return nullptr;
#endif
    int unit = s->unit();
    int64_t grown = capacity_for(capacity / unit, unit);
    if (grown <= s->capacity) return nullptr;
    size_t bytes = buffer_bytes(grown), old_bytes = buffer_bytes(s->capacity);
    if (s->flags & SERIES_BIG) {
        collector::g_allocated += bytes - old_bytes;
        collector::collect_if_due();
        s = grow_big_series(s, bytes);
        if (!s) return nullptr;
    } else {
        SeriesFrame* f = top_of_frame(s);
        if (!f || bytes >= g_record.s_max || f->heap + (bytes - old_bytes) >= f->tail) return nullptr;
        unpoison(f->heap, bytes - old_bytes);
        f->heap += bytes - old_bytes;
        collector::g_allocated += bytes - old_bytes;
    }
    uint32_t used = s->used();
    if (s->offset) std::memmove(s->data(), s->head(), size_t(s->capacity) - s->offset);
    s->capacity = int32_t(grown);
    s->offset = 0;
    s->tail = used;
    if (s->node) set_node(s->node, s);
    g_buffer_moves++;
    return s;
}

// A buffer that a bigger one replaced goes at once: a big one back to the
// OS, a fixed one to the tracked heap, one in a frame is poisoned, and its
// space taken back when it is the frame's last (else compaction takes it).
void release_replaced(Series* s) {
    if (buffers_held()) return;
    if (s->flags & SERIES_BIG) {
        size_t bytes = buffer_bytes(s->capacity);
        collector::g_allocated -= std::min<uint64_t>(collector::g_allocated, bytes);
        free_big_series(s);
    } else if (s->flags & SERIES_FIXED) {
        heap_free(s);
    } else if (SeriesFrame* f = top_of_frame(s)) {
        poison(s, buffer_bytes(s->capacity));
        f->heap = reinterpret_cast<uint8_t*>(s);
    } else {
        poison(s->data(), size_t(s->capacity) + SERIES_SLACK);
        s->flags |= SERIES_MARK;  // the sweep finds it poisoned already
    }
}

}  // namespace

Series* expand_series(Series* s, int64_t capacity) {
    capacity = asked_capacity(s, capacity);
    if (Series* grown = grow_in_place(s, capacity)) return grown;
    Series* fresh = replace_series_buffer(s, capacity);
    // Everything from the old head to the end of the old area comes along,
    // as far as the new buffer holds it.
    size_t bytes = size_t(s->capacity) - s->offset;
    if (bytes > size_t(fresh->capacity)) bytes = size_t(fresh->capacity);
    std::memcpy(fresh->data(), s->head(), bytes);
    release_replaced(s);
    return fresh;
}

Series* expand_series_filled(Series* s, int64_t capacity, uint8_t byte) {
    int32_t old_capacity = s->capacity;
    Series* fresh = expand_series(s, capacity);
    if (fresh->capacity > old_capacity)
        std::memset(fresh->data() + old_capacity, byte, size_t(fresh->capacity - old_capacity));
    return fresh;
}

Node copy_series(Series* s) {
    Node source = s->node;
    Node n = alloc_bytes(s->capacity);
    if (source) s = series_of(source);  // a collection may have run
    Series* fresh = series_of(n);
    // Ownership belongs to the buffer and its entry in the ownership table,
    // which the copy has not: a copy flagged owned could never be owned.
    fresh->flags = (s->flags & ~(SERIES_OWNED | SERIES_BIG | SERIES_FIXED | SERIES_MARK)) | (fresh->flags & SERIES_BIG);
    fresh->tail = s->used();
    if (s->capacity != 0) std::memcpy(fresh->data(), s->head(), size_t(s->capacity) - s->offset);
    return n;
}

Node copy_series_part(Node node, int64_t start, int64_t count) {
    Series* s = series_of(node);
    int unit = s->unit();
    int64_t total = s->used() / unit;
    if (start < 0) start = 0;
    if (start > total) start = total;
    if (count < 0) count = 0;
    if (count > total - start) count = total - start;
    Node n = alloc_series(count, unit, 0);
    s = series_of(node);
    Series* fresh = series_of(n);
    fresh->flags = (s->flags & ~(SERIES_OWNED | SERIES_BIG | SERIES_FIXED | SERIES_MARK)) |
                   (fresh->flags & SERIES_BIG);
    std::memcpy(fresh->data(), s->head() + start * unit, size_t(count * unit));
    fresh->tail = uint32_t(count * unit);
    return n;
}

uint32_t alloc_tail_bytes(Node node, int64_t n) {
    Series* s = series_of(node);
    if (n < 0) n = 0;
    if (int64_t(s->tail) + n > s->capacity) {
        int64_t capacity = s->capacity < n ? 2 * n : 2 * int64_t(s->capacity);
        if (capacity < int64_t(s->used()) + n) capacity = int64_t(s->used()) + n;
        s = expand_series(s, capacity);
    }
    uint32_t at = s->tail;
    s->tail += uint32_t(n);
    return at;
}

void free_all_frames() {
    while (g_record.n_head) free_node_frame(g_record.n_head);
    while (g_record.s_head) free_series_frame(g_record.s_head);
    while (g_record.b_head) free_big_series(g_record.b_head->buffer());
    g_free_numbers.clear();
    g_next_number = 1;
}

// ---- Poisoning ----------------------------------------------------------------------

#if defined(ZEL_SANITIZE) || defined(ZEL_GC_STRESS)
void poison(void* start, size_t bytes) {
#ifdef ZEL_ASAN
    ASAN_POISON_MEMORY_REGION(start, bytes);
#else
    std::memset(start, 0xDB, bytes);
#endif
}

void unpoison([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef ZEL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(start, bytes);
#endif
}
#endif

// ---- Small helpers ------------------------------------------------------------------

void fill_range(uint8_t* start, uint8_t* end, uint8_t byte) {
    if (end > start) std::memset(start, byte, size_t(end - start));
}

// Fills count x size bytes with copies of the first `size` bytes, doubling
// the copied span each step.
uint8_t* repeat_pattern(uint8_t* buffer, size_t size, size_t count) {
    size_t total = size * count;
    if (total == 0) return buffer;
    size_t done = size;
    while (done < total) {
        size_t k = done < total - done ? done : total - done;
        std::memcpy(buffer + done, buffer, k);
        done += k;
    }
    return buffer + total;
}

}  // namespace zel::memory
