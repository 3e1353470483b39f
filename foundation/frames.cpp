// Call frames: pushing, popping, unwinding to a kind, and the call-stack
// queries of error reports. Relies on the argument stack (stack.h), on
// `fire` for the overflow error, and on the function test the words layer
// registers (set_function_test).
#include "foundation/frames.h"

#include "foundation/platform.h"
#include "foundation/raise.h"

namespace zel::frames {

namespace {
uint32_t g_body_symbol = 0;
uint32_t g_anon_symbol = 0;
uint32_t g_self_symbol = 0;
Node g_global_context = 0;
FunctionTest g_function_test = nullptr;

void restore_context(const CallFrame* frame) {
    if (frame->function_context) context_values(frame->function_context) = frame->saved_values;
}

Cell word_cell(Node context, uint32_t symbol) {
    Cell w;
    cell::set(&w, TYPE_WORD, context, symbol, uint32_t(-1));
    return w;
}

// Whether the frame's word, looked up in its own context, holds a function!.
bool names_function(const CallFrame* frame) {
    if (frame->word_context == 0) return false;
    if (!g_function_test) platform::missing_hook("the function test of the call list");
    return g_function_test(frame->word_context, frame->symbol);
}
}  // namespace

void frame_overflow() {
    stack::g_top = stack::g_top - stack::g_bottom > stack::OVERFLOW_HEADROOM ? stack::g_top - stack::OVERFLOW_HEADROOM : stack::g_bottom;
    cell::cycle_reset();
    fire(ERR_internal_stack_overflow);
}

CallFrame* g_frame_bottom = nullptr;
CallFrame* g_frame_top = nullptr;
CallFrame* g_frame_end = nullptr;
CallFrame* g_saved_frame = nullptr;

void init_frames(Node frames) {
    g_frame_bottom = g_frame_top = reinterpret_cast<CallFrame*>(memory::series_of(frames)->data());
    g_frame_end = g_frame_bottom + CALL_FRAMES;
    g_saved_frame = nullptr;
}

void set_frame_names(uint32_t body_symbol, uint32_t anon_symbol, uint32_t self_symbol) {
    g_body_symbol = body_symbol;
    g_anon_symbol = anon_symbol;
    g_self_symbol = self_symbol;
}

FunctionTest set_function_test(FunctionTest test) {
    FunctionTest previous = g_function_test;
    g_function_test = test;
    return previous;
}

void set_global_context(Node context) { g_global_context = context; }

bool is_unnamed(const CallFrame* frame) {
    return frame->symbol == g_body_symbol || frame->symbol == g_anon_symbol;
}

// ---- Pushing ------------------------------------------------------------------------

CallFrame* mark_func(const Cell* word, Node function_context) {
    CallFrame* f = mark(word, FRAME_FUNCTION << FRAME_KIND_SHIFT);
    if (function_context) {
        f->function_context = function_context;
        f->saved_values = context_values(function_context);
    }
    return f;
}

void set_body_flag(bool on) {
    uint32_t& header = top_frame()->header;
    header = on ? header | FRAME_BODY : header & ~FRAME_BODY;
}

void set_interp_flag() { top_frame()->header |= FRAME_INTERP; }

CallFrame* claim_body_flag() {
    CallFrame* f = g_frame_top - 2;
    if (f->body()) return nullptr;
    // Only a return that has a body to reach stops at the claimed frame on
    // its way: one that has none (or meets a barrier first) raises its error
    // where it stands, as it does untraced.
    for (CallFrame* below = f + 1; below-- > g_frame_bottom;) {
        if (below->kind() == FRAME_TRY_ALL) return nullptr;
        if (below != f && below->body()) {
            f->header |= FRAME_BODY;
            return f;
        }
    }
    return nullptr;
}

void clear_body_flag(CallFrame* frame) { frame->header &= ~FRAME_BODY; }

// ---- Popping --------------------------------------------------------------------------

void pop_frame() {
    const CallFrame* f = --g_frame_top;
    stack::g_top = stack::g_arguments;
    stack::g_arguments = f->saved_base;
    if (g_frame_top == g_frame_bottom) stack::g_arguments = stack::g_top = stack::g_bottom;
    restore_context(f);
}

void unwind_func() {
    restore_context(top_frame());
    unwind();
}

void unwind_func_reset() {
    const CallFrame* f = --g_frame_top;
    stack::g_arguments = stack::g_top = f->saved_base;
    restore_context(f);
}

void unwind_reset() {
    const CallFrame* f = --g_frame_top;
    stack::g_arguments = stack::g_top = f->saved_base;
}

Cell* unwind_func_last() {
    Cell* result = stack::g_arguments;
    unwind_func();
    return copy_cell(result, stack::g_arguments);
}

CallFrame* unwind_to_kind(int kind, bool keep) {
    if (frames_empty()) return nullptr;
    CallFrame* f = top_frame();
    while (f > g_frame_bottom && f->kind() != kind && f->kind() != FRAME_TRY_ALL) {
        restore_context(f);
        f--;
    }
    bool popped_none = f == top_frame();
    Cell* above_base = own_base(f);
    g_frame_top = f + 1;
    if (popped_none && keep) {
        stack::g_top = stack::g_arguments + 1;
    } else if (!keep && f == g_frame_bottom) {
        stack::g_arguments = stack::g_top = stack::g_bottom;
    } else {
        stack::g_top = stack::g_arguments + 1;
        stack::g_arguments = keep ? above_base : f->saved_base;
    }
    return f;
}

void unwind_to(int kind) {
    Cell* result = stack::g_arguments;
    const CallFrame* old_top = g_frame_top;
    CallFrame* f = unwind_to_kind(kind, false);
    if (!f) return;
    Cell* own = f + 1 < old_top ? f[1].saved_base : result;
    copy_cell(result, own);
    stack::g_arguments = stack::g_top = own;
}

// ---- Queries ----------------------------------------------------------------------------

Cell get_call_word() {
    int i = int((g_saved_frame ? g_saved_frame : g_frame_top) - g_frame_bottom) - 1;
    g_saved_frame = nullptr;
    while (i >= 0 && is_unnamed(g_frame_bottom + i)) i--;
    if (i < 0) {
        Cell none;
        cell::set(&none, TYPE_NONE);
        return none;
    }
    return word_cell(g_frame_bottom[i].word_context, g_frame_bottom[i].symbol);
}

bool eval_q(const CallFrame* frame, bool single) {
    int start = frame ? int(frame - g_frame_bottom) : frame_count() - 1;
    for (int i = start - 1; i >= 0; i--) {
        if (g_frame_bottom[i].interpreted()) return true;
        if (single) return false;
    }
    return false;
}

void collect_calls(const Cell* block) {
    for (const CallFrame* f = top_frame(); f > g_frame_bottom; f--) {
        if (is_unnamed(f)) continue;
        Node context = f->function_context ? f->function_context : g_global_context;
        *cell::alloc_tail(block) = word_cell(context, f->symbol);
        cell::set(cell::alloc_tail(block), TYPE_INTEGER, 0, uint32_t(f->saved_base - stack::g_bottom));
    }
}

void list_calls(int depth, const Cell* block, int position) {
    // The position comes from an error's stack field, kept since the error was
    // raised (and settable by scripts): the frames above the current top are
    // gone or reused, so the walk stops there.
    if (position < 0) position = 0;
    if (position > frame_count()) position = frame_count();
    const CallFrame* end = g_frame_bottom + position;
    for (const CallFrame* f = g_frame_bottom; f < end; f++) {
        if (is_unnamed(f)) continue;
        if (depth > 1 || names_function(f))
            *cell::alloc_tail(block) = word_cell(f->word_context, f->symbol);
    }
}

void mark_frames(const FrameMarker& marker) {
    for (const CallFrame* f = g_frame_bottom; f < g_frame_top; f++) {
        if (f->word_context) {
            auto mark = f->symbol == g_self_symbol ? marker.mark_block : marker.mark_context;
            mark(f->word_context);
        }
        if (Node context = f->function_context) {
            marker.mark_context(context);
            bool on_stack = memory::series_of(context)->cells()->header & FLAG_CTX_ON_STACK;
            if (!on_stack && f->saved_values) marker.mark_block(f->saved_values);
        }
    }
}

}  // namespace zel::frames
