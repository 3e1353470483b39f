// Call frames: one record per running call, on a stack of its own beside the
// argument stack. A record names the call (the symbol and context of its
// word), remembers the caller's argument base, and by its kind tells the
// non-local exits (exits.h) where they stop: loops for break and continue,
// function bodies for return and exit, catch for throw, try for errors, and
// barriers (try/all, the console's evaluation) that nothing crosses.
//
// Records are plain C++ structs in a fixed series of CALL_FRAMES; they keep
// the whole 32-bit symbol id. The frames are collector roots (mark_frames);
// they hold nodes, never pointers into series buffers.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/stack.h"

namespace zel::frames {

// Reserved like the argument stack (stack.h). Sanitizer builds hold about
// as many as their recursion reached when it ran on the native stack: every
// collection marks every record, and their tests run with collections at
// short intervals.
#if defined(ZEL_SANITIZE)
constexpr int CALL_FRAMES = 1 << 13;
#else
constexpr int CALL_FRAMES = 1 << 20;
#endif

enum FrameKind : uint32_t {
    FRAME_FUNCTION = 1,  // call of a function!
    FRAME_NATIVE = 2,    // call of a native, action or routine
    FRAME_TRY = 4,
    FRAME_TRY_ALL = 5,  // barrier: no break, continue, return, exit or throw crosses it
    FRAME_CATCH = 6,
    FRAME_EVAL = 7,  // a block evaluated by the evaluator
    FRAME_LOOP = 8,  // target of break and continue
};

// Frame header: the kind in bits 24-27, and two flags.
constexpr uint32_t FRAME_KIND_SHIFT = 24;
constexpr uint32_t FRAME_KIND_MASK = 0x0F000000;
constexpr uint32_t FRAME_BODY = 0x10000000;    // a function body: target of return and exit
constexpr uint32_t FRAME_INTERP = 0x80000000;  // pushed by the evaluator

struct CallFrame {
    uint32_t header;
    uint32_t symbol;        // the word naming the call
    Cell* saved_base;       // stack::arguments() when pushed: the caller's base
    Cell* base;             // the call's own base: the argument top when pushed
    Node word_context;      // context of that word
    Node function_context;  // 0, or a function context whose values word the pop restores
    uint32_t saved_values;  // that context's values word before the call

    int kind() const { return int((header & FRAME_KIND_MASK) >> FRAME_KIND_SHIFT); }
    bool body() const { return (header & FRAME_BODY) != 0; }
    bool interpreted() const { return (header & FRAME_INTERP) != 0; }
};

extern CallFrame* g_frame_bottom;
extern CallFrame* g_frame_top;  // next free record
extern CallFrame* g_frame_end;
// Where a throw began (the frame top then), so that the thrower can still
// be named after unwinding; null when unset.
extern CallFrame* g_saved_frame;

// The records live in a fixed series of the root block (root.h), which never
// moves: room for CALL_FRAMES records.
constexpr int64_t frame_bytes() { return int64_t(CALL_FRAMES) * int64_t(sizeof(CallFrame)); }
void init_frames(Node frames);

// The symbols of `<body>` and `<anon>`, the names of frames that no walker
// reports (blocks and parens; calls with no word), the symbol of `self`
// (mark_frames marks the word context of a frame it names as a block), and
// the global context, which collect_calls makes words in for frames without
// a function context. Set by the run-time init once the words exist.
void set_frame_names(uint32_t body_symbol, uint32_t anon_symbol, uint32_t self_symbol);
void set_global_context(Node context);
bool is_unnamed(const CallFrame* frame);

// Whether the word {context, symbol} holds a function! in that context: the
// words layer's answer, which it registers when it makes the global context
// (list_calls asks it at depth 1, and ends the process when none is set).
// Answers the test it replaces.
using FunctionTest = bool (*)(Node context, uint32_t symbol);
FunctionTest set_function_test(FunctionTest test);

inline bool frames_empty() { return g_frame_top == g_frame_bottom; }
inline int frame_count() { return int(g_frame_top - g_frame_bottom); }
inline CallFrame* top_frame() { return g_frame_top - 1; }
// Restores the frame top, after a call-back.
inline void set_frame_top(CallFrame* frame) { g_frame_top = frame; }
// The base of the call `frame` belongs to. Kept in the record: blocks and
// parens move stack::arguments() while they run without a record of their
// own, so neither the current base nor the base the record above saved
// need be the call's.
inline Cell* own_base(const CallFrame* frame) { return frame->base; }

// The values word of a context: its values node, or, while a function's call
// runs, the stack::values_ref of its first argument cell. It is payload word
// 2 of the context cell (cell 0 of the context node).
inline uint32_t& context_values(Node context) { return memory::series_of(context)->cells()->data2; }

// ---- Pushing ------------------------------------------------------------------

// The common push: records the word and the caller's base, then the call's
// own base starts at the top. A full frame stack gives back
// OVERFLOW_HEADROOM argument cells and raises internal stack-overflow.
[[noreturn]] void frame_overflow();
inline CallFrame* mark(const Cell* word, uint32_t header) {
    if (g_frame_top >= g_frame_end) [[unlikely]]
        frame_overflow();
    CallFrame* f = g_frame_top++;
    f->header = header;
    f->symbol = word->data2;
    f->saved_base = stack::g_arguments;
    f->word_context = word->data1;
    f->function_context = 0;
    f->saved_values = 0;
    stack::g_arguments = f->base = stack::g_top;
    return f;
}
// A function call; with a context, its values word is restored on pop.
CallFrame* mark_func(const Cell* word, Node function_context = 0);
inline CallFrame* mark_native(const Cell* word) { return mark(word, FRAME_NATIVE << FRAME_KIND_SHIFT); }
inline CallFrame* mark_try(const Cell* word) { return mark(word, FRAME_TRY << FRAME_KIND_SHIFT); }
inline CallFrame* mark_try_all(const Cell* word) { return mark(word, FRAME_TRY_ALL << FRAME_KIND_SHIFT); }
inline CallFrame* mark_catch(const Cell* word) { return mark(word, FRAME_CATCH << FRAME_KIND_SHIFT); }
inline CallFrame* mark_loop(const Cell* word) { return mark(word, FRAME_LOOP << FRAME_KIND_SHIFT); }
inline CallFrame* mark_eval(const Cell* word) { return mark(word, FRAME_EVAL << FRAME_KIND_SHIFT | FRAME_INTERP); }
inline CallFrame* mark_interp_native(const Cell* word) {
    return mark(word, FRAME_NATIVE << FRAME_KIND_SHIFT | FRAME_INTERP);
}
inline CallFrame* mark_interp_func(const Cell* word) {
    return mark(word, FRAME_FUNCTION << FRAME_KIND_SHIFT | FRAME_INTERP);
}

void set_body_flag(bool on);
void set_interp_flag();
// The frame below the top one becomes a function body, unless it already is
// or no function body lies below it before a barrier (then null).
CallFrame* claim_body_flag();
void clear_body_flag(CallFrame* frame);

// ---- Popping: each pops exactly the top frame ----------------------------------
//
//                      argument top      stack::arguments()  function context
//  pop_frame           the call's base   saved base (1)      restored (kind 1)
//  unwind              base + 1          saved base
//  unwind_func         base + 1          saved base          restored
//  unwind_func_reset   saved base        saved base          restored
//  unwind_reset        saved base        saved base
//  unwind_last         base + 1          saved base          (result copied to the caller's)
//  unwind_func_last    base + 1          saved base          restored (result copied)
//
// (1) when the frame stack becomes empty, both are the bottom.

void pop_frame();
inline void unwind() {
    const CallFrame* f = --g_frame_top;
    stack::g_top = stack::g_arguments + 1;
    stack::g_arguments = f->saved_base;
}
void unwind_func();
void unwind_func_reset();
void unwind_reset();
inline Cell* unwind_last() {
    Cell* result = stack::g_arguments;
    unwind();
    return copy_cell(result, stack::g_arguments);
}
Cell* unwind_func_last();

// Pops frames, restoring the function contexts of kind-1 frames, down to the
// nearest frame of `kind`, a barrier (kind 5) or the bottom frame, which
// stays. Then: when only that frame was there and `keep` is set, the call
// keeps only its result cell; without `keep` at the bottom frame both
// pointers are the bottom; otherwise the top is the entry base + 1 and
// stack::arguments() the found call's own base (keep) or its caller's base.
// Answers the found frame. Nothing happens on an empty frame stack (null).
CallFrame* unwind_to_kind(int kind, bool keep);
// unwind_to_kind without keep, then the entry result cell is copied to the
// found call's own base, which becomes both stack::arguments() and the top.
void unwind_to(int kind);

// ---- Queries --------------------------------------------------------------------

// The word naming the running function: from the saved frame position when
// set (which it clears), else from the top, the first frame not named
// <body> or <anon>; none below the bottom. The word is {context, symbol, -1}.
Cell get_call_word();
// True when a frame below `frame` (null: below the top frame) was pushed by
// the evaluator; with `single`, only the frame just below is looked at.
bool eval_q(const CallFrame* frame, bool single);
// Appends, from the top down to (not including) the bottom frame, each named
// frame's word, made in its function context (the global context when it has
// none), and its saved base as an integer! index from the bottom.
void collect_calls(const Cell* block);
// Appends, from the bottom up to the frame position `position` (no further
// than the current top), the word of each named frame whose value in its
// word's context is a function!, or of every named frame when depth > 1.
void list_calls(int depth, const Cell* block, int position);

// The collector's roots in the frames: word contexts (marked as a block when
// the frame's symbol is `self`), function contexts, and their saved values
// nodes (unless the context keeps its values on the argument stack).
struct FrameMarker {
    void (*mark_block)(Node node);
    void (*mark_context)(Node node);
};
void mark_frames(const FrameMarker& marker);

}  // namespace zel::frames
