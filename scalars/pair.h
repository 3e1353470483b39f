// pair!: a two-dimensional integer coordinate or size written XxY.
//
// Cell: {header (type 37), unused, x (signed 32-bit), y (signed 32-bit)}.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::pair {

inline int32_t x_of(const Cell* c) { return int32_t(c->data2); }
inline int32_t y_of(const Cell* c) { return int32_t(c->data3); }

// The cell becomes a pair! (the whole header written).
Cell* make_at(Cell* cell, int32_t x, int32_t y);
Cell* push(int32_t x, int32_t y);
Cell* make_in(Cell* block, int32_t x, int32_t y);
// The pair in the cell becomes the point2D! of the same coordinates.
Cell* to_point(Cell* cell);

void init();

}  // namespace zel::pair
