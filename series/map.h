// map!: the cell layout and construction the literal syntax "#[...]" needs.
// The datatype's actions (paths, select, put, mold ...) and its registration
// come with the map! datatype; until then maps are made only here.
//
// Cell: {header type 40, head index 0 (moved only while foreach walks the
// map), node of the key/value block, node of the kind-1 hash table over
// its keys}. Pairs are a key cell followed by its value cell, in insertion
// order; a value cell whose header is 0 marks a removed pair.
//
// Relies on: hash tables (kind 1 over the block), the memory manager.
#pragma once

#include <cstdint>

#include "core/cell.h"

namespace zel::map {

// The cell becomes a map! over the block's cells from its head (a new empty
// block of `capacity` cells when `block` is null), with a new table filled
// from its pairs: a key met again takes the later value and the later pair
// leaves the block.
Cell* make_at(Cell* cell, const Cell* block, int capacity);

// Whether values of the type may be keys.
bool valid_key_q(int type);

}  // namespace zel::map
