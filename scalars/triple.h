// triple!: three integers that can only be shown.
//
// Cell: {header (type 31), the three signed 32-bit integers in order}.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::triple {

Cell* make_at(Cell* cell, int32_t a, int32_t b, int32_t c);

void init();

}  // namespace zel::triple
