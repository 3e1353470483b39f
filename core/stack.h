// The argument stack: value cells on which arguments are pushed and results
// are left. stack::arguments() is the first cell of the current call: its
// first argument and the cell that receives its result.
//
// The stack lives in a fixed buffer that never moves, so pointers to its
// cells stay valid for as long as the cells are on the stack.
#pragma once

#include "core/cell.h"
#include "core/memory.h"

namespace zel::stack {

constexpr int ARGUMENT_CELLS = 20000;

extern Cell* g_bottom;
extern Cell* g_top;        // next free cell
extern Cell* g_arguments;  // first cell of the current call
extern Cell* g_end;
extern Node g_arguments_node;

void init();

inline Cell* arguments() { return g_arguments; }
inline Cell* top() { return g_top; }
inline Cell* bottom() { return g_bottom; }
inline int depth() { return int(g_top - g_bottom); }

// Reserves the cell at the top. When the stack is full the top gives back
// headroom for the error, and internal stack-overflow is raised.
Cell* push_new();
Cell* push(const Cell* value);
void pop(int n);
// The last pushed cell, or the bottom cell when the stack is empty.
Cell* get_top();
int top_type();
Cell* set_last(const Cell* value);
Cell* set_last_only(const Cell* value);
Cell* reset();
void keep();

}  // namespace zel::stack
