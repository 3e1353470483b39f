// Evaluation tracing: the events the evaluator reports to a trace call-back
// (a function! installed by do/trace), and the one flag every hook tests.
//
// Each hook in the evaluator is `if (g_tracing) trace(...)`: evaluation
// without a tracer pays one load and branch per hook. `trace` first tests the
// event against the mask of events the call-back asked for, then calls it
// with six arguments: the event word, the code block (or none), the index of
// the position in it (-1 when there is none or it lies outside the block),
// the value (or none), the ref (the word or path of a call, set, prolog or
// epilog, or none) and the frame, a pair! of the argument-stack indexes of
// the running call's base and of the top. The call-back runs untraced, on
// top of the stacks, which are as they were afterwards.
//
// A call-back chooses its events by an event block: the first value of its
// spec when that is a block, else the first value of its body when that is a
// block (function::event_block); with neither it takes every event.
//
// The library's own code (blocks of the boot image, and the bodies of the
// functions made from them) sends no events from inside: a library function
// shows only its own call (open, call, return, and the prolog and epilog of
// its body when the caller is not library code itself), as a native does.
//
// An error, throw, break, continue, return or exit that escapes the
// call-back goes on from the point where the event was fired.
//
// Relies on: the call machinery (the call-back's cells and body), the
// stacks, the predefined event words.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::interpreter {

enum TraceEvent : uint32_t {
    TRACE_INIT = 1,
    TRACE_END = 2,
    TRACE_PROLOG = 4,
    TRACE_EPILOG = 8,
    TRACE_ENTER = 16,
    TRACE_EXIT = 32,
    TRACE_OPEN = 64,
    TRACE_RETURN = 128,
    TRACE_FETCH = 256,
    TRACE_PUSH = 512,
    TRACE_SET = 1024,
    TRACE_CALL = 2048,
    TRACE_ERROR = 4096,
    TRACE_THROW = 8192,
    TRACE_CATCH = 16384,
    TRACE_EXPR = 32768,
};
constexpr uint32_t TRACE_ALL = 0x0001FFFF;

// Non-zero while events are delivered.
extern bool g_tracing;
// Set while a call-back is installed (a function whose spec says `trace`
// runs traced inside an untraced region only then).
extern bool g_tracer_installed;

// Pauses (false) or resumes (true) the events of the trace run in progress;
// with no run in progress tracing stays off.
inline void set_tracing(bool on) { g_tracing = on && g_tracer_installed; }

// Delivers one event: the code block (or null), the position in it (a cell
// index counted from its buffer's first cell, like a block's head), the
// value and the ref (null when absent).
void trace(uint32_t event, const Cell* code, int32_t position, const Cell* value, const Cell* ref);

inline void trace_if(uint32_t event, const Cell* code, int32_t position, const Cell* value,
                     const Cell* ref = nullptr) {
    if (g_tracing) trace(event, code, position, value, ref);
}

// The installed call-back, unset while there is none: a collector root,
// registered by init_trace at start-up.
const Cell& trace_callback();
void init_trace();

// The events a call-back takes: the bits of the event words of its event
// block, or every event.
uint32_t trace_mask(const Cell* callback);

// do/trace: when no call-back is installed, installs this one and turns
// tracing on; answers whether it installed it. A call-back already installed
// stays. Then trace_init sends `init` with the code about to run.
bool install_tracer(const Cell* callback);
inline void trace_init(const Cell* code) { trace_if(TRACE_INIT, code, int32_t(code->data1), nullptr); }
// Sends `end` and removes the call-back; tracing is off again. The pending
// throw code is put aside while `end` runs. An exit caught on its way
// (return, exit, break) left its result in the cell at the top, above the
// stack's last value: with `result_at_top` the end event's cells go above it
// and it stays reachable while they live.
void remove_tracer(const Cell* code, bool result_at_top = false);


}  // namespace zel::interpreter
