// vector!: a series of fixed-width numbers or characters stored unboxed,
// made from a spec block and molded back to one, compared element-wise and
// combined element-wise with a scalar (in place) or another vector (into a
// new buffer).
//
// Cell: {header (type 35), head index in elements, node of a byte series
// whose unit is the element size, element type id}. Element types and
// sizes: char! and integer! of 1, 2 or 4 bytes, float! of 4 or 8, percent!
// of 8 (4 is read too). Elements are little-endian. Integer elements are
// signed; char! elements are code points, so 8- and 16-bit ones read
// zero-extended. A 4-byte float is an IEEE single, widened when read and
// rounded when written; a percent is stored as its fraction (50% as 0.5).
//
// Position, pick, poke, copy, take, find, sort and the other series actions
// come from series! and string!, which read and write elements through the
// functions below.
//
// Relies on: memory, the argument stack, the registry, the ownership check
// (change), the number types (their text, their math cores, the checked
// float-to-integer conversion), the string module (the text molded into).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::vector {

// char!, integer!, float! or percent!.
bool element_type_q(int type);

// ---- Elements --------------------------------------------------------------------------------

// The element at p as a value of the element type. A unit the type cannot
// have is a fault of the run-time itself (run-time error 101).
Cell get_value(const uint8_t* p, int unit, int type);
// The element at p as a number: integers signed, code points unsigned,
// floats widened.
double element_number(const uint8_t* p, int unit, int type);
// Writes a char! or integer! value's low unit bytes, or a float! or
// percent! value as a double (unit 8) or a single. Any other value raises
// script invalid-type with its datatype.
void set_value(uint8_t* p, const Cell* value, int unit);
// Element i counted from the buffer's first unit in use.
Cell element_at(const Cell* vector, int64_t i);
// Script invalid-arg with the value unless its type is the element type.
void check_value(const Cell* vector, const Cell* value);

// One element added at the tail, of exactly the element type.
void append_value(Cell* vector, const Cell* value);
// append_value for each cell of the block from its head.
void append_block(Cell* vector, const Cell* block);
// A block! of the elements from the head, one value each; answers result.
Cell* to_block(const Cell* vector, Cell* result);

// An empty vector with room for count elements of `unit` bytes; a size
// beyond 32 bits raises internal no-memory.
Cell* make_at(Cell* cell, int64_t count, int type, int unit);

// The elements from the head, one space apart, as mold (chars as #"c") or
// form (chars in mold notation without the quotes) writes them; stops when
// the part budget is below 1. Answers what remains of it.
int mold_values(const Cell* vector, Cell* buffer, bool all, int part, bool mold);

// ---- Handlers ----------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
int compare(Cell* value1, Cell* value2, int op);

// vector_modify.cpp. part: -1, or the most values of a block to add (for
// change, the elements replaced); dup: the times (>= 1). append leaves the
// head where it was, insert and change just after what they wrote.
Cell* append(Cell* series, Cell* value, int part, bool only, int dup);
Cell* insert(Cell* series, Cell* value, int part, bool only, int dup);
Cell* change(Cell* series, Cell* value, int part, bool only, int dup);

// vector_math.cpp. The binary actions on the argument cells, the vector
// first: with a vector, a new one of the shorter length and the larger
// element size; with a scalar, the vector changed in place.
Cell* do_math(int op);
// Every element of the vector combined with the scalar, in place (integer
// results wrap at 32 bits, then keep the element's width); the vector then
// replaces the first argument cell. `scalar_left` when the scalar was the
// left operand (integer! or float! arithmetic handing a vector over).
Cell* do_math_scalar(int op, Cell* vector, Cell* scalar, bool scalar_left);

void init();

}  // namespace zel::vector
