// Entry points of modules that are not built yet, which the number types
// already hand work over to. Each raises internal not-done until its module
// exists; that module then replaces the calls to its stand-in here with its
// own entry point and deletes the stand-in.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::not_built {

// ---- PARSE ---------------------------------------------------------------------------------

// parser/process: the PARSE engine over the input from its head, with the
// comparison mode (0, or 2 for /case), the limit (0: none, else a head index)
// and the trace callback (null: none); answers the match result.
Cell* parser_process(const Cell* input, const Cell* rules, int mode, int32_t limit, const Cell* callback);

// ---- Symbols ------------------------------------------------------------------------------

// The UTF-8 spelling of an issue!'s name, `length` bytes.
const uint8_t* issue_name(const Cell* issue, int& length);

}  // namespace zel::not_built
