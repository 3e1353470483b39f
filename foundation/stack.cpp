// The argument stack.
#include "foundation/stack.h"

#include "foundation/frames.h"
#include "foundation/raise.h"

namespace zel::stack {

Cell* g_bottom = nullptr;
Cell* g_top = nullptr;
Cell* g_arguments = nullptr;
Cell* g_end = nullptr;
Node g_arguments_node = 0;

void init(Node arguments, Node frames) {
    g_arguments_node = arguments;
    Series* s = memory::series_of(arguments);
    g_bottom = g_top = g_arguments = s->cells();
    g_end = g_bottom + ARGUMENT_CELLS;
    frames::init_frames(frames);
}

void overflow() {
    g_top -= OVERFLOW_HEADROOM;
    cell::cycle_reset();
    fire(ERR_internal_stack_overflow);
}

void pop(int n) { g_top = n >= g_top - g_bottom ? g_bottom : g_top - n; }

Cell* get_top() { return g_top > g_bottom ? g_top - 1 : g_bottom; }

int top_type() { return type_of(get_top()); }


void keep() { g_top = g_arguments + 1; }

void keep_error_result() {
    Cell* last = get_top();
    if (type_of(last) == TYPE_ERROR) copy_cell(last, g_arguments);
    g_top = g_arguments + 1;
}


}  // namespace zel::stack
