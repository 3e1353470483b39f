// The argument stack.
#include "core/stack.h"

#include "core/error.h"
#include "core/frames.h"

namespace zel::stack {

Cell* g_bottom = nullptr;
Cell* g_top = nullptr;
Cell* g_arguments = nullptr;
Cell* g_end = nullptr;
Node g_arguments_node = 0;

void init() {
    g_arguments_node = memory::alloc_fixed_series(ARGUMENT_CELLS, 16, 0);
    Series* s = memory::series_of(g_arguments_node);
    g_bottom = g_top = g_arguments = s->cells();
    g_end = g_bottom + ARGUMENT_CELLS;
    init_frames();
}

Cell* push_new() {
    Cell* c = g_top++;
    if (g_top > g_end) {
        g_top -= OVERFLOW_HEADROOM;
        cell::cycle_reset();
        fire(ERR_internal_stack_overflow);
    }
    return c;
}

Cell* push(const Cell* value) {
    Cell* c = push_new();
    *c = *value;
    return c;
}

void pop(int n) { g_top = n >= g_top - g_bottom ? g_bottom : g_top - n; }

Cell* get_top() { return g_top > g_bottom ? g_top - 1 : g_bottom; }

int top_type() { return type_of(get_top()); }

Cell* set_last(const Cell* value) { return copy_cell(value, g_arguments); }

Cell* set_last_only(const Cell* value) {
    g_top = g_arguments + 1;
    return copy_cell(value, g_arguments);
}

Cell* reset() {
    g_top = g_arguments;
    return g_arguments;
}

void keep() { g_top = g_arguments + 1; }

void keep_error_result() {
    Cell* last = get_top();
    if (type_of(last) == TYPE_ERROR) copy_cell(last, g_arguments);
    g_top = g_arguments + 1;
}

void drop_under() {
    g_top--;
    copy_cell(g_top, g_top - 1);
}

}  // namespace zel::stack
