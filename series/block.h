// block!: a position in an array of value cells, the value that holds code
// and data, and paren!, a block written in parentheses.
//
// Cell: {header (type 5; 6 paren!, 25-28 the paths, 36 hash!), head index in
// cells, node of a buffer of unit 16, 0 (a hash!'s table node)}. Header bit
// 30 (FLAG_NEW_LINE) on an element means a line break precedes it when its
// block is molded; it travels with the cell.
//
// This module holds the block operations the whole run-time calls (cell
// access, appending and inserting, making empty blocks, pushing them on the
// argument stack, looking a word up in a block), the walker that molds the
// contents of any block-like value, element-wise comparison, and the
// handlers make, to, form, mold, eval-path, compare and copy. The other
// block handlers are the series! ones (series.h) and the search and
// modification handlers.
//
// Addresses of cells answered here are valid until the next allocation or
// the next run of Zel code; keep indexes across those.
//
// Relies on: memory, the argument stack, the series! handlers, hash tables
// (a hash! is kept in step wherever cells are added), the registry (form,
// mold, compare and copy of the elements), the comparison service, the
// cycle-detection stack, the string module (the text molded into), the
// map and vector modules and object!'s reflect (the blocks made from their
// values) and the text loader the lexer installs (to block! of a string,
// services.h).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::block {

// ---- Cell access ----------------------------------------------------------------------------

// Cells from the head to the tail (no clamping: negative past the tail).
int length_q(const Cell* block);
// head + 1 unless the head is at the tail; true when the head then is.
bool advance(Cell* block);
// The head cell; a head past the tail is first pulled back to it.
Cell* head(Cell* block);
Cell* tail(const Cell* block);
// The head at or past the tail (the cell is left as it is).
bool tail_q(const Cell* block);
// Cell i counted from the buffer's first cell, whatever the head.
Cell* abs_at(const Cell* block, int i);
// Drops every cell from the head on.
void cut_at_head(Cell* block);
// Keeps the first i cells (i within 0 .. the cell count).
void cut_at(Cell* block, int i);

// ---- Adding and removing cells ----------------------------------------------------------------

// A copy of the value in a new cell at the tail; answers the new cell.
Cell* append_cell(Cell* block, const Cell* value);
// Drops the last cell; a head past the tail is pulled back to it.
void remove_last(Cell* block);
// Appends copies of the source's cells from its head; answers the target.
Cell* append_block(Cell* target, const Cell* source);
// A copy of the value inserted at the head (at the first cell with
// at_start), moving the rest up; with `advance` the head moves past it.
Cell* insert_value(Cell* block, const Cell* value, bool advance, bool at_start);
// Copies of the source's cells from its head inserted at the target's head,
// in order, the head moving past them; answers the target.
Cell* insert_block(Cell* target, const Cell* source);
// For code building blocks on the argument stack: the block is in the cell
// just below stack::arguments(), the value in stack::arguments().
// insert_arg inserts the value at the block's head and moves the head past
// it; append_to_previous appends it. Both answer the block's cell.
Cell* insert_arg();
Cell* append_to_previous();
// Appends the second argument cell to the block in the first; answers it.
Cell* append_arg();

// The cell after the first cell from the head that the value's compare
// handler finds equal (find equality), or a none cell when there is none
// or the match is the last cell.
Cell* select_value(Cell* block, Cell* value);
// Removes the first cell equal to the value (from the head, or from the
// first cell with from_start); answers its index from the first cell, or -1
// when none was found.
int remove_value(Cell* value, Cell* block, bool from_start);
// The cell after the first word (word!, set-word!, lit-word!, get-word!)
// from the head naming the word's symbol (any spelling of it unless
// strict), or a none cell when absent or last.
Cell* select_word(Cell* block, const Cell* word, bool strict);

// ---- Making blocks ---------------------------------------------------------------------------

// The cell becomes an empty block! (a negative capacity meaning 1).
Cell* make_at(Cell* cell, int capacity);
// The same over a fixed buffer, or over cells preset to unset!.
Cell* make_preset_at(Cell* cell, int capacity, bool fixed);
// An empty block in a new cell appended to the parent (an any-block, or a
// map! for make_in) or, without a parent, in the run-time's spare cell, which
// the caller copies where it keeps the block. make_fixed_in's buffer is fixed:
// it never moves and is never reclaimed (the root block and its sub-blocks).
Cell* make_fixed_in(Cell* parent, int capacity);
Cell* make_in(Cell* parent, int capacity);
// Pushes a copy of the block cell; answers the stack cell.
Cell* push(const Cell* value);
// Pushes a new empty block! (capacity 0 meaning 1).
Cell* push_only(int capacity);
// Pushes a copy of the cells from the head, in a new block of the source's
// type. With `deep` every nested block! (with paths_too also every paren!
// and path) is cloned the same way, keeping its element's header. A deep
// clone of a block that contains itself raises internal no-cycle.
Cell* clone(const Cell* block, bool deep, bool paths_too);
// Replaces, in cells [from, end) of the block by `step`, every series,
// bitset!, object!, error! or map! whose type is in `kind` (a datatype! or
// a typeset!) by its copy (deep when asked, the kind passed on).
void copy_types(Node block, int from, int end, int step, bool deep, const Cell* kind);

// ---- Molding and comparing ----------------------------------------------------------------------

// Molds the cells from the head into the string `buffer`, with new-line
// markers and indentation (unless flat) and cycle detection; the walker
// behind mold of blocks, parens and paths. Stops when the part budget is
// below 1; answers what remains of it.
int mold_each(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// Element-wise comparison under a comparison code (foundation/compare.h).
int compare_each(Cell* block1, Cell* block2, int op);

// ---- Handlers --------------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type);
Cell* to(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// An integer! element picks (pokes when setting); other elements select
// (find and poke after them when setting). Answers a cell the caller copies.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev,
                int index, bool case_, bool tail, bool notify);
int compare(Cell* value1, Cell* value2, int op);
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
// Replaces every series value in cells [from, end) of the block by its deep
// copy (copy/deep of its own type).
void copy_nested(Node block, int64_t from, int64_t end);

// ---- Searching (block_search.cpp) -------------------------------------------------------------
//
// The value is compared with the cells (cell first) in find equality, or
// strict with /case, or identity with /same (which wins); a datatype! or
// typeset! matches cells by type, and an any-block value is a run of cells
// to match, unless /only. A hash! answers through its table where the value
// allows it and gives exactly what the scan of its cells would.

Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);
// The cell after the match (after the whole run for a run of cells), or none.
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);
// The key found as one value (the cell after it set), or both appended.
// Answers the value.
Cell* put(Cell* series, Cell* key, Cell* value, bool case_);

// ---- Sorting (block_sort.cpp) -----------------------------------------------------------------

// Flags of compare_records: bit 0 reverses, bit 1 compares whole records;
// above them the record size (whole records) or the compared field's offset.
constexpr int SORT_REVERSE = 1;
constexpr int SORT_ALL = 2;
constexpr int SORT_FIELD_SHIFT = 2;

Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable);
// The order of two records of cells under a comparison code (7 sort, 8
// case-sensitive sort) and the flags: the first non-zero comparison of
// their fields; values that cannot be compared order by type id.
int compare_records(const Cell* a, const Cell* b, int mode, int flags);
// What a comparator function's result means: true 1, false -1, an integer!
// itself, a float! by its sign, none -1, anything else 1.
int comparator_order(const Cell* result);

// ---- Changing (block_modify.cpp) --------------------------------------------------------------
//
// Each tells the owner before and after the change, keeps a hash!'s table
// in step, and reads the cells it writes before the target moves a cell or
// replaces its buffer, so that a block added to itself reads as it was.
// Sizes past the 32-bit limits raise internal no-memory.

// part: -1, or the most cells of the value to add; dup: the times (>= 1).
// append answers the series at its head, insert after what it inserted.
Cell* append(Cell* series, Cell* value, int part, bool only, int dup);
Cell* insert(Cell* series, Cell* value, int part, bool only, int dup);
// part: -1, or the cells replaced; the series answered after the new cells.
Cell* change(Cell* series, Cell* value, int part, bool only, int dup);
// The taken cells: a block of them with /part, else the cell itself.
Cell* take(Cell* series, Cell* part, bool deep, bool last);
// Exchanges the head cells of two any-block series; answers the first.
Cell* swap(Cell* series1, Cell* series2);
// Removes every none! from the head on; the refinements are for strings.
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

// ---- Set operations (block_sets.cpp) ----------------------------------------------------------

// The worker of unique (8), union (9), intersect (10), exclude (11) and
// difference (12) over the argument cells: the first set, then the second
// (not read by unique). With a skip size, records of that many cells are
// keyed by their first cell. The result, a block! (a hash! when an input is
// one) at its head, replaces the first argument, which is answered.
Cell* do_set_op(bool case_, const Cell* skip, int op);

void init();

}  // namespace zel::block

namespace zel::paren {

// "(" then the items as a block's items then ")"; /only leaves both out.
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
void init();

}  // namespace zel::paren
