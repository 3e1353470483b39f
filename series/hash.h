// hash!: a block whose cells are indexed by a hash table (kind 0), so that
// find, select, put and the set operations locate values without scanning.
//
// Cell: {header (type 36), head index, node of the cell block, node of the
// table}. The table indexes every cell from the block's first cell,
// whatever the head; cells whose values are equal (equal?, same type) share
// a group. A hash! behaves as a block in every action it has: the block and
// series! handlers it inherits keep its table in step with every change,
// its sort and trim included. Its own handlers make, convert, mold and copy
// it; random, set-path, the arithmetic, logic and parity actions and the
// port actions are refused.
//
// Relies on: the block handlers, hash tables, the string module (molding).
#pragma once

#include "foundation/cell.h"

namespace zel::hash {

// From a number: an empty hash! with room for that many cells (at least
// 1); from a block!: a hash! over a copy of its cells; from a hash!: its
// copy; from anything else: as `to`.
Cell* make(Cell* proto, Cell* spec, int type);
// A hash! is copied; anything else becomes a block as `to block!` makes it,
// then indexed.
Cell* to(Cell* proto, Cell* spec, int type);
// "make hash! " and the cells as a block; with /only the cells alone.
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// A copy from its head at its first cell (no /part, /deep or /types) copies
// the table too; any other copy gets a new table over its cells.
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);

void init();

}  // namespace zel::hash
