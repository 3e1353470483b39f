// The block loop: blocks, parens, function bodies and the blocks natives
// hand back (hand_back: the branches of if, unless and either, switch's
// case, do's block) run in one C++ loop, not by recursion. What recursion kept on the native stack (where
// to go on in which block, a call whose arguments are being fetched, a
// set-word waiting for its value, an expression waiting for its infix check)
// is kept here in records, beside the call frames. A Zel call made by a word
// or by a path to a function (with or without refinements) adds a frame
// record and loop records, no C++ frame: recursion is as deep as the frame
// stack, the records and the argument stack allow.
//
// The loop runs what the recursive evaluator (eval.cpp) runs, with the same
// stacks, frames, code position, values and errors at every step; it hands
// the rarer kinds of expressions (get-words, set-paths, other paths,
// function values in code, calls with quoted arguments, routines) to that
// evaluator, and runs a statement through it when tracing is on.
//
// Exits. break, continue, return and exit answered by a native have already
// moved the stacks to their target: the loop drops its records down to a
// function body that is the target of a return or exit (and goes on after
// its call), or all of them, and answers the exit to its C++ caller. An
// error or a throw leaves as an exception: the records are dropped on the
// way, each putting back what it changed (the code position, a function
// context's values).
//
// Relies on: the recursive evaluator and the calls (eval_loop.h), the
// shortcut (eval_shortcut.h), stacks, frames, contexts, the collector (the
// records' cells are roots).
#include <sys/mman.h>

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval_loop.h"
#include "interpreter/eval_shortcut.h"
#include "interpreter/function.h"
#include "interpreter/natives.h"
#include "interpreter/trace.h"
#include "scalars/typeset.h"
#include "words/context.h"

namespace zel::interpreter {

using namespace shortcut;

namespace {

// The records of a call, a paren and a set-word also hold what the
// expression they are the term of needs when they end: its entry top (where
// an infix call finds its left operand), whether it takes infix operators,
// and whether its value is pushed.
enum RecordKind : uint8_t {
    REC_BLOCK,  // a block being run: its statements one by one
    REC_CALL,   // a call: fetching its arguments, running its body or a branch
    REC_SET,    // a set-word waiting for its value
};

// What a block is run for.
enum BlockKind : uint8_t { BLOCK_ENTRY, BLOCK_PAREN, BLOCK_BODY, BLOCK_BRANCH };

enum CallPhase : uint8_t { PHASE_FETCH, PHASE_BODY, PHASE_BRANCH };

struct Record {
    RecordKind kind;
    CallPhase phase;     // REC_CALL
    bool sub;            // the expression's value is pushed (else it goes to the result cell)
    bool flag;           // REC_BLOCK: chain; REC_CALL: infix
    bool no_infix;       // the expression takes no infix operator
    bool refined;        // REC_CALL: a path's call, its refinements after the leading arguments
    BlockKind block;     // REC_BLOCK
    int32_t position;    // REC_CALL: its next argument, then after them; paren: after it
    int32_t end;         // REC_BLOCK: its end; refined REC_CALL: the path's first refinement
    uint32_t index;      // REC_CALL: the argument being fetched
    uint32_t arity;      // REC_CALL
    uint32_t saved;      // REC_CALL body: the context's values word before it
    Record* outer;       // the block record current when this one was pushed
    Cell* base;          // REC_BLOCK: the caller's base
    Cell* entry_top;     // the expression's entry top
    frames::CallFrame* frame;  // REC_CALL: its frame record
    Cell a;              // REC_BLOCK: the block; REC_CALL: the callable; REC_SET: the word
    Cell b;              // REC_BLOCK: the code position before it; REC_CALL: the name
    Cell path;           // refined REC_CALL: the path
};

// Reserved, not committed: pages are taken as deep code uses them.
#if defined(ZEL_SANITIZE)
constexpr size_t RECORDS = size_t(1) << 18;
#else
constexpr size_t RECORDS = size_t(1) << 23;
#endif

Record* g_bottom = nullptr;
Record* g_top = nullptr;
Record* g_end = nullptr;

void mark_records() {
    for (Record* r = g_bottom; r < g_top; r++) {
        collector::mark_value(&r->a);
        if (r->kind != REC_SET) collector::mark_value(&r->b);
        if (r->kind == REC_CALL && r->refined) collector::mark_value(&r->path);
    }
}

void reserve() {
    void* p = mmap(nullptr, RECORDS * sizeof(Record), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) fire(ERR_internal_no_memory);
    g_bottom = g_top = static_cast<Record*>(p);
    g_end = g_bottom + RECORDS;
}

inline Record* push_record(RecordKind kind, Record* outer) {
    if (g_top >= g_end) [[unlikely]]
        frames::frame_overflow();
    Record* r = g_top++;
    r->kind = kind;
    r->outer = outer;
    return r;
}

// The record of a call of `callable` named by `name`, its arguments from
// `position`, the term of the expression entered with `entry_top`.
inline Record* push_call(Record* outer, const Cell* callable, const Cell* name, bool infix, uint32_t arity,
                         int32_t position, Cell* entry_top, bool no_infix, bool sub) {
    Record* r = push_record(REC_CALL, outer);
    // Before anything can raise: dropping the record looks at its phase.
    r->phase = PHASE_FETCH;
    r->entry_top = entry_top;
    r->no_infix = no_infix;
    r->a = *callable;
    r->b = *name;
    r->flag = infix;
    r->sub = sub;
    r->arity = arity;
    r->position = position;
    r->refined = false;
    return r;
}

// Puts back what the record changed, when it is dropped before its end.
inline void undo(const Record* r) {
    if (r->kind == REC_BLOCK) {
        g_code_position = r->b;
    } else if (r->kind == REC_CALL && r->phase == PHASE_BODY) {
        context::cell_of(r->a.data1)->data2 = r->saved;
    }
}

// Drops the records above `to`, the newest first.
void drop_to(Record* to) {
    while (g_top > to) undo(--g_top);
}

// The innermost function body at or above `base` that a return or exit
// lands on: its call's frame is the top frame now.
Record* return_target(Record* base) {
    for (Record* r = g_top; r-- > base;)
        if (r->kind == REC_CALL && r->phase == PHASE_BODY)
            return r->frame == frames::g_frame_top - 1 ? r : nullptr;
    return nullptr;
}

inline bool return_code(uint32_t code) { return code == THROW_RETURN || code == THROW_EXIT; }

// The frame of the native call the loop made and runs in: a block it hands
// back (hand_back) runs in the loop in the native's place. Natives in C++
// below it see another frame on top, and evaluate their blocks themselves.
frames::CallFrame* g_accepting = nullptr;
Cell g_handed;           // the block handed back
bool g_handed_back = false;

// Runs a native's or action's entry for the loop, accepting a block handed
// back; the frame that accepted before is put back (by run_block's catch
// when the entry raises).
inline Exit run_accepting(const Cell* callable, const int32_t* slots) {
    frames::CallFrame* saved = g_accepting;
    g_accepting = frames::g_frame_top - 1;
    Exit e = run_entry(callable, slots);
    g_accepting = saved;
    return e;
}

// The machine. `resume` set: a return or exit that came as an exception
// has landed on the body of the call on top; the machine goes on after that
// call.
Exit machine(Record* base, const Cell* entry_block, int32_t entry_head, int32_t entry_end, bool entry_general,
             bool chain_in, bool resume) {
    Record* B = nullptr;  // the current block's record
    Record* r = nullptr;
    Series* code_series = nullptr;  // B's block's series, its cells, and the
    Cell* cells = nullptr;          // buffer moves when they were taken
    uint32_t moves = 0;
    int32_t i = 0;
    Cell* entry_top = nullptr;
    bool no_infix = false, sub = false, general = false, chain = chain_in;
    const Cell* op = nullptr;
    const Cell* found = nullptr;       // the callable a word or path reaches
    const Cell* found_name = nullptr;  // and the word naming the call
    Cell block_cell;  // a block about to be entered
    BlockKind entering = BLOCK_ENTRY;
    uint32_t exit_code = 0;
    int32_t head = 0, end = 0;  // of a block being entered
    Series* series = nullptr;

// B's block's series and cells, taken again.
#define TAKE_CELLS()                                            \
    do {                                                        \
        code_series = memory::series_of(B->a.data2);            \
        cells = code_series->cells();                           \
        moves = memory::g_buffer_moves;                         \
    } while (0)
// Taken again when some buffer moved since.
#define REFRESH()                                               \
    do {                                                        \
        if (moves != memory::g_buffer_moves) [[unlikely]]       \
            TAKE_CELLS();                                       \
    } while (0)
// A step that answered an exit goes to `exiting`.
#define LEAVE_ON_EXIT(exit)                                     \
    do {                                                        \
        Exit e_ = (exit);                                       \
        if (e_) {                                               \
            exit_code = e_.code;                                \
            goto exiting;                                       \
        }                                                       \
    } while (0)
// A step of the recursive evaluator in the running block: an exit it
// answers goes to `exiting`, else the code goes on at its position.
#define GO_ON_AFTER(step, label)                                \
    do {                                                        \
        Next n_ = (step);                                       \
        if (n_.exit) {                                          \
            exit_code = n_.exit;                                \
            goto exiting;                                       \
        }                                                       \
        i = n_.position;                                        \
        goto label;                                             \
    } while (0)
// The current block becomes the record's (none: the machine's own ended).
#define SET_BLOCK(record)                                       \
    do {                                                        \
        B = (record);                                           \
        if (B) TAKE_CELLS();                                    \
    } while (0)

    if (resume) {
        r = g_top - 1;
        SET_BLOCK(r->outer);
        goto returned;
    }
    // The entry block: eval_block ran its leading simple expressions.
    block_cell = *entry_block;
    head = entry_head;
    end = entry_end;
    general = entry_general;
    goto push_block;

enter_block: {
    // block_cell, chain; the parent record (if any) is on top.
    stamp::check_entry(&block_cell);
    head = int32_t(block_cell.data1) < 0 ? 0 : int32_t(block_cell.data1);
    series = memory::series_of(block_cell.data2);
    end = int32_t(series->used() / sizeof(Cell));
    if (g_tracing) [[unlikely]] {
        LEAVE_ON_EXIT(eval_block_general(&block_cell, head, end, chain, false));
        goto block_given;
    }
    // The block's leading simple expressions run before its base is set
    // (see eval_block): a block made of them alone needs no record.
    general = false;
    if (head < end && stack::g_top < stack::g_end) {
        head = simple_prefix(series->cells(), head, end, chain);
        if (head < 0) goto block_given;
        general = true;
    }
push_block:
    r = push_record(REC_BLOCK, B);
    r->a = block_cell;
    r->b = g_code_position;
    r->end = end;
    r->flag = chain;
    r->block = entering;
    if (entering == BLOCK_PAREN) {
        r->entry_top = entry_top;
        r->no_infix = no_infix;
        r->sub = sub;
        r->position = i + 1;
    }
    r->base = begin_unframed();
    SET_BLOCK(r);
    if (head >= end) {
        stack::set_last_only(&unset::g_unset);
        goto block_done;
    }
    g_code_position = B->a;
    i = head;
    goto statement;
}

statement: {
    collector::safe_point();
    REFRESH();
    g_code_position.data1 = uint32_t(i);
    if (g_tracing) [[unlikely]]
        GO_ON_AFTER(eval_expression(Code(&B->a), i, B->end, false, false, false), statement_done);
    entry_top = stack::g_top;
    no_infix = false;
    sub = false;
    // A call, the most common statement, is not tried as a simple one.
    if (type_of(cells + i) == TYPE_WORD && (found = value_if_any(cells + i)) && callable_type(type_of(found))) {
        general = false;
        goto word_call;
    }
    if (!general) {
        int32_t next = simple_expression(cells, i, B->end, stack::g_arguments);
        if (next >= 0) {
            stack::g_top = stack::g_arguments + 1;
            i = next;
            goto statement_next;
        }
    }
    general = false;
    goto expression;
}

statement_done: {
    // The code may have cut its own block short.
    REFRESH();
    int32_t tail = int32_t(code_series->used() / sizeof(Cell));
    if (tail < B->end) B->end = tail;
}
statement_next:
    if (i >= B->end) goto block_done;
    // Every value of the block's previous expression is dropped; before the
    // next one is the safe point.
    stack::reset();
    goto statement;

block_done:
    if (g_tracing) [[unlikely]]
        trace(TRACE_EXIT, &B->a, B->end, stack::arguments(), nullptr);
    end_unframed(B->base, B->flag);
    g_code_position = B->b;
    g_top--;
    r = B;
    SET_BLOCK(B->outer);
    if (r->block == BLOCK_PAREN) {
        i = r->position;
        goto expression_resumed;
    }
    goto block_left;

block_given:
    // A block ran without a record of its own: a paren's expression goes on
    // after it (its expression's state is still in hand).
    if (entering == BLOCK_PAREN) {
        i++;
        goto term_done;
    }
block_left:
    // A block has given its value to the call of a body or a branch, or it
    // was the machine's own.
    if (g_top == base) return Exit{};
    r = g_top - 1;
    if (r->phase == PHASE_BODY) goto returned;
    goto call_done;

expression: {
    // The expression at i: entry_top, no_infix and sub are set.
    REFRESH();
    const Cell* value = cells + i;
    switch (type_of(value)) {
        case TYPE_WORD: {
            const Cell* v = value_if_any(value);
            if (!v) break;
            int t = type_of(v);
            if (callable_type(t)) {
                found = v;
                goto word_call;
            }
            if (t == TYPE_UNSET) fire(ERR_script_no_value, value);
            if (t == TYPE_OP) fire(ERR_script_no_op_arg, value);
            if (t == TYPE_LIT_WORD) stack::push(v);
            else place(v, sub);
            i++;
            goto term_done;
        }
        case TYPE_SET_WORD: {
            r = push_record(REC_SET, B);
            r->a = *value;
            r->entry_top = entry_top;
            r->no_infix = no_infix;
            r->sub = sub;
            frames::mark_interp_native(&r->a);
            stack::push(&r->a);
            if (i + 1 >= B->end) fire(ERR_script_need_value, &r->a);
            i++;
            entry_top = stack::g_top;
            no_infix = false;
            sub = true;
            goto expression;
        }
        case TYPE_PATH: {
            // A path to a function that names no refinement calls it as its
            // word would.
            const Cell* name;
            int32_t from;
            if (!path_target(value, &found, &name, &from)) break;
            if (from < block_tail(value)) {
                // With refinements: its leading arguments fetched here, then
                // its refinements as call_leading sets them.
                int32_t leading = leading_arity(found);
                if (leading < 0)
                    GO_ON_AFTER(call_target(value, found, name, from, Code(&B->a), i + 1, B->end, sub), term_done);
                r = push_call(B, found, name, false, uint32_t(leading), i + 1, entry_top, no_infix, sub);
                r->refined = true;
                r->path = *value;
                r->end = from;
                goto call_start;
            }
            found_name = name;
            goto path_call;
        }
        case TYPE_PAREN:
            block_cell = *value;
            chain = !sub;
            entering = BLOCK_PAREN;
            goto enter_block;
        default:
            if (other_type(type_of(value))) break;
            place(value, sub);
            i++;
            goto term_done;
    }
    goto other_term;
}

word_call:
    // The word at i holds the callable `found`.
    found_name = cells + i;
path_call: {
    // The callable `found`, named by `found_name`, at i.
    if (type_of(found) == TYPE_ROUTINE) goto other_term;
    int32_t arity = plain_arity(found);
    if (arity >= 0) {
        r = push_call(B, found, found_name, false, uint32_t(arity), i + 1, entry_top, no_infix, sub);
        goto call_start;
    }
    // A callable with refinements, called without: its leading arguments,
    // then its refinements inactive.
    arity = leading_arity(found);
    if (arity < 0) goto other_term;
    r = push_call(B, found, found_name, false, uint32_t(arity), i + 1, entry_top, no_infix, sub);
    r->refined = true;
    cell::set(&r->path, TYPE_NONE);
    r->end = 0;
    goto call_start;
}

other_term: {
    // Any other term: the recursive evaluator's, then the infix check here.
    GO_ON_AFTER(eval_expression(Code(&B->a), i, B->end, true, sub, false), term_done);
}

expression_resumed:
    // The record r, just dropped, was the term of an expression, which goes
    // on at i.
    entry_top = r->entry_top;
    no_infix = r->no_infix;
    sub = r->sub;
    goto term_done;

term_done:
    // An op! after a term takes it as its left operand, again and again.
    REFRESH();
    if (no_infix || !(op = op_at(cells, i, B->end))) goto expression_done;
    {
        if (!g_tracing && i + 1 < B->end && operate(op, entry_top, cells + i + 1)) {
            stack::g_top = entry_top + 1;
            i += 2;
            goto term_done;
        }
        Cell callable = *op;
        callable.header = uint32_t(op::wrapped_type(op));
        Cell name = cells[i];
        stack::g_top = entry_top;
        int32_t arity = type_of(&callable) == TYPE_ROUTINE ? -1 : plain_arity(&callable);
        if (arity < 0) {
            GO_ON_AFTER(call(&callable, &name, Code(&B->a), i + 1, B->end, sub, nullptr, 0, MODE_CALL, true),
                        term_done);
        }
        r = push_call(B, &callable, &name, true, uint32_t(arity), i + 1, entry_top, no_infix, sub);
        goto call_start;
    }

expression_done:
    // The expression has given its value; its requester goes on at i.
    r = g_top - 1;
    switch (r->kind) {
        case REC_BLOCK: goto statement_done;
        case REC_CALL: goto argument_done;
        case REC_SET: goto set_done;
        default: __builtin_unreachable();
    }

set_done: {
    r = g_top - 1;
    Cell* value = stack::arguments() + 1;
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_need_value, &r->a);
    context::assign(&r->a, value);
    *stack::arguments() = *value;
    if (r->sub) frames::unwind();
    else frames::unwind_last();
    g_top--;
    goto expression_resumed;
}

call_start: {
    // The call on top: r. Mirrors call_plain.
    const Cell* callable = &r->a;
    if (g_tracing) [[unlikely]] {
        Code code(&B->a);
        trace_open(code, r->position, callable, &r->b, r->flag);
    }
    if (!r->flag) stack::push(callable);
    if (type_of(callable) == TYPE_FUNCTION) frames::mark_interp_func(&r->b);
    else frames::mark_interp_native(&r->b);
    r->frame = frames::g_frame_top - 1;
    r->index = 0;
    if (r->flag) {
        // The left operand of an infix call is already at the top.
        stack::g_top++;
        if (!typeset::has(function::cache_items(callable->data3), type_of(stack::g_top - 1))) [[unlikely]]
            expect_arg(&r->b, stack::g_top - 1, callable, 0);
        r->index = 1;
    }
    i = r->position;
    goto fetch;
}

argument_done:
    r = g_top - 1;
    if (!typeset::has(function::cache_items(r->a.data3) + r->index, type_of(stack::g_top - 1))) [[unlikely]]
        expect_arg(&r->b, stack::g_top - 1, &r->a, int(r->index));
    r->index++;
    goto fetch;

fetch: {
    // The arguments of the call r from position i.
    REFRESH();
    while (r->index < r->arity) {
        if (i >= B->end) no_arg(&r->b, &r->a, int(r->index));
        int32_t next = g_tracing ? -1 : simple_argument(cells, i, B->end, r->flag);
        if (next < 0) {
            r->position = i;
            entry_top = stack::g_top;
            no_infix = r->flag;
            sub = true;
            if (g_tracing) [[unlikely]] {
                GO_ON_AFTER(eval_expression(Code(&B->a), i, B->end, no_infix, true, false), argument_done);
            }
            goto expression;
        }
        i = next;
        if (!typeset::has(function::cache_items(r->a.data3) + r->index, type_of(stack::g_top - 1))) [[unlikely]]
            expect_arg(&r->b, stack::g_top - 1, &r->a, int(r->index));
        r->index++;
    }
    r->position = i;
    const Cell* callable = &r->a;
    if (r->refined) {
        int32_t slots[MAX_SLOTS];
        int32_t last;
        const Cell* path = type_of(&r->path) == TYPE_NONE ? nullptr : &r->path;
        Next n = leading_refinements(callable, &r->b, Code(&B->a), i, B->end, path, r->end, r->arity, slots, &last);
        LEAVE_ON_EXIT(Exit{n.exit});
        r = g_top - 1;
        r->position = n.position;
        callable = &r->a;
        if (type_of(callable) != TYPE_FUNCTION) {
            LEAVE_ON_EXIT(run_accepting(callable, slots));
            goto entry_done;
        }
        function::init_locals(last);
    } else if (g_tracing) [[unlikely]] {
        trace(TRACE_CALL, &B->a, i, callable, &r->b);
    }
    if (type_of(callable) == TYPE_FUNCTION) {
        Cell body = *function::body_of(callable);
        if (type_of(&body) != TYPE_BLOCK) {
            stack::set_last(&unset::g_unset);
            goto call_done;
        }
        if (g_tracing || (callable->header & function::TRACE_FLAGS)) [[unlikely]] {
            Cell function = *callable, name = r->b;
            LEAVE_ON_EXIT(run_body(&function, &body, &name));
            r = g_top - 1;
            goto call_done;
        }
        // The function context's values are the call's cells while the body
        // runs.
        Cell* context_cell = context::cell_of(callable->data1);
        r->saved = context_cell->data2;
        context_cell->data2 = stack::values_ref(stack::g_arguments);
        r->frame->header |= frames::FRAME_BODY;
        r->phase = PHASE_BODY;
        block_cell = body;
        chain = true;
        entering = BLOCK_BODY;
        goto enter_block;
    }
    Cell* args = stack::g_arguments;
    if (r->arity == 2 && !g_tracing && number_arguments(type_of(callable), callable->data1, args))
        goto call_done;
    LEAVE_ON_EXIT(run_accepting(callable, nullptr));
    goto entry_done;
}

entry_done:
    // A native's entry has ended; a block it handed back runs in its place,
    // its frame kept until the block ends.
    r = g_top - 1;
    if (!g_handed_back) goto call_done;
    g_handed_back = false;
    r->phase = PHASE_BRANCH;
    block_cell = g_handed;
    chain = true;
    entering = BLOCK_BRANCH;
    goto enter_block;

returned:
    // The body of the call on top has ended (normally, or a return or exit
    // landed on it: run_body's end).
    r = g_top - 1;
    if (g_tracing) [[unlikely]] {
        Cell body = *function::body_of(&r->a);
        Cell function = r->a, name = r->b;
        trace_body(TRACE_EPILOG, &body, &function, &name);
        r = g_top - 1;
    }
    r->frame->header &= ~frames::FRAME_BODY;
    context::cell_of(r->a.data1)->data2 = r->saved;
    r->phase = PHASE_FETCH;
    goto call_done;

call_done:
    // The call on top has its result in its first cell: end_call.
    r = g_top - 1;
    if (r->sub) frames::unwind();
    else frames::unwind_last();
    if (g_tracing) [[unlikely]]
        trace(TRACE_RETURN, &B->a, r->position, stack::get_top(), &r->b);
    if (!r->flag) stack::drop_under();
    i = r->position;
    g_top--;
    goto expression_resumed;

exiting:
    // An exit has moved the stacks to its target.
    if (return_code(exit_code)) {
        if (Record* target = return_target(base)) {
            drop_to(target + 1);
            SET_BLOCK(target->outer);
            exits::end_throw();
            // The exit left the result in the call's first cell with the top on it.
            stack::g_top = stack::arguments() + 1;
            goto returned;
        }
    }
    drop_to(base);
    return Exit{exit_code};

#undef TAKE_CELLS
#undef REFRESH
#undef SET_BLOCK
#undef GO_ON_AFTER
#undef LEAVE_ON_EXIT
}

}  // namespace

Exit hand_back(const Cell* block) {
    if (g_accepting != frames::g_frame_top - 1 || g_tracing) return eval_block(block, true);
    g_handed = *block;
    g_handed_back = true;
    g_accepting = nullptr;
    return Exit{};
}

void init_block_loop() { collector::add_mark_callback(mark_records, "the block loop's records"); }

Exit run_block(const Cell* block, int32_t head, int32_t end, bool chain, bool general) {
    if (!g_bottom) [[unlikely]]
        reserve();
    Record* base = g_top;
    frames::CallFrame* accepting = g_accepting;
    bool resume = false;
    for (;;) {
        try {
            return machine(base, block, head, end, general, chain, resume);
        } catch (const exits::ExitThrow& t) {
            g_accepting = accepting;
            Record* target = return_code(t.code) ? return_target(base) : nullptr;
            if (!target) {
                drop_to(base);
                throw;
            }
            drop_to(target + 1);
            exits::end_throw();
            stack::g_top = stack::arguments() + 1;
            resume = true;
        } catch (...) {
            g_accepting = accepting;
            drop_to(base);
            throw;
        }
    }
}

}  // namespace zel::interpreter
