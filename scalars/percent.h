// percent!: a float! shown multiplied by 100 with a "%" sign. The cell holds
// the fraction (50% holds 0.5); every action but form and mold is float!'s.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::percent {

// The cell becomes a percent! holding the fraction (the whole header written).
Cell* make_at(Cell* cell, double fraction);
Cell* box(double fraction);
Cell* push(double fraction);
// The fraction given as the two 32-bit halves of its double.
Cell* make_in(Cell* block, uint32_t high, uint32_t low);

void init();

}  // namespace zel::percent
