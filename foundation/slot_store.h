// The value-slot store: a small table of cells addressed by 1-based
// integer index, for code that must hand a value to C++ state and find it
// again by number.
//
// The slots are the cells of one block (a collector root that init
// registers), CAPACITY to begin with, doubling when full. A free slot is an
// integer! holding the index of the next free slot (-1 for the last); the
// free list's head is the slot a put takes, so the slot released last is
// used first.
//
// Relies on: memory (the block's buffer), the collector (its root).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::slot_store {

constexpr int32_t CAPACITY = 100;

// Start-up, after the evaluator: the store block with every slot free.
void init();
Node block();
int32_t capacity();

// Stores a copy of the value and answers its index (1-based).
int32_t put(const Cell* value);
// The slot's cell, or null for an index outside the store; valid until the
// next put.
Cell* get(int32_t index);
// The slot becomes free (0, and any index outside the store, is ignored).
void release(int32_t index);

}  // namespace zel::slot_store
