// binary!: the byte-string type. This module holds the cell layout and the
// construction the rest of the run-time needs before the datatype's actions
// exist; the actions and their registration come with the binary! datatype.
//
// Cell: {header type 41, head index in bytes, node of a unit-1 buffer, 0}:
// the string! layout, with bytes for characters; the buffer never widens.
// Length = tail - (offset + head index); a head past the tail counts as the
// tail.
//
// Relies on: the memory manager.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::binary {

// The cell becomes an empty binary! over a new buffer of n bytes (16 when n
// is 0), head 0; flags above the type byte are kept.
Cell* make_at(Cell* cell, int64_t n);
// The cell becomes a binary! over the buffer of `node`, head 0, flags kept.
Cell* make_over(Cell* cell, Node node);

// Bytes from the head to the tail (a head past the tail counts 0).
int64_t length_q(const Cell* bin);
// The byte at the head; valid until the next allocation.
uint8_t* head(const Cell* bin);

}  // namespace zel::binary
