// Non-local exits: errors, break, continue, return, exit and throw.
//
// An exit first moves both stacks to its target (the frames of frames.h),
// then leaves the C++ code as an exception carrying its throw code (Throw,
// error.h); never setjmp/longjmp. A catching site runs its code with
// run_caught under a catch level: codes above the level pass through it
// untouched, a code at or below it stops there. The site then handles the
// code (end_throw) or passes it on (rethrow). What C++ code must put back on
// the way out (a function context's values, the evaluator's code position,
// tracing) it puts back with RAII guards, which run for every exit.
//
// Catch levels in use: loops CATCH_LOOP (break, continue and lower),
// function bodies and try CATCH_TRY, catch CATCH_CATCH, the outermost
// record CATCH_ALL.
#pragma once

#include <cstdint>
#include <type_traits>

#include "foundation/frames.h"
#include "foundation/raise.h"

namespace zel::exits {

// The code the innermost site caught; 0 once handled.
extern uint32_t g_throw_code;
inline uint32_t throw_code() { return g_throw_code; }
// The error last raised or caught, its error! value among it (a collector
// root until the next error is raised). Catching sites take the value from here: C++
// guards that run while the exception travels may move the argument stack's
// top, so the cell throw_error pushed is not always the top one any more.
const ErrorThrow& pending_error();
// Start-up: forgets the pending error (a run-time shut down keeps no value of
// its own for the next) and registers it as a collector root.
void init_exits();

namespace detail {
struct CatchEntry {
    frames::CallFrame* frame_top;
    Cell* arguments;
};
void keep_pending_error(const Throw& error);

// The exit has already moved the stacks to its target. A target inside the
// site (a catch or loop frame pushed by the site's own code) is left on the
// frame stack by the exit: the site drops it and is back at its own base,
// with the payload (a thrown value and its name) still above the top.
inline uint32_t caught(const Throw& t, const CatchEntry& entry) {
    g_throw_code = t.code;
    if (t.code == THROW_ERROR) keep_pending_error(t);
    if (frames::g_frame_top > entry.frame_top) {
        frames::g_frame_top = entry.frame_top;
        stack::g_arguments = entry.arguments;
    }
    return t.code;
}
}  // namespace detail

// Runs `body` under `level`. Answers 0 when the body ended normally, else
// the code it caught (also in throw_code()).
template <typename Body>
uint32_t run_caught(uint32_t level, Body&& body) {
    const detail::CatchEntry entry{frames::g_frame_top, stack::g_arguments};
    try {
        body();
    } catch (const Throw& t) {
        if (!t.caught_by(level)) throw;
        return detail::caught(t, entry);
    }
    return 0;
}

// The site has handled the code: nothing is being thrown any more, and the
// position where a throw began is forgotten.
void end_throw();
// Passes a caught code on, an error with its content.
[[noreturn]] void rethrow(uint32_t code);

// ---- The fast path of break, continue, return and exit --------------------------------
//
// These four exits are frequent (every `return` of a function, every `break`
// of a loop), and a C++ exception costs microseconds. So they do not travel as
// exceptions: the exit native walks to its target frame and moves both stacks
// there at once, exactly as the throwing forms below do (the target's result
// cell holds the value, the frames above it are gone), and then answers an
// Exit carrying the code. Every evaluator entry answers an Exit (or a Next,
// eval.h): each C++ caller on the way back returns at once when it holds a
// non-zero one, without touching the stacks again, putting back only its own
// C++-side state (function context values, the code-position cell: RAII
// guards, which also run for exceptions). The site whose catch level takes the
// code (a loop for break and continue, a function body for return and exit)
// handles it; every other site passes it on by returning it.
//
// Exit is [[nodiscard]]: ignoring one is a compiler warning, so no caller can
// drop an exit by accident. C++ code that runs Zel code and cannot hand an
// Exit back (a comparison inside a sort, a handler deep in C++) turns it into
// the exception form with raise_exit; the stacks are already at the target,
// so the result is the same. Catching sites therefore take codes both ways,
// through `catching`:
//
//     loop frame pushed ...
//     uint32_t code = exits::catching(CATCH_LOOP, [&] { return interpreter::eval_block(&body, true); });
//     if (code == THROW_BREAK) { exits::end_throw(); ... leave the loop }
//     else if (code == THROW_CONTINUE) { exits::end_throw(); ... next iteration }
//     else if (code) return exits::pass_on(code);
//
// Errors and `throw` stay C++ exceptions (throw_error, throw_value).

// The exception form of the fast codes, a type of its own so that the
// sites that take only these codes let errors pass without stopping them.
struct ExitThrow : Throw {};

struct [[nodiscard]] Exit {
    uint32_t code = 0;
    explicit operator bool() const { return code != 0; }
};

// The codes that travel as an Exit.
inline bool fast_code(uint32_t code) { return code >= THROW_EXIT && code <= THROW_BREAK; }

// break (with_value: the first argument of the call is the loop's value) and
// continue: the stacks land on the nearest loop frame. No loop, or a barrier
// first: throw error break or continue.
Exit start_break(bool with_value, bool is_continue);
// return (with its first argument) and exit: the stacks land on the nearest
// function body (the top frame itself when `top_is_target`). None, or a
// barrier first: throw error return.
Exit start_return(bool is_return, bool top_is_target);
// The exception form of an Exit, for C++ code that cannot hand one back.
[[noreturn]] void raise_exit(Exit exit);

// Runs `body` (answering an Exit) under `level` and answers the code that
// ended it: 0 for a normal end, else the code, whether it came back as an
// Exit or as an exception. Codes above the level that come as exceptions go
// on as exceptions; those that come back as an Exit are answered too (the
// site passes them on). A code the level takes is also in throw_code(), and
// when its target was inside the site the site is back at its own base.
template <typename Body>
[[gnu::always_inline]] inline uint32_t catching(uint32_t level, Body&& body) {
    const detail::CatchEntry entry{frames::g_frame_top, stack::g_arguments};
    Exit exit;
    try {
        exit = body();
    } catch (const Throw& t) {
        if (!t.caught_by(level)) throw;
        return detail::caught(t, entry);
    }
    if (exit.code && level >= exit.code) return detail::caught(Throw{exit.code}, entry);
    return exit.code;
}

// Passes on a code a site does not handle: an Exit for the fast codes (the
// caller returns it), the exception for the others.
inline Exit pass_on(uint32_t code) {
    if (!fast_code(code)) rethrow(code);
    return Exit{code};
}

// Raises an error! value: names the failing function in its `where` (when
// none yet), records the frame position in its `stack`, unwinds to the
// nearest try or barrier (which is popped too), pushes the error and throws
// THROW_ERROR. With no try at all the error is reported and the process ends
// with status -2. With no frame at all no evaluation runs: the error goes to
// the C++ caller as it is. `argc`: the number of arguments the raising code
// gave (-1: count them in the error, up to the last that is not none).
[[noreturn]] void throw_error(const Cell* error, int argc = -1);
// break (with its first argument as the loop's value) and continue: to the
// nearest loop frame, whose own base becomes stack::arguments() and the top
// and holds the value (or unset!).
[[noreturn]] void throw_break(bool with_value, bool is_continue);
// return (with its first argument) and exit: to the nearest function body,
// the top frame itself when `top_is_target`.
[[noreturn]] void throw_return(bool is_return, bool top_is_target);
// throw: to the nearest catch frame; the thrown value (first argument) and
// its name cell (second) are pushed at the catch call's own base.
[[noreturn]] void throw_value(uint32_t code);

// Runs C++ `body` under a try frame of its own, for code that must go on
// whatever the body raises (the report of an error, which shows values that
// may not be showable yet): true when the body ended normally; false when
// it raised an error, which is then dropped: the stacks, the throw state and
// the pending error are as they were before. Other codes go on.
bool attempt_run(void (*run)(void*), void* body);
template <typename Body>
bool attempt(Body&& body) {
    using B = std::remove_reference_t<Body>;
    return attempt_run([](void* b) { (*static_cast<B*>(b))(); }, &body);
}

// The error's stack field becomes the frame position, unless it holds a block.
void mark_error_position(Cell* error);
// Prints an error that no try caught (its form, as `print` prints it) and
// ends the process with status -2.
[[noreturn]] void report_uncaught(const Cell* error);

}  // namespace zel::exits
