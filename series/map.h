// map!: an associative array from keys to values, written "#[" key value
// ... "]", read and set through paths, select, find, put, remove/key,
// extend, foreach and reflect.
//
// Cell: {header type 40, head index 0 (moved only while foreach walks the
// map), node of the key/value block, node of the kind-1 hash table over
// its keys}. Pairs are a key cell followed by its value cell, in insertion
// order; a value cell whose header is 0 marks a removed pair, which keeps
// its place (and its key its bucket) and comes back when the key is set
// again. The table's live count is the number of pairs not removed. The
// block and the table change together, only here.
//
// Keys: string!, file!, url!, char!, integer!, float!, the four word types,
// refinement!, issue!, pair!, percent!, tuple!, binary!, time!, tag!,
// email!, date!, money!, ref!, point2D!, point3D!. Stored keys are
// normalised: text and binary keys are copies of their content from the
// head, word!, lit-word! and get-word! keys are set-words; so a, a:, 'a and
// :a name one key, while keys of different types never match. Lookups
// compare under code 0 (equal?), 2 (/case) or 9 (/same).
//
// Relies on: hash tables (kind 1), the block module (the pairs), the
// registry (mold, compare and copy of keys and values, any_value.h), the
// cycle-detection stack.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::map {

// The cell becomes a map! over the block's cells from its head (a new empty
// block of `capacity` cells when `block` is null), with a new table filled
// from its pairs: a key met again takes the later value and the later pair
// leaves the block. The keys must already be normalised.
Cell* make_at(Cell* cell, const Cell* block, int capacity);

// Whether values of the type may be keys.
bool valid_key_q(int type);

// Pairs not removed.
int entry_count(const Cell* map);

// The i-th cell of the live pairs from the map's head, keys and values
// alternating (a set-word! key as word!); none past them.
Cell live_cell(const Cell* map, int i);

// The walk of foreach: the map's head moves to its next live pair from the
// head (live_cell then counts from it), or to the tail when none is left;
// answers whether there was one. The head is moved only while foreach walks.
bool seek_live(Cell* map);

// Adds the pairs of a block!, hash! (an odd count raises script invalid-arg)
// or the live pairs of a map!: a key present gets the new value (a removed
// one comes back), a new key is normalised and appended. A bad key type
// raises script invalid-path, leaving the pairs added before it. Answers
// the map.
Cell* extend(Cell* map, const Cell* spec, bool case_);

// ---- Handlers ----------------------------------------------------------------------------------

// From a block!, paren! or hash! of pairs, a number of pairs to make room
// for, or another map! (copied).
Cell* make(Cell* proto, Cell* spec, int type);
// As make, but a number raises script bad-to-arg.
Cell* to(Cell* proto, Cell* spec, int type);
// words: the live keys (a set-word! as word!); values: the live values;
// body: the live pairs, each key starting a new line.
Cell* reflect(Cell* value, int field);
int form(Cell* value, Cell* buffer, int part);
// "#[", one pair a line indented 4 spaces a level deeper than the map,
// "]"; with /flat on one line; with /only neither brackets nor indentation.
// A map met again inside itself molds as "#[...]".
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// Reading: the key's value, or none; setting stores it (/case: lookup code
// 2, else 0) and answers the value.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify);
// By content for the equality codes (0, 1, 2, 9, 12), by the identity of
// the blocks for the sort codes (7, 8); -2 otherwise and against a non-map.
int compare(Cell* value1, Cell* value2, int op);
Cell* clear(Cell* map);
// A new block and a copy of the table over it; /deep copies the series and
// maps among the keys and values (a map inside itself raises internal
// no-cycle), /types the values of those types.
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
// The key as stored (a set-word! as word!), or none.
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);
int length_q(Cell* map);
Cell* put(Cell* series, Cell* key, Cell* value, bool case_);
// /key only (script missing-arg without it): the pair of the key, found
// case-sensitively, is marked removed. Answers the map.
Cell* remove(Cell* series, Cell* part, Cell* key);
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);

void init();

}  // namespace zel::map
