// Entry points of modules that are not built yet, which the number types
// already hand work over to. Each raises internal not-done until its module
// exists; that module then replaces the calls to its stand-in here with its
// own entry point and deletes the stand-in.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::not_built {

// ---- Symbols ------------------------------------------------------------------------------

// The UTF-8 spelling of an issue!'s name, `length` bytes.
const uint8_t* issue_name(const Cell* issue, int& length);

}  // namespace zel::not_built
