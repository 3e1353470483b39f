// typeset!: a set of datatypes held inside one cell.
//
// Cell layout (type 33): the three payload words form a 12-byte bit array,
// bytes in memory order from data1. Type id i is bit 0x80 >> (i & 7) of byte
// i >> 3. Bit 0 is never used; ids 1-54 fill bytes 0-6; the other bits stay
// clear except after `complement`. Walks over the set (counting, listing,
// molding) stop at the highest registered type id.
//
// Function specs use typesets for the types an argument accepts; the
// argument cache keeps a kind in header bits 20-21 of its typesets.
//
// Registration: typeset! (no parent) with make and to, form, mold, compare,
// and~, complement, or~, xor~ and find.
//
// Relies on: contexts and words (type blocks name types by words), the
// datatype registry (names), the argument stack (the bitwise actions).
#pragma once

#include <cstddef>

#include <cstdint>

#include "foundation/cell.h"

namespace zel::typeset {

constexpr int BITS = 96;

// The bits run through data1..data3: addressed from the cell, so the
// compiler sees twelve bytes, not one word.
inline const uint8_t* bytes(const Cell* ts) { return reinterpret_cast<const uint8_t*>(ts) + offsetof(Cell, data1); }
inline uint8_t* bytes(Cell* ts) { return reinterpret_cast<uint8_t*>(ts) + offsetof(Cell, data1); }

inline bool has(const Cell* ts, int type) { return (bytes(ts)[type >> 3] & (0x80 >> (type & 7))) != 0; }
inline void include(Cell* ts, int type) { bytes(ts)[type >> 3] |= uint8_t(0x80 >> (type & 7)); }
inline void exclude(Cell* ts, int type) { bytes(ts)[type >> 3] &= uint8_t(~(0x80 >> (type & 7))); }

// An empty typeset in the cell.
Cell* make_at(Cell* target);

// New typesets appended to a block.
Cell* make_in(Cell* block, uint32_t word1, uint32_t word2, uint32_t word3);
// Every type but unset!: an argument with no type block.
Cell* make_default_in(Cell* block);
// From a function spec's type block: datatypes, typesets and words naming
// them; a word naming a word stands for object!; blocks are skipped; anything
// else raises script invalid-type-spec.
Cell* make_from_spec_in(Cell* block, const Cell* types);

// Adds a datatype, or ORs in a typeset; a word stands for its value. Unset
// words raise script no-value, other values script invalid-arg.
void add(Cell* ts, const Cell* value);
// Set bits among ids 1 to the highest registered.
int count(const Cell* ts);
// The cell becomes a block of the datatype name words of the set, in id order.
Cell* to_block(const Cell* ts, Cell* result);

// Bitwise operation codes shared with the set natives.
enum BitwiseOp : int {
    OP_OR = 5, OP_AND = 6, OP_XOR = 7, OP_UNIQUE = 8,
    OP_UNION = 9, OP_INTERSECT = 10, OP_EXCLUDE = 11, OP_DIFFERENCE = 12,
};
// The first argument cell combined with the second (a typeset, or a datatype
// standing for the set of that one type; anything else raises script
// invalid-arg); the result replaces the first argument.
Cell* do_bitwise(int op);

Cell* make(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
int compare(Cell* value1, Cell* value2, int op);
Cell* complement(Cell* value);
void init();

}  // namespace zel::typeset
