// Entry points of modules that are not built yet, which the number types
// already hand work over to. Each raises internal not-done until its module
// exists; that module then replaces the calls to its stand-in here with its
// own entry point and deletes the stand-in.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::not_built {

// ---- Math cores of other scalar types, on the first two argument cells ----------------
// Each leaves its result in the first cell.

Cell* pair_do_math(int op);   // pair/do-math, the pair on the left
Cell* point_do_math(int op);  // the point2D!/point3D! core, the point on the left
Cell* tuple_do_math(int op);  // tuple/do-math: exchanges a number left operand itself
Cell* money_do_math(int op);  // money/do-math, either side money!
Cell* date_add();             // date! + integer!, the date moved into the first cell

// ---- Symbols ------------------------------------------------------------------------------

// The UTF-8 spelling of an issue!'s name, `length` bytes.
const uint8_t* issue_name(const Cell* issue, int& length);

}  // namespace zel::not_built
