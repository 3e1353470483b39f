// Symbols: the one process-wide table of names that every word refers to.
//
// A symbol is a 1-based id into the symbol table, a block of symbol! entries
// that are never removed or reordered. Entry cell layout:
//   header  type 13
//   data1   alias: -1 for a canonical symbol, else the id of the canonical
//           symbol it differs from only in ASCII letter case
//   data2   node of the name as a string! buffer, made on first need (0 before)
//   data3   node of the UTF-8 name: a byte series whose tail stands after the
//           last name byte, with a NUL just past the tail
// The UTF-8 bytes are the primary form; the string form is a cache.
//
// Case variants are one word for lookup and equality (resolve gives the same
// id) while each keeps its own spelling. Only ASCII letters fold: "É" and "é"
// are unrelated symbols.
//
// The table is the key block of the symbol hash table (kind 2,
// hash_table::g_symbol_table), so interning, aliasing and resolving live in
// one structure; resolve is hash_table::symbol_canonical.
//
// Relies on: hash tables (interning), unicode (decoding names, encoding
// strings), case folding (ordering names), the datatype registry.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "series/hash_table.h"

namespace zel::symbol {

// Room made at start-up; the table grows past it as any block does.
constexpr int TABLE_CAPACITY = 4000;

// Start-up: the hash table (hash_table::g_symbol_table) over the symbol
// table block, an empty block of TABLE_CAPACITY cells of the root block.
void init_table(Node entries);
// Registers symbol! (no parent; compare only).
void init();

// ---- Making symbols (each answers the id) -------------------------------------------

// Finds the exact spelling, or adds it (as an alias of a case variant when
// one exists).
uint32_t make(const char* name);
uint32_t make_from_buffer(const uint8_t* bytes, int32_t length);
// The text of a string from its head, at most `limit` characters (-1: all).
uint32_t make_from_string(Cell* str, int limit);
// One case-insensitive pass: an existing case variant is answered instead of
// adding a new spelling.
uint32_t make_any_case(const char* name);

// ---- Reading ------------------------------------------------------------------------

// Symbols in the table.
int count();
// The entry as it is (its name string may still be 0). Valid until the next
// symbol is made.
Cell* entry(uint32_t id);
// The entry with its name string made.
Cell* get(uint32_t id);
// Makes the name string when it is not made yet.
void ensure_name(uint32_t id);
// The node of the name string (made first).
Node name_string(uint32_t id);
// The UTF-8 name and its length in bytes; valid until the next allocation.
const uint8_t* utf8(uint32_t id, int32_t& length);
// The NUL-terminated UTF-8 name; valid until the next allocation.
const char* c_string(uint32_t id);

// The canonical id: the alias when there is one, else the id itself.
inline uint32_t resolve(uint32_t id) { return hash_table::symbol_canonical(id); }
// The stored alias word as it is.
int32_t alias(uint32_t id);
// True when the word's symbol is `any-type!` in any letter case.
bool any_type_q(const Cell* word);

// Compares two names as text for a comparison code (foundation/compare.h):
// letters folded except under strict equality and the case-sensitive sort.
// Answers -1, 0 or 1 (sameness: 0 or -1).
int compare_names(uint32_t id1, uint32_t id2, int op);

}  // namespace zel::symbol
