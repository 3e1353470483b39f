// Hash tables: one open-addressing table serving five kinds of keys, and an
// integer-to-integer map on the tracked heap.
//
// Kinds: 0 the index of a hash! block (every cell a key; equal keys share a
// bucket as a group), 1 the key index of a map! (every other cell a key),
// 2 the symbol table and the word tables of contexts, 3 entries of value
// cells keyed by a 32-bit word (temporary bookkeeping), 4 the ownership
// table (the same, keyed by a series node).
//
// A table is the node of a 44-byte byte series holding its record, so the
// collector reaches it and everything it names through that one node.
// Buckets: a power-of-two count, two flag bits each, one 32-bit key slot
// each; probing is triangular; a table grows before it is 77% full.
// Keys of kinds 0-2 are cells of the key block, addressed by index; keys of
// kinds 3 and 4 are the byte offsets of entries in the entry series.
//
// Relies on: memory (series, tracked heap), typed arrays (bucket arrays and
// the chains of kind 0), case folding (text keys hash upper-cased), random
// (the one hash seed), the datatype registry (key equality of kinds 0 and 1),
// the argument stack (keeps new tables alive while they are filled).
//
// This header is the one other files include. The code lies in one file a
// kind: series/hash_blocks.cpp (kind 0), hash_maps.cpp (1), hash_words.cpp
// (2), hash_keyed.cpp (3 and 4); value hashing and key equality in
// hash_values.cpp, the integer map in hash_int_map.cpp; making, dispatch,
// growth and the collector's mark in hash_table.cpp. What they share, and
// only they include, is series/hash_shared.h.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::hash_table {

enum Kind : int32_t {
    KIND_HASH = 0,
    KIND_MAP = 1,
    KIND_SYMBOL = 2,
    KIND_KEYED = 3,
    KIND_OWNERSHIP = 4,
};

// A key made only for lookups: laid out as a string (head index, node) whose
// fourth word, when not negative, limits the characters that count. It
// matches stored text keys of any text type.
constexpr int TYPE_LOOKUP_KEY = 56;

constexpr double LOAD_FACTOR = 0.77;

// The record: eleven 32-bit words.
struct Record {
    int32_t live;        // keys present (kind 0: distinct key groups)
    uint32_t aux;        // kind 0: node of the cell index array; kinds 3, 4: entry size in bytes
    Node chains;         // kind 0: node of the chain list
    Node flags;          // two bits a bucket: 2 empty, 1 deleted, 0 occupied
    Node slots;          // one 32-bit key slot a bucket
    Node keys;           // kinds 0-2: the key block; kinds 3, 4: the entry series
    int32_t occupied;    // buckets not empty (live plus deleted)
    int32_t buckets;     // a power of two, at least 4
    int32_t bound;       // the occupied count at which the table grows
    int32_t kind;
    uint32_t stamp;      // 0, or the collector's cycle count + 1 when identity keys were hashed
};
static_assert(sizeof(Record) == 44);

inline Record* record(Node table) {
    return reinterpret_cast<Record*>(memory::series_of(table)->head());
}

// The symbol table's hash table (kind 2 over the symbol block), set by
// start-up when it makes it. Words hash by the canonical id of their symbol,
// read from that block; with no symbol table every id is its own canonical.
extern Node g_symbol_table;
uint32_t symbol_canonical(uint32_t id);

// Key equality of hash! and map! tables, through the comparison service.
int compare_values(Cell* value1, Cell* value2, int op);

// ---- Making and filling -------------------------------------------------------

// A new table for about `size` keys. `source` (a block cell, or null) gives
// the key block and the keys put from its head: kinds 0 and 1 and kind 2
// index the source's own buffer; kind 2 with option 2 indexes a copy of its
// cells (the words of a context being cloned). Kinds 3 and 4 take the option
// as the number of value cells per entry.
Node init(int32_t size, const Cell* source, int kind, int option);

// Puts a key cell that already lies in the key block (kinds 0-2). Answers
// the cell holding the key: for kind 1, an equal key already present (strict
// comparison) is answered instead of adding this one. Kind 0 answers null
// when the put grew the table, which rebuilds from the whole block: every
// cell is then entered, the rest of a run of puts must stop. A kind-0 cell
// already indexed is taken out of its old group first (its value changed).
Cell* put(Node table, Cell* key);
// Puts every skip-th cell from the head. Kind 1 puts pairs: a key met again
// takes the later value and the later pair leaves the block.
void put_all(Node table, int32_t head, int32_t skip);

// ---- Looking up --------------------------------------------------------------------

// The key cell matching `key` under the comparison code, or null. Kind 0:
// among the cells equal to the key, the lowest at or after the head whose
// distance from it is a multiple of skip; with `last` the highest at or after
// the head, with `reverse` the highest before it. Kind 1: words are looked up
// as set-words; a key whose pair was removed is still answered.
Cell* find(Node table, const Cell* key, int32_t head, int32_t skip, int code, bool last,
           bool reverse);

// A walk over every key equal to one key (kind 1), one call per key found.
struct Walk {
    int32_t bucket = -1;  // -1 before the first call
    int32_t start = 0;
    int32_t step = 0;
    bool done = false;
};
Cell* find_next(Node table, const Cell* key, int code, Walk& walk);

// ---- Removing and renumbering (kind 0 unless said otherwise) ------------------------

// Kind 0: takes the cell out of its group. Kind 1: marks the pair removed
// (its value cell's header becomes 0); the key keeps its bucket.
void delete_(Node table, Cell* key);
void delete_range(Node table, int32_t first, int32_t count);
// Cells [first, first + count) moved by `change`; with `remove` and a
// negative change the -change cells before `first` were taken out. Answers
// 1 (renumbering nothing) when more than 30,000 cells would move: the caller
// rebuilds the table.
int shift(Node table, int32_t change, int32_t first, int32_t count, bool remove);
// The run of count cells at `first` now starts at `dest`; the cells between
// its old and new places moved the other way by count.
void move(Node table, int32_t dest, int32_t first, int32_t count);

// Empties the table and its key block (the entry series of kinds 3 and 4).
void clear(Node table);
// A new table with copies of every array, over another key block (null: a
// copy of this table's).
Node copy(Node table, Node keys);
// Rebuilds (kinds 0, 3, 4) or resizes in place (kinds 1, 2) for `hint` keys.
void rehash(Node table, int32_t hint);
void rebuild_block(Node table, int32_t hint);

// ---- Keyed entries (kinds 3, 4) ------------------------------------------------------

// The entry's first value cell: found or added, its value cells reset to unset!.
Cell* put_key(Node table, uint32_t key);
Cell* get_key(Node table, uint32_t key);  // null when absent
void remove_key(Node table, uint32_t key);

// ---- Symbols and words (kind 2) -------------------------------------------------------

// The 1-based id of the symbol named by `length` UTF-8 bytes, added when
// missing. A name differing only in ASCII case from an existing one gets a new
// entry whose alias is that symbol's canonical id; with `any_case` the
// existing symbol is answered instead.
int32_t put_symbol(Node table, const uint8_t* name, int32_t length, bool any_case);
// The index of the word of that symbol in a context's word table, or -1.
// When absent and a context is given, a word! cell {context, symbol, n} is
// appended (n = the word count before) and n is stored in *new_index.
int32_t find_word(Node table, uint32_t symbol, bool case_insensitive, Node context,
                  int32_t* new_index);

// ---- Hashing -------------------------------------------------------------------------

uint32_t hash_value(const Cell* value, bool case_sensitive);
uint32_t murmur3_32(const void* data, int64_t bytes);  // with the run-time's seed
uint32_t murmur3_32_seeded(const void* data, int64_t bytes, uint32_t seed);
uint32_t fmix32(uint32_t h);

// ---- Collector hooks ---------------------------------------------------------------------

// Marks the table's record, flag and key slot arrays and its key block;
// kind 0 also its cell index array, chain list and chains; kind 3 also the
// series of each live entry's key and the entry's values. The ownership
// table (kind 4) marks only its own buffers: the collector keeps an entry
// (mark_owned) while its series and its owner are both marked, and the sweep
// drops the others.
void mark(Node table);
// Kind 4: marks the value cells of every live entry whose key series and
// owner context are marked.
void mark_owned(Node table);
// Kinds 3 and 4, after marking: deletes every live entry whose key series is
// not marked, and for kind 4 every entry whose second value cell names (word
// 1) a series that is not marked.
void sweep(Node table);

// Debugging aid: the deleted buckets, then the live ones.
void dump(Node table);

// ---- Integer map (tracked heap, freed explicitly) -------------------------------------------

// Kept for the image codecs' and the handles' tables, which subsystems still
// to come will hold in it; only its tests call it today.

struct IntMap {
    int32_t live;
    uint32_t* flags;
    uint32_t* pairs;  // key, value per bucket
    int32_t occupied;
    int32_t buckets;
    int32_t bound;
};

IntMap* int_map_make(int32_t n);
void int_map_put(IntMap* map, uint32_t key, uint32_t value);
uint32_t* int_map_get(IntMap* map, uint32_t key);  // the value, or null
void int_map_delete(IntMap* map, uint32_t key);
int32_t int_map_find(IntMap* map, uint32_t key);   // the bucket, or -1
// The pair after `pair` (null: the first), or null after the last.
uint32_t* int_map_next(IntMap* map, uint32_t* pair);
int32_t int_map_size(IntMap* map);
void int_map_clear(IntMap* map);
void int_map_free(IntMap* map);

}  // namespace zel::hash_table
