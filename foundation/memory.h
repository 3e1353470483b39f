// Memory manager: the tracked heap, OS pages and the series store.
//
// Three layers:
//  - the tracked heap: malloc'd blocks linked into one list that quitting
//    releases at once (tables, scratch buffers, the manager's own arrays);
//  - OS pages (mmap) for node frames, series frames and big series;
//  - the series store: node frames of 10,000 slots and series frames from
//    which buffers are bump-allocated.
//
// A cell never holds a buffer address: it holds a node, a 32-bit id whose
// slot holds the buffer address. The collector may move a buffer at a safe
// point by rewriting that one slot. Node ids never change while in use.
//
// Rule for every caller: any series allocation may run a collection, and
// expanding a series replaces its buffer, whose old one is released at once
// (only under a compaction hold is it left to the collector). Never keep a
// raw pointer into a buffer across either; keep the node and an index, and
// re-derive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/cell.h"

namespace zel {

using Node = uint32_t;  // 0 = no node

// Series buffer flags.
constexpr uint32_t SERIES_UNIT_MASK = 0x0000001F;
constexpr uint32_t SERIES_OWNED = 0x00020000;
constexpr uint32_t SERIES_LIBRARY = 0x00040000;  // a block of the boot image: the library's own code
constexpr uint32_t SERIES_NEGATED = 0x00080000;  // bitset! only
constexpr uint32_t SERIES_FIXED = 0x00100000;
constexpr uint32_t SERIES_BIG = 0x01000000;
constexpr uint32_t SERIES_MARK = 0x08000000;
constexpr uint32_t SERIES_ALLOCATED = 0x20000000;
constexpr uint32_t SERIES_IN_USE = 0x80000000;

// The header of a series buffer: 32 bytes, then capacity bytes of data.
// offset and tail are byte offsets from the data start: the units in use
// are [offset, tail).
struct Series {
    uint32_t flags;
    Node node;          // the node that points here; 0 once replaced
    int32_t capacity;   // bytes of data, a multiple of 16
    uint32_t offset;    // first unit in use
    uint32_t tail;      // just after the last unit in use
    uint32_t stamp;     // change stamp (foundation/stamp.h): new whenever the contents may have changed
    uint32_t pad[2];

    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
    uint8_t* head() { return data() + offset; }
    uint8_t* tail_ptr() { return data() + tail; }
    uint8_t* end() { return data() + capacity; }
    int unit() const { return int(flags & SERIES_UNIT_MASK); }
    uint32_t used() const { return tail - offset; }
    Cell* cells() { return reinterpret_cast<Cell*>(head()); }
    Cell* cell_tail() { return reinterpret_cast<Cell*>(tail_ptr()); }
};
static_assert(sizeof(Series) == 32, "series header is 32 bytes");

// Largest buffer the store hands out, in bytes.
constexpr int64_t SERIES_MAX_BYTES = 2147483647;

namespace memory {

// The unit stored at p in a buffer whose units are `unit` bytes wide (1, 2,
// any other width read as 4): in a text buffer, the code point there.
inline uint32_t unit_value(const uint8_t* p, int unit) {
    switch (unit) {
        case 1: return *p;
        case 2: {
            uint16_t u;
            std::memcpy(&u, p, 2);
            return u;
        }
        default: {
            uint32_t u;
            std::memcpy(&u, p, 4);
            return u;
        }
    }
}

// ---- Node table -----------------------------------------------------------

constexpr uint32_t NODE_FRAME_SLOTS = 10000;
constexpr int NODE_SLOT_BITS = 14;  // slot index inside a node id
constexpr uint32_t NODE_SLOT_MASK = (1u << NODE_SLOT_BITS) - 1;
constexpr uint32_t NODE_MAX_FRAMES = (1u << (32 - NODE_SLOT_BITS)) - 1;

union NodeSlot {
    Series* series;   // slot in use
    uintptr_t link;   // free slot: next free slot index + 1, 0 at the end
};

struct NodeFrame {
    NodeFrame* next;
    NodeFrame* prev;
    uint32_t capacity;
    uint32_t free_head;   // first free slot index + 1; 0 when full
    uint32_t used;
    uint32_t created_at;  // collector cycle count when made
    uint32_t previous_used;
    uint32_t history;     // one bit per collection: 1 when used did not change
    uint32_t release;     // 1 once emptied for release: no node is taken from it
    uint32_t number;      // frame number inside node ids (ids are (number << 14) | slot)
    uint32_t pad;
    NodeSlot* slots() { return reinterpret_cast<NodeSlot*>(this + 1); }  // capacity slots follow
};

// Slots of every live node frame, by frame number.
extern NodeSlot* g_node_slots[NODE_MAX_FRAMES + 1];

inline Series* series_of(Node n) { return g_node_slots[n >> NODE_SLOT_BITS][n & NODE_SLOT_MASK].series; }
inline void set_node(Node n, Series* s) { g_node_slots[n >> NODE_SLOT_BITS][n & NODE_SLOT_MASK].series = s; }
NodeFrame* frame_of_node(Node n);

// ---- Series frames and the memory record ------------------------------------

struct SeriesFrame {
    SeriesFrame* next;  // sorted by address
    SeriesFrame* prev;
    size_t size;        // area size + header
    uint8_t* heap;      // first free byte (bump pointer)
    uint8_t* tail;      // end of the area
    size_t pad[3];
    uint8_t* area() { return reinterpret_cast<uint8_t*>(this + 1); }
};
static_assert(sizeof(SeriesFrame) % 16 == 0, "series frame area stays 16-aligned");

struct BigSeries {  // header of an OS block holding one big buffer
    BigSeries* next;
    BigSeries* prev;
    size_t bytes;
    size_t pad;
    Series* buffer() { return reinterpret_cast<Series*>(this + 1); }
};

struct Record {
    size_t total;  // OS bytes held
    NodeFrame* n_head;
    NodeFrame* n_tail;
    NodeFrame* n_active;
    SeriesFrame* s_head;
    SeriesFrame* s_active;
    SeriesFrame* s_tail;
    uint32_t s_start;  // first series frame size (1 MB)
    uint32_t s_size;   // next series frame size
    uint32_t s_max;    // largest series frame; also the big-series threshold (2 MB)
    BigSeries* b_head;
    BigSeries* b_tail;
};
extern Record g_record;

constexpr uint32_t SERIES_FRAME_FIRST = 1048576;
constexpr uint32_t SERIES_FRAME_MAX = 2097152;
constexpr size_t SERIES_HEADER = sizeof(Series);
constexpr size_t SERIES_SLACK = 16;  // after the data: room for a terminator, keeps 16-alignment
constexpr size_t FRAME_MIN_FREE = 52428;  // prefer a new frame to one with less room

// ---- Tracked heap -----------------------------------------------------------

void* heap_alloc(int64_t size);
void* heap_alloc_zeroed(int64_t size);
void heap_free(void* p);
void* heap_realloc(void* p, int64_t size);
void heap_free_all();
int64_t heap_asked_size(const void* p);
size_t heap_block_count();

// Bytes the tracked heap holds: what was asked for plus each block's header.
int64_t heap_total_bytes();

// ---- OS pages ---------------------------------------------------------------

void* alloc_virtual(size_t size);
void free_virtual(void* p);
// Grows a block of alloc_virtual to hold size bytes, its pages remapped, not
// copied; answers its address, which may have changed, or null when the OS
// refused (the block is then as it was).
void* grow_virtual(void* p, size_t size);

// ---- Series store -----------------------------------------------------------

void init();
void free_all_frames();  // at quit

NodeFrame* new_node_frame(uint32_t capacity);
Node alloc_node();
void free_node(NodeFrame* frame, Node node);
void free_node_frame(NodeFrame* frame);
void release_node_frames();

SeriesFrame* new_series_frame();
void free_series_frame(SeriesFrame* frame);
SeriesFrame* find_series_frame(size_t bytes);

// Sizes are computed in 64 bits; a buffer above 2,147,483,647 bytes raises
// internal no-memory. A negative count asks for the minimum.
Series* alloc_series_buffer(int64_t count, int unit, uint32_t offset);
Node alloc_series(int64_t count, int unit, uint32_t offset);
Node alloc_fixed_series(int64_t count, int unit, uint32_t offset);
Node alloc_cells(int64_t count);
Node alloc_unset_cells(int64_t count);
Node alloc_bytes(int64_t count);
Node alloc_chars(int64_t count, int unit);
void set_series_flags(Node node, uint32_t bits);

// Counts the times a live node was given another buffer (here, and by
// compaction when it moves buffers): a C++ cache of a buffer address is
// valid while the count it was taken at still holds.
extern uint32_t g_buffer_moves;

// capacity 0 doubles the current capacity (a zero-capacity buffer becomes
// 16 bytes). The node keeps pointing at the live buffer. Replacing counts as
// a move and leaves the old buffer, out of use, to the caller.
Series* replace_series_buffer(Series* s, int64_t capacity);
// Expanding keeps the content from the old head on, which starts the new
// buffer. The buffer grows where it lies when it can (the last one taken
// from the current frame; a big one, remapped); else a new one replaces it
// and the old one is released at once: a big one unmapped, a fixed one
// freed, one in a frame poisoned and its space given back to the frame when
// it was the frame's last. Either way it counts as a move.
Series* expand_series(Series* s, int64_t capacity);
Series* expand_series_filled(Series* s, int64_t capacity, uint8_t byte);
Node copy_series(Series* s);
Node copy_series_part(Node node, int64_t start, int64_t count);

Series* alloc_big_series(size_t bytes);
void free_big_series(Series* s);
void sweep_big_series();

// Advances the tail by n bytes, expanding the buffer when needed; answers
// the byte offset (from the data start) where the n bytes begin.
uint32_t alloc_tail_bytes(Node node, int64_t n);

// ---- Usage statistics (memory_stats.cpp) -------------------------------------

// USAGE_BYTES answers the bytes in use: the node slots in use, the used part
// of every series frame, every big series. USAGE_REPORT appends to the block
// a report and answers 0: a block of rows [free used capacity] per node
// frame, a block of rows [free used total] bytes per series frame (each row
// starting a new line when molded), a block of big series sizes, the total
// bytes held (node and series frames with their headers, big series, the
// tracked heap) and the tracked heap's bytes. No collection runs meanwhile.
enum UsageMode : int { USAGE_BYTES = 1, USAGE_REPORT = 2 };
double usage_stats(Cell* block, int mode);
// The cell becomes an integer! of the byte count, or a float! above
// 2,147,483,647.
Cell* byte_count_at(Cell* cell, double bytes);

// Buffer space the collector freed or vacated: unreadable under
// AddressSanitizer (ZEL_SANITIZE), filled with a pattern in other stress
// builds, left alone otherwise. The allocator makes the space it hands out
// usable again.
#if defined(ZEL_SANITIZE) || defined(ZEL_GC_STRESS)
void poison(void* start, size_t bytes);
void unpoison(void* start, size_t bytes);
#else
inline void poison(void*, size_t) {}
inline void unpoison(void*, size_t) {}
#endif

// Small helpers.
inline int64_t round_up(int64_t value, int64_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}
void fill_range(uint8_t* start, uint8_t* end, uint8_t byte);
uint8_t* repeat_pattern(uint8_t* buffer, size_t pattern_size, size_t count);

}  // namespace memory
}  // namespace zel
