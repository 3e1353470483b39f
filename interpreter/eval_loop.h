// Inside the evaluator: what the block loop (eval_loop.cpp), the recursive
// expression evaluator (eval.cpp) and the calls (call.cpp) share. Not for
// other modules: they go through eval.h.
//
// Relies on: the stacks and frames, the natives table.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/frames.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/eval_shortcut.h"
#include "scalars/simple_types.h"

namespace zel::interpreter {

// ---- Evaluation runs without a frame record ------------------------------------------------

// The start of an evaluation run without a frame record: its result base is
// the top; answers the caller's base, which end_unframed puts back. An exit
// or an error leaving it has placed the stacks already (frames keep their
// own bases).
inline Cell* begin_unframed() {
    Cell* caller_base = stack::g_arguments;
    if (stack::g_top >= stack::g_end) [[unlikely]]
        stack::overflow();
    stack::g_arguments = stack::g_top;
    return caller_base;
}

// The end of an evaluation run without a frame record from `caller_base`:
// its value, in the result cell of its own base, stays pushed there or
// (chain) goes to the caller's result cell.
inline void end_unframed(Cell* caller_base, bool chain) {
    Cell* result = stack::g_arguments;
    stack::g_top = result + 1;
    stack::g_arguments = caller_base;
    if (chain) copy_cell(result, caller_base);
}

// The value goes to the result cell (sub clear) or is pushed.
inline void place(const Cell* value, bool sub) {
    if (sub) stack::push(value);
    else stack::set_last_only(value);
}

inline int32_t block_tail(const Cell* block) {
    return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
}

// ---- From the calls (call.cpp) -------------------------------------------------------------

// More refinements than any native or action has; functions with more than
// this many can still be called, their refinements beyond it only through
// ordinary calls.
constexpr int MAX_SLOTS = 16;

// The rest of a call whose leading_arity n arguments are fetched: a
// function's inactive refinements, their arguments and its locals pushed,
// then the path's refinements from `from` (path null: none) activated, their
// arguments fetched from `position`; a native's or action's refinement
// `slots` set. *last: a function's locals to set up. Answers the position
// after the arguments.
Next leading_refinements(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end,
                         const Cell* path, int32_t from, uint32_t n, int32_t* slots, int32_t* last);

// Runs a native's or action's entry routine on the call's cells.
Exit run_entry(const Cell* callable, const int32_t* slots);
// Raises script expect-arg for the call's argument `index` holding `value`.
[[noreturn]] void expect_arg(const Cell* name, const Cell* value, const Cell* callable, int index);
// Raises script no-arg for the call's argument `index`.
[[noreturn]] void no_arg(const Cell* name, const Cell* callable, int index);
// The prolog or epilog event of a traced body.
void trace_body(uint32_t event, const Cell* body, const Cell* function, const Cell* name);
// The open event of a call (only while tracing).
void trace_open(const Code& code, int32_t position, const Cell* callable, const Cell* name, bool infix);

// ---- The block loop (eval_loop.cpp) ----------------------------------------------------------

// Runs the block's leading simple expressions (eval_shortcut.h) from `head`
// into the cell at the top, while nothing traces. When they were all of it,
// answers -1, the block's value at the top (and in the caller's result cell
// with `chain`); else the position of the first other expression. The caller
// checked that the block has an expression at `head` and the stack a free
// cell.
[[gnu::always_inline]] inline int32_t simple_prefix(const Cell* cells, int32_t head, int32_t end, bool chain) {
    Cell* result = stack::g_top;
    for (;;) {
        int32_t next = shortcut::simple_expression(cells, head, end, result);
        if (next < 0) return head;
        head = next;
        if (head >= end) {
            stack::g_top = result + 1;
            if (chain) copy_cell(result, stack::g_arguments);
            return -1;
        }
    }
}

// Start-up: registers the loop's records as a collector root.
void init_block_loop();
// Evaluates the block from `head` to `end` in the block loop, untraced at its
// start; `general`: its leading simple expressions ran already and the one
// at `head` is not one.
Exit run_block(const Cell* block, int32_t head, int32_t end, bool chain, bool general);

// ---- From the recursive evaluator (eval.cpp) ------------------------------------------------

// The general loop over a block's expressions from `i` (to `end`), the traced
// one included, with its frame-less run, code position and events.
Exit eval_block_general(const Cell* block, int32_t i, int32_t end, bool chain, bool general);

}  // namespace zel::interpreter
