// bitset!: a set of non-negative integers, above all a character set for
// searching and parsing.
//
// Cell: {header type 30, unused, node of a unit-1 byte series, unused}.
// Bit n lives in byte n >> 3 at mask 0x80 >> (n & 7): the most significant
// bit of byte 0 is bit 0. A stored bit of 1 is a member. Every bit beyond
// the stored bytes takes the tail value: 1 when the buffer carries
// SERIES_NEGATED (foundation/memory.h), else 0; the flag lives in the
// buffer so that it travels with it (copies, the boot image). The head is
// always the data start, so the stored bytes are the buffer's used bytes.
//
// Every way of naming bits (a char, an integer, a float, a string's
// characters, a block of those with `-` ranges) goes through apply_spec, in
// one of four modes. The bitwise actions and the set natives share
// do_bitwise.
//
// Relies on: memory, the argument stack, the registry, the ownership check
// and fields (series::reflect, series::modify), strings (the text molded
// into, the characters of a spec) and blocks (the items of a spec).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::bitset {

// ---- Bits ---------------------------------------------------------------------------------------

inline bool negated_q(const Series* s) { return (s->flags & SERIES_NEGATED) != 0; }
// The value of every bit beyond the stored bytes, as a byte.
inline uint8_t tail_byte(const Series* s) { return negated_q(s) ? 0xFF : 0x00; }
inline uint8_t bit_mask(int64_t n) { return uint8_t(0x80u >> (n & 7)); }

// Bit n is in the set (bits beyond the stored bytes give the tail value).
// Inline: string searches and parsing test one bit per character.
inline bool has(const Cell* bitset, int64_t n) {
    Series* s = memory::series_of(bitset->data2);
    if (n < 0 || (n >> 3) >= int64_t(s->used())) return negated_q(s);
    return (s->head()[n >> 3] & bit_mask(n)) != 0;
}

// Makes bit n a stored bit: below (n >> 3) + 1 stored bytes, the buffer is
// expanded when its capacity is short and the new bytes take the tail value.
void grow(Cell* bitset, int64_t n);

// ---- Specs --------------------------------------------------------------------------------------

enum Mode : int { MEASURE = 0, SET = 1, TEST = 2, CLEAR = 3 };
// Who walks a spec: the error an unusable value raises (script bad-make-arg
// or bad-to-arg naming bitset! and the value, else invalid-arg).
enum Caller : int { BY_MAKE, BY_TO, BY_OTHER };

// Walks the spec value: a char!, integer! or float! (truncated) names one
// bit, a string! the code point of each character from its index, a block!
// each item from its index by the same rules, where `first - last` of two
// char! or two integer! names the inclusive range. MEASURE answers the bytes
// the highest bit needs (at least 1); SET and CLEAR change the bits (first
// checking the whole spec, then growing the bitset once where the bits
// beyond its bytes do not already have the value asked for) and answer 1;
// TEST answers 1 when every bit named is in the set, stopping at the first
// that is not, else 0.
//
// Errors: a negative bit raises script out-of-range with it (TEST tests it
// as a bit beyond the stored bytes); a range whose end is missing or below
// its start raises past-end, one whose end has another type than its start
// invalid-arg with the end; a binary! raises internal not-done.
int64_t apply_spec(const Cell* spec, Cell* bitset, Mode mode, Caller caller = BY_OTHER);

// ---- Combining ----------------------------------------------------------------------------------

// The action numbers of and~, or~, xor~ and the set natives' op codes (those
// of string::SetOp).
enum Op : int {
    OP_OR = 5, OP_AND = 6, OP_XOR = 7,
    OP_UNIQUE = 8, OP_UNION = 9, OP_INTERSECT = 10, OP_EXCLUDE = 11, OP_DIFFERENCE = 12,
};

// The first and second arguments of the running call are combined byte by
// byte into a new bitset!, which replaces the first argument and is
// answered: OR for or~ and union, AND for and~ and intersect, XOR for xor~
// and difference, first AND NOT second for exclude; unique answers the first
// as it is. A second argument that is not a bitset! raises script
// invalid-type with its datatype.
//
// Bytes beyond the shorter input combine with its tail byte, and the
// result's tail value (its negated flag) is the operation on the two inputs'
// tail values, so every bit of the result is the operation on the inputs'
// bits. The result is as long as the longer input, except for and~ of a
// shorter input that is not negated: it stops at the common length, beyond
// which every bit is 0 anyway.
Cell* do_bitwise(int op);

// The cell becomes a bitset! over a new buffer of `bytes` bytes, each
// `fill`, negated as asked.
Cell* make_at(Cell* cell, int64_t bytes, uint8_t fill, bool negated);

// ---- Handlers -------------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type);
Cell* to(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
int compare(Cell* value1, Cell* value2, int op);
Cell* complement(Cell* value);
Cell* and_t();
Cell* or_t();
Cell* xor_t();
Cell* append(Cell* series, Cell* value, int part, bool only, int dup);
Cell* clear(Cell* value);
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);
int length_q(Cell* series);
// pick and poke take the value as it was given (boxed), not its index.
Cell* pick(Cell* series, int index, Cell* boxed);
Cell* poke(Cell* series, int index, Cell* state, Cell* boxed);
Cell* remove(Cell* series, Cell* part, Cell* key);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify);

void init();

}  // namespace zel::bitset
