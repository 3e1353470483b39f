// The value-slot store: the block of slots and its free list.
#include "foundation/slot_store.h"

#include "foundation/collector.h"

namespace zel::slot_store {

namespace {

Node g_block = 0;
int32_t g_capacity = 0;
int32_t g_free = -1;  // 0-based index of the first free slot, -1 when none

Cell* slots() { return memory::series_of(g_block)->cells(); }

// Slots [from, capacity) become free, each naming the next; the list starts
// at `from` and the block's tail moves to the capacity.
void thread_free(int32_t from) {
    Series* s = memory::series_of(g_block);
    for (int32_t i = from; i < g_capacity; i++)
        cell::set(s->cells() + i, TYPE_INTEGER, 0, uint32_t(i + 1 < g_capacity ? i + 1 : -1));
    g_free = from;
    s->tail = s->offset + uint32_t(g_capacity) * sizeof(Cell);
}

void mark_store() { collector::mark_block(g_block); }

}  // namespace

void init() {
    g_block = 0;
    collector::add_mark_callback(mark_store, "the slot store");
    g_capacity = CAPACITY;
    g_block = memory::alloc_cells(g_capacity);
    thread_free(0);
}

Node block() { return g_block; }
int32_t capacity() { return g_capacity; }

int32_t put(const Cell* value) {
    Cell copy = *value;  // the value may lie in the buffer that grows
    if (g_free < 0) {
        int32_t old = g_capacity;
        g_capacity *= 2;
        memory::expand_series(memory::series_of(g_block), int64_t(g_capacity) * int64_t(sizeof(Cell)));
        thread_free(old);
    }
    int32_t i = g_free;
    g_free = cell::get_int(slots() + i);
    slots()[i] = copy;
    return i + 1;
}

Cell* get(int32_t index) { return index >= 1 && index <= g_capacity ? slots() + (index - 1) : nullptr; }

void release(int32_t index) {
    if (index < 1 || index > g_capacity) return;
    cell::set(slots() + (index - 1), TYPE_INTEGER, 0, uint32_t(g_free));
    g_free = index - 1;
}

}  // namespace zel::slot_store
