// binary!: the byte-string type (parent string!). This module holds the cell
// layout, the byte operations that I/O, checksums, compression and Zelbin
// build binaries with, and the handlers binary! does not inherit from
// string!: to, form, mold, compare, and~, or~, xor~, complement,
// append/insert, change and trim.
//
// Cell: {header type 41, head index in bytes, node of a unit-1 buffer, 0}:
// the string! layout, with bytes for characters; the buffer never widens.
// Length = tail - (offset + head index); a head past the tail counts as the
// tail.
//
// The bytes a value writes into a binary are always taken aside before the
// target changes, so a value sharing the target's buffer (the binary
// itself, or another position of it) reads as it stood before the change.
//
// Relies on: the memory manager, the argument stack, the registry (form of
// other types), the string module (UTF-8 of text, the base-16 decoder),
// the ownership check and the series! handlers (copy).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::binary {

// ---- Reading ------------------------------------------------------------------------------

// Bytes from the head to the tail (a head past the tail counts 0).
int64_t length_q(const Cell* bin);
// The byte at the head; valid until the next allocation.
uint8_t* head(const Cell* bin);
uint8_t* tail(const Cell* bin);
bool tail_q(const Cell* bin);

// ---- Making --------------------------------------------------------------------------------

// The cell becomes an empty binary! over a new buffer of n bytes (16 when n
// is 0), head 0; flags above the type byte are kept.
Cell* make_at(Cell* cell, int64_t n);
// The cell becomes a binary! over the buffer of `node`, head 0, flags kept.
Cell* make_over(Cell* cell, Node node);
// make_at in a new cell at the tail of the block; answers that cell.
Cell* make_in(Cell* block, int64_t n);
// A new binary! holding a copy of the n bytes: in a new cell at the tail of
// the block, or on the argument stack when the block is null.
Cell* load_in(const uint8_t* p, int64_t n, Cell* block);
Cell* load(const uint8_t* p, int64_t n);
// Pushes a copy of the cell on the argument stack.
Cell* push(const Cell* bin);

// ---- Changing ------------------------------------------------------------------------------

// The tail moves to the head: everything after the head goes.
void cut_at_head(Cell* bin);
// Appends n raw bytes (growing the buffer); answers where they were copied.
uint8_t* append_bytes(Cell* bin, const uint8_t* p, int64_t n);
// Inserts n bytes at head + offset (clamped to the tail); a short buffer
// grows to n + twice its capacity. Answers the inserted bytes' address.
uint8_t* insert_bytes(Cell* bin, int64_t offset, const uint8_t* p, int64_t n);
// Copies n bytes over head + offset, growing the buffer (to twice its
// capacity + the excess) when they do not fit; the tail moves only when the
// write ends after it. Answers the written bytes' address.
uint8_t* write_bytes(Cell* bin, int64_t offset, const uint8_t* p, int64_t n);
// The 32-bit integer as 4 bytes, most significant first.
void append_int32_be(int32_t value, Cell* bin);

// ---- Values as bytes ----------------------------------------------------------------------------

// The low byte of an integer! or char!; any other value raises script
// invalid-arg.
void value_to_byte(uint8_t* out, const Cell* value);

// How value_to_bytes treats a value it has no bytes for.
enum BytesMode : int {
    BYTES_COUNT = 0,  // only count (as BYTES_STRICT)
    BYTES_STRICT = 1, // script bad-to-arg
    BYTES_FORMED = 2, // the UTF-8 of its formed text
};
// Writes the bytes of a value at `out` (when not null and the mode is not
// BYTES_COUNT) and answers their count: a char!'s UTF-8, an integer! in
// -128..255 as one byte (else script invalid-arg), a binary!'s bytes, a
// tuple!'s bytes, a text's UTF-8 from its head, a block's items in turn.
// A part limit of 1 or more cuts the bytes of the value (for a block: its
// items, or with `items` its bytes).
int64_t value_to_bytes(uint8_t* out, const Cell* value, int64_t part, bool items, int mode);
// The same into a vector (which it appends to).
void collect_bytes(std::vector<uint8_t>& out, const Cell* value, int64_t part, bool items, int mode);

// Decodes the name of a word (an issue!) as base-16 text into a new binary!
// in `result` (unless count_only) and answers the name's length in bytes;
// undecodable text raises script invalid-data with the word.
int64_t from_hex_word(const Cell* word, Cell* result, bool count_only);

// ---- Comparing and matching -------------------------------------------------------------------

// Raw bytes from the heads, no folding; value2 may be a binary! or any
// string-like value (its code units' bytes). In match mode only value2's
// bytes are compared. -1, 0 or 1; -2 for any other type of value2.
int compare_bytes(const Cell* value1, const Cell* value2, int op, bool match);
// PARSE at the head: the byte is in the bitset (beyond its bits only when
// the bitset is negated).
bool match_bitset_q(const Cell* bin, const Cell* bitset);
// PARSE at the head: a bitset as above, a binary or text by its bytes, a
// char! or integer! by equality with the byte.
bool match_q(const Cell* bin, const Cell* value);

// ---- Handlers ------------------------------------------------------------------------------------

int form(Cell* value, Cell* buffer, int part);
// "#{" and two upper-case hex digits a byte, "}"; more than 30 bytes start on
// a line of their own, 32 to a line, unless flat.
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// The bytes of an image! for `to binary!` (its pixel words as stored), set
// by the image datatype's init.
extern Cell* (*g_image_bytes)(const Cell* image, Cell* result);
int compare(Cell* value1, Cell* value2, int op);
Cell* to(Cell* proto, Cell* spec, int type);
Cell* append(Cell* series, Cell* value, int part, bool only, int dup);
Cell* insert(Cell* series, Cell* value, int part, bool only, int dup);
Cell* change(Cell* series, Cell* value, int part, bool only, int dup);
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);
Cell* complement(Cell* value);

void init();

}  // namespace zel::binary
