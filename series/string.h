// string!: the text type, and the low-level text operations the whole
// run-time builds text with.
//
// A string value is a cell {header, head index, node, conversion node}:
// the head index counts units from the buffer's first unit in use (not
// bytes, and it may lie past the tail: each operation clamps it as it
// says); the node leads to the text buffer; the fourth word belongs to
// the unicode module. file!, url!, tag!, email! and ref! share the layout,
// and binary! and vector! keep their own data the same way.
//
// The buffer stores one character per unit of 1, 2 or 4 bytes
// (little-endian), one width for the whole buffer. A character that does
// not fit widens the whole buffer. Appending keeps unit 1 for 0-0x7F only;
// storing at a position keeps it for 0-0xFF. A buffer never narrows except
// when reset.
//
// Every operation that may widen or expand a buffer answers the buffer to
// use afterwards; continue with it, never with the old one. Operations that
// name a place in a buffer take a unit index counted from the buffer's
// first unit in use, never an address, so the place survives widening and
// expansion.
//
// Relies on the memory manager, the unicode module for encoding and
// widening, the argument stack and the datatype registry (form handlers of
// other types, through `to`).
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::string {

// ---- Units ------------------------------------------------------------------------------

inline Series* buffer_of(const Cell* str) { return memory::series_of(str->data2); }

// The code point stored at p.
inline uint32_t get_char(const uint8_t* p, int unit) { return memory::unit_value(p, unit); }

// Stores cp at p; the caller has made sure that it fits the unit.
inline void put_char(uint8_t* p, int unit, uint32_t cp) {
    switch (unit) {
        case 1: *p = uint8_t(cp); break;
        case 2: {
            uint16_t u = uint16_t(cp);
            std::memcpy(p, &u, 2);
            break;
        }
        default: std::memcpy(p, &cp, 4); break;
    }
}

// ---- Reading ------------------------------------------------------------------------------

// Characters from the head to the tail; a head past the tail counts as 0.
int length_q(const Cell* str);
// Characters from the buffer's first unit to the tail.
int abs_length_q(const Cell* str);
// The address of the head character; a head past the tail is first clamped
// to the tail in the cell. Valid until the next allocation.
uint8_t* head(Cell* str);
uint8_t* tail(const Cell* str);
bool tail_q(const Cell* str);
// The code point at a unit index counted from the first unit in use; the
// index must lie inside the text.
uint32_t abs_at(const Cell* str, int index);
// Index from the head of the first occurrence of cp (exact), or -1.
int find_char(const Cell* str, uint32_t cp);
// True when the text from the head begins with the bytes of `s`, each byte
// a Latin-1 character.
bool match_c_string_q(const Cell* str, const char* s);

// ---- Making --------------------------------------------------------------------------------

// The cell becomes an empty string! over a new unit-1 buffer of n units
// (0 taken as 1).
Cell* make_at(Cell* cell, int n);
// The same with the given unit; n = 0 gives 16 bytes' worth.
Cell* make_at_unit(Cell* cell, int n, int unit);
// Pushes a copy of the cell on the argument stack.
Cell* push(const Cell* str);
// Empties the buffer in place: unit 1, no text, head 0.
Cell* reset(Cell* str);
// The cell becomes a string! over the UTF-8 bytes decoded; bytes left
// undecodable at the end raise access invalid-utf8 with them.
Cell* make_from_utf8(Cell* cell, const uint8_t* p, int64_t length);

// Load encodings.
constexpr int ENCODING_UTF8 = 0;
constexpr int ENCODING_UTF16LE = -1;

// Decodes the bytes into a new string! in `cell`, or in a new argument-stack
// cell when `cell` is null. Any other encoding is a build fault: reported,
// and the process ends with status 1.
Cell* load_at(const uint8_t* p, int64_t length, Cell* cell, int encoding);
Cell* load(const uint8_t* p, int64_t length, int encoding);
// The new string is appended to the block; answers the block's new cell.
Cell* load_in(const uint8_t* p, int64_t length, Cell* block, int encoding);

// ---- Changing ------------------------------------------------------------------------------

// Cuts the text to its first n units when n is within the capacity and
// shorter than the text.
void truncate(Series* s, int n);
// Removes n characters at a unit index (clamped to what remains); nothing
// happens at or past the tail.
void remove_part(Cell* str, int index, int n);
void remove_char(Cell* str, int index);

Series* append_char(Series* s, uint32_t cp);
// Stores cp at a unit index, growing the buffer (doubling) until it fits;
// an index at or past the tail moves the tail just after it, the units
// skipped over becoming NUL characters.
Series* overwrite_char(Series* s, int index, uint32_t cp);
// Opens a one-unit gap at the index (the tail at most) and stores cp there.
Series* insert_char(Series* s, int index, uint32_t cp);
// Replaces the character at a unit index inside the text (widening first
// when needed); an index outside the text changes nothing.
Series* poke_char(Series* s, int index, uint32_t cp);

// Appends each byte of a NUL-terminated string as one Latin-1 character.
Series* append_c_string(Cell* str, const char* s);
// The first n bytes (n >= 1) as Latin-1 characters.
Series* append_c_string_part(Cell* str, const char* s, int n);

enum ConcatMode : int { CONCAT_APPEND = 0, CONCAT_INSERT = 1, CONCAT_OVERWRITE = 2 };
// Copies the source's text from its head (at most `part` characters when
// part is 0 or more and below its length) into the destination: at the tail,
// inserted at head + offset, or over the text from head + offset (an offset
// past the tail starts at the tail). A narrower destination is widened; a
// narrower source buffer is widened too unless keep_source is set, in which
// case characters are converted on the way. Either side may be a symbol!
// entry whose name string has been made; its text starts at index 0.
void concatenate(Cell* dst, const Cell* src, int part, int offset, bool keep_source, int mode);
void overwrite_part(Cell* dst, const Cell* src, int part, int offset, bool keep_source);

// Widens the buffer to unit 2 (from 1) or 4 (from 1 or 2).
Series* widen_to(Series* s, int unit);
// Copies the source characters in [src_start, src_end) (src_end < 1: the
// tail) into the target at write_at, converting them to the wider unit; a
// null target is made with `size` bytes. The target grows when needed.
// Unless `keep` is set, the target's tail ends after the last character
// written and its unit becomes `unit`. Indexes are unit indexes.
Series* copy_widened(Series* source, Series* target, int64_t size, int unit, int src_start,
                     int write_at, int src_end, bool keep);
// Exchanges two regions of one buffer, A at `a` then `gap` bytes then B at
// `b`, into B, gap, A, through the scratch buffer.
void exchange_regions(uint8_t* a, int64_t len_a, uint8_t* b, int64_t len_b, int64_t gap);
// Inserts the characters of the source's first `bytes` bytes from its head
// into the target at its head, one by one, then removes them from the source.
void move_chars(Cell* source, Cell* target, int64_t bytes);

// Moves the head forward by n when it stays within the tail; true when the
// head is then at or past the tail.
bool skip(Cell* str, int n);
bool next(Cell* str);

// ---- Text of numbers -------------------------------------------------------------------

// Two upper-case hex digits in a static buffer, overwritten by the next call.
const char* byte_to_hex(uint8_t byte);
// Eight upper-case hex digits of the 32-bit pattern in a static buffer;
// with trim, the significant digits only ("00" for 0).
const char* to_hex(int32_t value, bool trim);

// The decimal number at the start of a run of bytes (the float text of
// dtoa.h, correctly rounded); `unconsumed` receives how many bytes were not
// part of it, 0 when all were.
double to_float(const uint8_t* start, int length, int& unconsumed);

// ---- Molding ---------------------------------------------------------------------------------

// Appends one character in mold notation: caret escapes, ^(hex) for 30,
// 128-159, surrogates and, with `all`, everything above 127.
void append_escaped_char(Cell* buffer, uint32_t cp, bool all);

// ---- Search and comparison ----------------------------------------------------------------

// A text slice: a comparison operand that stands for the first data3
// characters of a text from its head (head index in data1, buffer node in
// data2). Its type byte lies outside the datatype ids, so no handler ever
// sees one.
constexpr int TYPE_TEXT_SLICE = 56;
Cell text_slice(const Cell* str, int count);

// Compares two texts from their heads under a comparison code
// (foundation/compare.h): letters folded to upper case except under strict
// equality and the case-sensitive sort. Either value may be a symbol! entry
// whose name string is made (its text from index 0); value2 may be a text
// slice. In match mode only value2's characters are compared (value1 may be
// longer). Answers -1, 0 or 1.
int compare_strings(const Cell* value1, const Cell* value2, int op, bool match);
// True when cp occurs among the characters at the head, head + stride,
// head + 2 x stride ... (folded to upper case unless `case_`).
bool find_char_stride(const Cell* str, uint32_t cp, int stride, bool case_);
// The set natives on texts: the first (and second) argument of the running
// native are the texts; the result replaces the first argument.
enum SetOp : int { SET_UNIQUE = 8, SET_UNION = 9, SET_INTERSECT = 10, SET_EXCLUDE = 11, SET_DIFFERENCE = 12 };
Cell* do_set_op(bool case_, const Cell* skip, int op);

// Matching at the head, for PARSE. `mode` is a comparison code: 2 (strict)
// compares exactly, anything else folds.
bool match_q(const Cell* str, const Cell* value, int mode);
// The head character is in the bitset (past its bits only when negated).
bool match_bitset_q(const Cell* str, const Cell* bitset);
// "<" at the head and ">" just after the tag's length of text.
bool match_tag_q(const Cell* str, const Cell* tag);

// ---- Handlers ---------------------------------------------------------------------------------

// Appends the text; answers the part budget less the string's length.
int form(Cell* value, Cell* buffer, int part);
// Source text between double quotes or braces; answers the part budget less
// the characters molded and the two delimiters.
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);

// Search and comparison handlers (string_search.cpp). find and select
// answer the series cell, set to its found position or to none.
int compare(Cell* value1, Cell* value2, int op);
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any,
           Cell* with, Cell* skip, bool last, bool reverse, bool tail, bool match);
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any,
             Cell* with, Cell* skip, bool last, bool reverse);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev,
                int index, bool case_, bool tail, bool notify);
// In place (string_sort.cpp).
Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all,
           bool reverse, bool stable);

// Modification handlers (string_modify.cpp). `part` is a count of what the
// value gives (-1: all of it); for change it is the count of characters
// replaced. append answers the series at its head, insert and change just
// after the new text.
Cell* append(Cell* series, Cell* value, int part, bool only, int dup);
Cell* insert(Cell* series, Cell* value, int part, bool only, int dup);
Cell* change(Cell* series, Cell* value, int part, bool only, int dup);
Cell* swap(Cell* series1, Cell* series2);
Cell* take(Cell* series, Cell* part, bool deep, bool last);
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

void init();

}  // namespace zel::string
