// Evaluation tracing: the events the evaluator reports to a trace call-back
// (a function! installed by do/trace), and the one flag every hook tests.
//
// Each hook in the evaluator is `if (g_tracing) trace(...)`: evaluation
// without a tracer pays one load and branch per hook. Delivering the events
// to the call-back (its frame, its six arguments, the mask of the events it
// asked for) belongs to the tracing module; until it exists nothing turns the
// flag on and `trace` delivers nothing.
#pragma once

#include <cstdint>

#include "core/cell.h"

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

// Non-zero while events are delivered.
extern bool g_tracing;
// Set while a call-back is installed (a function whose spec says `trace`
// runs traced inside an untraced region only then).
extern bool g_tracer_installed;

// Delivers one event: the code block (or null), the index of the position
// in it (-1 when none), the value and the ref (null when absent).
void trace(uint32_t event, const Cell* code, int32_t position, const Cell* value, const Cell* ref);

inline void trace_if(uint32_t event, const Cell* code, int32_t position, const Cell* value,
                     const Cell* ref = nullptr) {
    if (g_tracing) trace(event, code, position, value, ref);
}

}  // namespace zel::interpreter
