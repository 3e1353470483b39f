// The argument stack: value cells on which arguments are pushed and results
// are left. stack::arguments() is the first cell of the current call: its
// first argument and the cell that receives its result.
//
// The stack lives in a fixed buffer of ARGUMENT_CELLS cells (a sub-block
// of the root block, root.h) that never moves, so pointers to its cells stay valid for as long as the cells are on
// the stack. Call frames (frames.h) and non-local exits (exits.h) move
// stack::arguments() and the top as calls begin and end.
#pragma once

#include <exception>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::stack {

// Reserved large, the pages taken up only as calls reach them: deep
// recursion is limited by the native stack's guard first. Sanitizer builds,
// whose native stack overflows far sooner, reserve less: their leak check
// reads the whole reservation at every exit.
#if defined(ZEL_SANITIZE)
constexpr int ARGUMENT_CELLS = 1 << 17;
#else
constexpr int ARGUMENT_CELLS = 1 << 21;
#endif
// Cells given back below a full stack so that the error can be built.
constexpr int OVERFLOW_HEADROOM = 5;

extern Cell* g_bottom;
extern Cell* g_top;        // next free cell
extern Cell* g_arguments;  // first cell of the current call
extern Cell* g_end;        // just past the last usable cell
extern Node g_arguments_node;

// Sets up the argument stack and the call-frame stack, both empty, in two
// fixed series of the root block: `arguments` of ARGUMENT_CELLS cells,
// `frames` of frame_bytes() bytes.
void init(Node arguments, Node frames);

inline Cell* arguments() { return g_arguments; }
inline Cell* top() { return g_top; }
inline Cell* bottom() { return g_bottom; }
inline int depth() { return int(g_top - g_bottom); }

// Gives back OVERFLOW_HEADROOM cells and raises internal stack-overflow.
[[noreturn]] void overflow();

// Reserves the cell at the top, an unset! until it is filled. Every one of the ARGUMENT_CELLS cells can be
// pushed; one more gives back OVERFLOW_HEADROOM cells and raises internal
// stack-overflow. Inline: the evaluator pushes at every step.
inline Cell* push_new() {
    Cell* c = g_top++;
    if (g_top > g_end) [[unlikely]]
        overflow();
    // The collector marks every cell below the top: the new one must not
    // show what a cell popped earlier held until its pusher fills it.
    c->header = TYPE_UNSET;
    return c;
}
inline Cell* push(const Cell* value) {
    Cell* c = push_new();
    *c = *value;
    return c;
}
// Drops n cells, never below the bottom.
void pop(int n);
// The last pushed cell, or the bottom cell when the stack is empty.
Cell* get_top();
int top_type();
inline Cell* set_last(const Cell* value) { return copy_cell(value, g_arguments); }
inline Cell* set_last_only(const Cell* value) {
    g_top = g_arguments + 1;
    return copy_cell(value, g_arguments);
}
inline Cell* reset() {
    g_top = g_arguments;
    return g_arguments;
}
void keep();
// An error! on top becomes the result; the call keeps only its result cell.
void keep_error_result();
// Drops the top cell by copying it over the one below.
inline void drop_under() {
    g_top--;
    copy_cell(g_top, g_top - 1);
}

// Puts the top back where it was when the scope ends normally: for C++
// code that pushes what it works on and runs Zel code. A non-local exit
// leaving the scope has placed the stacks itself, so it is left alone then.
class TopScope {
public:
    TopScope() : top_(g_top), exceptions_(std::uncaught_exceptions()) {}
    ~TopScope() {
        if (std::uncaught_exceptions() == exceptions_) g_top = top_;
    }
    TopScope(const TopScope&) = delete;
    TopScope& operator=(const TopScope&) = delete;

private:
    Cell* top_;
    int exceptions_;
};

// A running function's context keeps where its values start on this stack
// as a reference: the cell's index from the bottom plus one, so that 0 still
// means "no call running" even for a call based at the bottom cell.
inline uint32_t values_ref(const Cell* base) { return uint32_t(base - g_bottom) + 1; }
inline Cell* values_cells(uint32_t ref) { return ref ? g_bottom + (ref - 1) : nullptr; }

}  // namespace zel::stack
