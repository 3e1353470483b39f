// tuple!: 3 to 12 unsigned bytes written with dots (255.128.0, 1.2.3.4),
// held wholly in the cell.
//
// Cell: the header holds the type (39) and the length in bits 19-22; the
// bytes fill payload bytes 4..15 (payload words 1-3) from the first, those
// past the length 0.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::tuple {

constexpr int MIN_LENGTH = 3;
constexpr int MAX_LENGTH = 12;
constexpr int LENGTH_SHIFT = 19;
constexpr uint32_t LENGTH_MASK = 0xFu << LENGTH_SHIFT;

inline int length_of(const Cell* c) { return int((c->header & LENGTH_MASK) >> LENGTH_SHIFT); }
inline const uint8_t* bytes_of(const Cell* c) {
    return reinterpret_cast<const uint8_t*>(&c->data1);
}
inline uint8_t* bytes_of(Cell* c) { return reinterpret_cast<uint8_t*>(&c->data1); }

// The cell becomes a tuple! of the first `count` bytes (count 3..12; the
// whole header written).
Cell* make_at(Cell* cell, const uint8_t* bytes, int count);
// Up to 12 bytes from a binary!'s head; fewer than 3 padded with zeros.
Cell* from_binary(Cell* binary, Cell* result);

// Bytes compared unsigned over the longer length, a missing byte counting as
// 0; -2 when value2 is not a tuple!.
int compare(Cell* value1, Cell* value2, int op);

void init();

}  // namespace zel::tuple
