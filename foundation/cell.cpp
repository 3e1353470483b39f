// Cell helpers shared by the whole run-time: appending to blocks, number
// conversion and the cycle-detection stack.
#include "foundation/cell.h"

#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"

namespace zel {

namespace cell {

Cell* alloc_tail_in_buffer(uint32_t node) {
    Series* s = memory::series_of(node);
    if (int64_t(s->tail) + 16 > s->capacity) s = memory::expand_series(s, 0);
    auto* c = reinterpret_cast<Cell*>(s->tail_ptr());
    c->header = TYPE_UNSET;
    s->tail += 16;
    memory::touch(s);
    return c;
}

Cell* alloc_tail(const Cell* block) { return alloc_tail_in_buffer(block->data2); }

int32_t number_to_int(const Cell* c) {
    if (type_of(c) != TYPE_FLOAT) return cell::get_int(c);
    double d = cell::get_float(c);
    if (!fits_int32(d)) fire(ERR_script_out_of_range, c);
    return int32_t(d);
}

// ---- Cycle-detection stack ----------------------------------------------------------

namespace {
uint32_t g_cycle[CYCLE_DEPTH];
int g_cycle_top = 0;
}  // namespace

void cycle_push(uint32_t node) {
    g_cycle[g_cycle_top++] = node;
    if (g_cycle_top >= CYCLE_DEPTH) {
        // Emptied first, so the next walk starts clean after the error.
        g_cycle_top = 0;
        fire(ERR_internal_too_deep);
    }
}

void cycle_pop() {
    if (g_cycle_top > 0) g_cycle_top--;
}

void cycle_pop_n(int n) {
    g_cycle_top = n >= g_cycle_top ? 0 : g_cycle_top - n;
}

void cycle_reset() { g_cycle_top = 0; }

bool cycle_find(uint32_t node) {
    for (int i = 0; i < g_cycle_top; i++)
        if (g_cycle[i] == node) return true;
    return false;
}

int cycle_depth() { return g_cycle_top; }

uint32_t cycle_node(const Cell* value) {
    switch (type_of(value)) {
        case TYPE_OBJECT:
        case TYPE_ERROR:
        case TYPE_PORT: return value->data1;
        default: return value->data2;
    }
}

}  // namespace cell

}  // namespace zel
