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

// The component a word names for pick: 1 for x, 2 for y; any other word
// raises script cannot-use with the word and the pair.
int component_index(const Cell* word, const Cell* pair);

// The pair math on the first two argument cells, the pair on the left: the
// right operand decides how (an integer or a truncated float for both
// components, a pair component by component), and a component that
// overflows, an inexact quotient, a float factor or divisor, or a point
// operand continue as point2D! math.
Cell* do_math(int op);

void init();

}  // namespace zel::pair
