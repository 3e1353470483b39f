// series!: the abstract parent of every series type (blocks, strings,
// binaries, vectors, images). No value carries its id; its action row holds
// the handlers the series types inherit, and this module holds the position
// arithmetic they share.
//
// A series value is a cell {header, head index in units, buffer node, extra
// word}; the extra word is a vector!'s element type, a hash!'s table node,
// a string's conversion node, and 0 otherwise. One code path serves every
// unit size (16-byte cells, 1/2/4-byte characters, bytes, vector elements,
// pixels): the unit comes from the buffer's flags. A head index may lie past
// the tail after another value shortened the buffer; each operation clamps
// it as it says.
//
// Every handler that changes a series tells its owner before and after the
// change (ownership::check) and keeps a hash!'s table in step: an entry is
// removed before its cell is rewritten or moved and put again afterwards,
// renumbering goes through hash_table::shift and a table is rebuilt when
// that asks for it. Positions are kept as indexes and buffer addresses are
// taken again after anything that may allocate or run Zel code.
//
// Relies on: memory, the argument stack, the ownership check, hash tables,
// the random generator, the string module (characters of text series, moves
// between text of different widths), the vector module (its elements as
// values) and the registry (find, for remove/key).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::series {

// ---- Kinds of series ---------------------------------------------------------------------

// block!, paren!, the path types, hash!
inline bool any_block(int type) {
    return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH ||
           (type >= TYPE_PATH && type <= TYPE_GET_PATH);
}
// string!, file!, url!, tag!, email!, ref!
inline bool any_string(int type) {
    switch (type) {
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL:
        case TYPE_REF:
            return true;
        default:
            return false;
    }
}
// Every type whose values have a series buffer: the two above, binary!,
// vector! and image!.
bool series_type(int type);

// ---- Shared operations -------------------------------------------------------------------

// log2 of the buffer's unit: units and bytes convert with it.
int shift_of(const Series* s);
// Units in use, ignoring the head.
int abs_length_q(const Cell* series);
// Head address at or past the tail.
bool at_tail_q(const Cell* series);
// Moves the head by n when it stays within 0 .. the total; true when the
// (possibly unchanged) head is then at or past the tail.
bool advance(Cell* series, int n);
// The head that `at` (at = true) or `skip` computes for the offset, clamped
// to 0 .. the total; an offset that is not an integer! raises script
// invalid-arg.
int get_position(const Cell* series, const Cell* offset, bool at);
// Units from the head to the tail (from 0 with `absolute`); a negative head
// counts as 0; a head past the tail is pulled back to the total in the cell
// and 0 results.
int get_length(Cell* series, bool absolute);

// ---- Refinement arguments ------------------------------------------------------------------

// Script invalid-refine-arg naming the refinement (a word) and the value.
[[noreturn]] void bad_refinement(const char* refinement, const Cell* value);
// The head of a /part position, which must lie in the same series (same
// type and buffer), else invalid-refine-arg.
int64_t part_position(const Cell* series, const Cell* part);
// The count a /part argument gives: an integer!, or the distance from the
// head to a position in the same series.
int64_t part_count(const Cell* series, const Cell* part);

// Bytes for the duration of one call: up to 16 inside the object, more from
// the tracked heap, freed on every way out, errors included.
class Scratch {
public:
    explicit Scratch(int64_t bytes);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    uint8_t* get() { return p_; }

private:
    alignas(16) uint8_t local_[16];
    uint8_t* p_;
};

// ---- hash! upkeep -------------------------------------------------------------------------

// The table of a hash!, 0 for every other type.
Node hash_table_of(const Cell* series);
// After cells [first, first + count) moved by `change` (with `remove` and a
// negative change, the cells just before `first` were taken out): renumbers
// the table, or rebuilds it from the block when renumbering would be too
// long. Call once the cells are in their new places. True when rebuilt,
// which enters every cell.
bool hash_renumber(Node table, int64_t change, int64_t first, int64_t count, bool remove);
// Enters cells [first, first + count) of the block in the table.
void hash_put_cells(Node table, Node block, int64_t first, int64_t count);

// The fixed one-unit buffer of take without /part, 0 until first used; a
// collector root (registered by init).
Node take_buffer();

// ---- Handlers ---------------------------------------------------------------------------------

// Navigation (class D): they read stack::arguments() (the series, then the
// offset for at and skip) and leave their result there.
Cell* at();
Cell* back();
Cell* head();
Cell* head_q();
Cell* index_q();
Cell* next();
Cell* skip();
Cell* tail();
Cell* tail_q();
int length_q(Cell* series);

// The element at a 1-based index (negative: counted back from the head,
// -1 being the unit before it) becomes the value of the series cell; none
// outside the series.
Cell* pick(Cell* series, int index, Cell* boxed);
// Stores the value at the index; outside the series raises out-of-range.
// Answers the value.
Cell* poke(Cell* series, int index, Cell* value, Cell* boxed);
Cell* clear(Cell* series);
Cell* remove(Cell* series, Cell* part, Cell* key);
Cell* reverse(Cell* series, Cell* part, Cell* skip);
Cell* random_(Cell* series, bool seed, bool secure, bool only);
Cell* move(Cell* origin, Cell* target, Cell* part);
// A shallow copy from the head into `result` (head 0, the source's unit
// and new-line marker). Deep copies and hash! tables are the callers'.
Cell* copy(Cell* series, Cell* result, Cell* part, bool deep, Cell* types);
// Removes units and answers a new argument-stack cell holding them, of the
// series' type. Without /part the unit goes to a shared one-unit buffer that
// the datatype's own take handler turns into a value at once (a hash!'s
// result then has no table). A /part of 0, or a position at or before the
// head, takes nothing and answers an empty series.
Cell* take(Cell* series, Cell* part, bool deep, bool last);
// `owned` is the only field: the owner object, or none.
Cell* reflect(Cell* series, int field);
Cell* modify(Cell* series, Cell* field, Cell* value, bool case_);

void init();

}  // namespace zel::series
