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
// Pushes a tuple! of `length` bytes held in three payload words.
Cell* push(int length, uint32_t word1, uint32_t word2, uint32_t word3);
// Pushes a tuple! of the integers' low bytes (at most 12); fewer than 3
// padded with zeros (image pixels as tuples).
Cell* push_from_ints(int count, const int32_t* values);
// Up to 12 bytes from a binary!'s head; fewer than 3 padded with zeros.
Cell* from_binary(Cell* binary, Cell* result);
// A colour from an issue!'s hexadecimal name: 3 digits (each d giving the
// byte d x 17), 6 (three bytes) or 8 (four, the last alpha); any other
// length or digit raises script invalid-data with the issue.
Cell* from_issue(Cell* issue, Cell* result);
// r.g.b, or r.g.b.a unless alpha is -1.
Cell* make_rgba(Cell* cell, uint8_t r, uint8_t g, uint8_t b, int alpha);
// Every byte 0 (the zero? native).
bool zero_q(const Cell* tuple);
// Stores one byte (clamped to 0..255) at a 1-based index, or with none
// cuts the tuple before the index (never below three bytes); an index
// outside 1..length raises script out-of-range with the value.
void poke(Cell* tuple, int32_t index, const Cell* value);

// Bytes compared unsigned over the longer length, a missing byte counting as
// 0; -2 when value2 is not a tuple!.
int compare(Cell* value1, Cell* value2, int op);

// The binary actions on the first two argument cells, byte by byte with
// saturation at 0 and 255. A number on the left (integer! or float!
// handing a tuple over) is exchanged with the tuple, except for subtract
// and divide, which raise script not-related.
Cell* do_math(int op);

void init();

}  // namespace zel::tuple
