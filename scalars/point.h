// point2D! and point3D!: small vectors of 32-bit floats held in the cell.
// The two types are one family: point3D! repeats point2D! with a z.
//
// Cells: {header (type 51 or 52), x, y, z (point3D! only; unused for
// point2D!)}, each coordinate an IEEE single.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/cell.h"

namespace zel::point {

// Coordinate i (0 x, 1 y, 2 z) of either point type.
inline float get(const Cell* c, int i) {
    float f;
    std::memcpy(&f, reinterpret_cast<const uint8_t*>(c) + 4 * (i + 1), sizeof f);
    return f;
}
inline void put(Cell* c, int i, float f) {
    std::memcpy(reinterpret_cast<uint8_t*>(c) + 4 * (i + 1), &f, sizeof f);
}

// Coordinates of the type: 2 or 3.
inline int dimensions(int type) { return type == TYPE_POINT3D ? 3 : 2; }

// The coordinate a field word names for a point of the type: 1 x, 2 y,
// 3 z (point3D! only); 0 for any other word.
int field_index(const Cell* word, int type);

// The point math on the first two argument cells, the point on the left:
// each coordinate combined in doubles with the number the right operand
// gives for it (a point of the same type, a pair for a point2D!, an integer
// or a float for all), and stored back as a single. A float factor or
// divisor works on the singles directly.
Cell* do_math(int op);

}  // namespace zel::point

namespace zel::point2d {

// The cell becomes a point2D! (the whole header written).
Cell* make_at(Cell* cell, float x, float y);
Cell* push(float x, float y);
Cell* make_in(Cell* block, float x, float y);

// The compare handler; a pair! value2 compares as a point2D!.
int compare(Cell* value1, Cell* value2, int op);

void init();

}  // namespace zel::point2d

namespace zel::point3d {

// The cell becomes a point3D! (the whole header written).
Cell* make_at(Cell* cell, float x, float y, float z);
Cell* push(float x, float y, float z);
Cell* make_in(Cell* block, float x, float y, float z);

void init();

}  // namespace zel::point3d
