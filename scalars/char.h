// char!: one Unicode code point, kept where integer! keeps its number so
// that the integer helpers read it too (its parent is integer!).
//
// Cell: {header (type 10), unused, the code point 0..0x10FFFF, unused}.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::char_ {

constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;

inline uint32_t get(const Cell* c) { return c->data2; }

// The cell becomes a char! (the whole header written).
Cell* make_at(Cell* cell, uint32_t cp);
Cell* push(uint32_t cp);
Cell* make_in(Cell* block, uint32_t cp);

// The binary actions on the first two argument cells, the left a char!:
// the integer core with an integer!, char! or float! (truncated) operand,
// the result staying a char!; a vector! operand is changed element by
// element with the code point and replaces the first cell.
Cell* do_math(int op);

void init();

}  // namespace zel::char_
