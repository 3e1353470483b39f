// Non-local exits: the walks that find each exit's target frame, and the
// report of an error nothing catches. Relies on the frames (frames.h), the
// argument stack, `fire` for the errors of exits without a target, and the
// error! form and output for the report.
#include "interpreter/exits.h"

#include "interpreter/error.h"

#include <climits>
#include <cstdlib>
#include <string>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "interpreter/dispatch.h"
#include "series/string.h"
#include "words/words.h"

namespace zel::exits {

uint32_t g_throw_code = 0;

namespace {
ErrorThrow g_pending_error;

// Index of the nearest frame at or below `start` that `is_target` accepts;
// -1 when the walk reaches past the bottom. A barrier raises `blocked`
// (with `arg`) first. The walk changes nothing, so the stacks are as they
// were when the error is raised.
template <typename Target>
int find_target(int start, Target is_target, ErrorId blocked, const Cell* arg = nullptr) {
    for (int i = start; i >= 0; i--) {
        const frames::CallFrame* f = frames::g_frame_bottom + i;
        if (f->kind() == frames::FRAME_TRY_ALL) fire(blocked, arg);
        if (is_target(f)) return i;
    }
    return -1;
}

// Leaves frame `target` on top and answers its call's own base, which
// becomes stack::arguments() and the top.
Cell* land_on(int target) {
    frames::CallFrame* f = frames::g_frame_bottom + target;
    Cell* base = frames::own_base(f);
    frames::g_frame_top = f + 1;
    stack::g_arguments = stack::g_top = base;
    return base;
}

// The target's result: a copy of the exit's argument, or unset! without one.
void set_result(Cell* result, const Cell* value) {
    if (value)
        copy_cell(value, result);
    else
        cell::set(result, TYPE_UNSET);
}
}  // namespace

const ErrorThrow& pending_error() { return g_pending_error; }

void init_exits() {
    g_pending_error = ErrorThrow{};
    collector::add_mark_callback(
        [] {
            collector::mark_value(&g_pending_error.value);
            collector::mark_values(g_pending_error.args, g_pending_error.args + 3);
            collector::mark_value(&g_pending_error.where);
        },
        "the pending error");
}

void detail::keep_pending_error(const Throw& error) {
    // Only ErrorThrow carries THROW_ERROR: fire and throw_error throw it.
    g_pending_error = static_cast<const ErrorThrow&>(error);
}

void end_throw() {
    g_throw_code = 0;
    frames::g_saved_frame = nullptr;
}

void rethrow(uint32_t code) {
    if (code == THROW_ERROR) throw ErrorThrow(g_pending_error);
    if (fast_code(code)) throw ExitThrow{{code}};
    throw Throw{code};
}

void mark_error_position(Cell* error) {
    Cell* stack = error::field(error, error::FIELD_STACK);
    if (type_of(stack) == TYPE_BLOCK) return;
    cell::set(stack, TYPE_INTEGER, 0, uint32_t(frames::frame_count()));
}

namespace {
// The error on its way is the pending one from the start: C++ code that
// takes it without a catching site (a caller outside every evaluation) can
// still read its values after allocating.
[[noreturn]] void raise_kept(const ErrorThrow& t) {
    detail::keep_pending_error(t);
    throw t;
}
}  // namespace

void throw_error(const Cell* error_in, int argc) {
    if (type_of(error_in) != TYPE_ERROR) fire(ERR_internal_invalid_error, error_in);
    Cell error = *error_in;
    if (frames::frames_empty()) raise_kept(error::in_flight(&error, argc));
    Cell* where = error::field(&error, error::FIELD_WHERE);
    if (type_of(where) == TYPE_NONE) *where = frames::get_call_word();
    mark_error_position(&error);
    Cell* kept = stack::g_top;
    frames::unwind_to_kind(frames::FRAME_TRY, false);
    frames::pop_frame();
    // A full stack gives back its headroom below the top, possibly below the
    // base of the call that now catches: the error never lands under it.
    stack::g_top = kept > stack::g_arguments ? kept : stack::g_arguments;
    int bottom_kind = frames::g_frame_bottom->kind();
    if (frames::frames_empty() && bottom_kind != frames::FRAME_TRY && bottom_kind != frames::FRAME_TRY_ALL) {
        report_uncaught(&error);
    }
    if (stack::g_top < stack::g_end) stack::push(&error);
    raise_kept(error::in_flight(&error, argc));
}

Exit start_break(bool with_value, bool is_continue) {
    Cell* args = stack::g_arguments;
    ErrorId no_loop = is_continue ? ERR_throw_continue : ERR_throw_break;
    int target = find_target(
        frames::frame_count() - 2, [](const frames::CallFrame* f) { return f->kind() == frames::FRAME_LOOP; }, no_loop);
    if (target < 0) fire(no_loop);
    Cell* result = land_on(target);
    set_result(result, with_value && !is_continue ? args : nullptr);
    return Exit{is_continue ? THROW_CONTINUE : THROW_BREAK};
}

Exit start_return(bool is_return, bool top_is_target) {
    Cell* args = stack::g_arguments;
    int target = find_target(
        frames::frame_count() - (top_is_target ? 1 : 2), [](const frames::CallFrame* f) { return f->body(); },
        ERR_throw_return);
    if (target < 0) fire(ERR_throw_return);
    Cell* result = land_on(target);
    set_result(result, is_return ? args : nullptr);
    return Exit{is_return ? THROW_RETURN : THROW_EXIT};
}

void raise_exit(Exit exit) { throw ExitThrow{{exit.code}}; }

bool attempt_run(void (*run)(void*), void* body) {
    Cell* top = stack::g_top;
    Cell* arguments = stack::g_arguments;
    frames::CallFrame* frames = frames::g_frame_top;
    const uint32_t throw_code = g_throw_code;
    frames::CallFrame* const saved_frame = frames::g_saved_frame;
    ErrorThrow pending = g_pending_error;
    gc::root keep_value(&pending.value), keep_args(pending.args, 3), keep_where(&pending.where);
    frames::mark_try(&words::word(words::Word::body));
    uint32_t code = catching(CATCH_TRY, [&] {
        run(body);
        return Exit{};
    });
    if (code != 0 && code != THROW_ERROR) rethrow(code);
    frames::set_frame_top(frames);
    stack::g_arguments = arguments;
    stack::g_top = top;
    g_throw_code = throw_code;
    frames::g_saved_frame = saved_frame;
    g_pending_error = pending;
    return code == 0;
}

void throw_break(bool with_value, bool is_continue) { raise_exit(start_break(with_value, is_continue)); }

void throw_return(bool is_return, bool top_is_target) { raise_exit(start_return(is_return, top_is_target)); }

void throw_value(uint32_t code) {
    Cell* args = stack::g_arguments;
    if (!frames::g_saved_frame) frames::g_saved_frame = frames::g_frame_top;
    int target = find_target(
        frames::frame_count() - 2, [](const frames::CallFrame* f) { return f->kind() == frames::FRAME_CATCH; },
        ERR_throw_throw, args);
    if (target < 0) fire(ERR_throw_throw, args);
    land_on(target);
    stack::push(args);
    stack::push(args + 1);
    throw Throw{code};
}

namespace {
// The error's form in a new string; a failure to form it (the error is
// reported whatever its fields hold) falls back on its category and id.
Cell formed_error(const Cell* error) {
    Cell* text = stack::push_new();
    string::make_at(text, 64);
    if (type_of(error) != TYPE_ERROR) {
        string::append_c_string(text, "*** error raised before start-up made error! values");
        return *text;
    }
    try {
        Cell value = *error;
        dispatch::form(&value, text, INT_MAX);
    } catch (const ErrorThrow&) {
        ErrorThrow e = error::in_flight(error);
        string::make_at(text, 64);
        string::append_c_string(text, (std::string("*** ") + e.category_name() + "/" + e.id_name()).c_str());
    }
    return *text;
}
}  // namespace

void report_uncaught(const Cell* error) {
    Cell value = *error;
    stack::g_arguments = stack::g_bottom;
    stack::g_top = stack::g_bottom + 1;
    *stack::g_arguments = value;
    Cell text = formed_error(&value);
    platform::print_string(&text, true);
    platform::restore_terminal();
    memory::heap_free_all();
    std::exit(-2);
}

}  // namespace zel::exits
