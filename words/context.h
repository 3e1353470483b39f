// Contexts: the binding environments of words.
//
// A context is the node of a two-cell block:
//   cell 0, the context cell (type 14):
//     header  type 14; kind in bits 11-12 (global, function, object);
//             FLAG_CTX_ON_STACK (0x400000): the values are argument-stack
//             cells; FLAG_CTX_SELF (0x1000000): `self` reads the owner;
//             FLAG_CTX_SHARED_KEYS (0x20000): the word table may be another
//             context's too (below); FLAG_CTX_OWNER (0x10000): an
//             object's, which owns the series held in its fields
//             (ownership.h)
//     data1   word table: a hash table (kind 2) whose key series holds one
//             word! cell {context, symbol, index} per word, in order of addition
//     data2   values: the node of a cell series, one value per word at the
//             word's index (with FLAG_CTX_VALUES_WITHIN (0x80000) the
//             context's own node, the values following its two cells: an
//             object made from a spec block made into an object before,
//             whose values leave for a series of their own once it grows, so
//             that the two cells never move while words are added); for a
//             context on the stack, the argument-stack
//             cell index of the running call's first argument plus one (0 while
//             no call runs), set by the evaluator through set_frame
//     data3   an object's change flags of its first 32 fields, bit n for
//             field n (later fields flag their word cell: FLAG_FIELD_CHANGED)
//   cell 1, the owner cell: the function or object that owns the context
//             (unset until the owner stores itself there).
//
// Shared word tables: objects of one shape need one table. A copy of an
// object, and an object made from a spec block whose set-words an earlier
// object of the same start was made from, take the table of the other
// instead of building their own; each keeps its own values. A shared table
// never changes: a context adding a word to one first takes a copy of its
// own (copy on write). Its word cells name no context (payload 1 is 0), so
// a dead object's context is not kept by the table; word_at of a context
// with shared keys answers such a cell, whose index still holds. A shared
// table holds at most SHARED_WORDS words, so that every change flag of its
// contexts lives in their own context cell.
//
// Words are looked up by the canonical id of their symbol, so all case
// variants meet in one entry. In the global context a word added by exact
// spelling gets its own word-table cell, but that cell's index is the index of
// the earliest spelling present, so both spellings share one value cell.
// Everywhere else a word cell's index is its own position.
//
// A context grows as words are added: the key series and the values series
// are appended to together, so index and count stay in step for every
// context not on the stack; the slot count given at creation only sizes the
// first buffers.
//
// Relies on: hash tables (word tables), symbols (canonical ids, `self`), the
// argument stack (values of running calls), the cycle stack (binding).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/stack.h"

namespace zel::context {

enum Kind : int { KIND_GLOBAL = 0, KIND_FUNCTION = 1, KIND_OBJECT = 2 };

constexpr uint32_t FLAG_CTX_SELF = 0x01000000;
constexpr uint32_t FLAG_CTX_SHARED_KEYS = 0x00020000;
constexpr uint32_t FLAG_CTX_VALUES_WITHIN = 0x00080000;
constexpr uint32_t FLAG_CTX_OWNER = 0x00010000;
constexpr int32_t SHARED_WORDS = 32;
constexpr int KIND_SHIFT = 11;
constexpr uint32_t KIND_MASK = 0x3u << KIND_SHIFT;
constexpr int GLOBAL_SLOTS = 4000;

// The global context; made at start-up.
extern Node g_global;

// Start-up: the global context (4,000 slots, kind 0, not on stack, no self).
void init_global();
// Registers context! (no parent, no handlers).
void init();

// ---- The two cells ----------------------------------------------------------------------

inline Cell* cell_of(Node ctx) { return memory::series_of(ctx)->cells(); }
inline Cell* owner_of(Node ctx) { return cell_of(ctx) + 1; }
inline int kind_of(Node ctx) { return int((cell_of(ctx)->header & KIND_MASK) >> KIND_SHIFT); }
inline bool on_stack(Node ctx) { return (cell_of(ctx)->header & FLAG_CTX_ON_STACK) != 0; }
inline bool self_q(Node ctx) { return (cell_of(ctx)->header & FLAG_CTX_SELF) != 0; }
inline bool shared_keys_q(Node ctx) { return (cell_of(ctx)->header & FLAG_CTX_SHARED_KEYS) != 0; }

// The first value cell, or null when the context has no values (a function
// context while no call of it runs).
inline Cell* values_of(const Cell* context_cell) {
    uint32_t v = context_cell->data2;
    if (v == 0) return nullptr;
    if (context_cell->header & FLAG_CTX_ON_STACK) return stack::bottom() + (v - 1);
    Cell* cells = memory::series_of(v)->cells();
    return context_cell->header & FLAG_CTX_VALUES_WITHIN ? cells + 2 : cells;
}

// ---- Running calls (the evaluator) ----------------------------------------------------

// Opaque word naming the values of a context on the stack: saved when a call
// starts and given back to restore_frame when it ends, so recursive calls of
// one function nest.
inline uint32_t frame_of(Node ctx) { return cell_of(ctx)->data2; }
// The argument cells from `first` on become the values (null: none).
inline void set_frame(Node ctx, const Cell* first) {
    cell_of(ctx)->data2 = first ? uint32_t(first - stack::bottom()) + 1 : 0;
}
inline void restore_frame(Node ctx, uint32_t saved) { cell_of(ctx)->data2 = saved; }

// ---- The word table ---------------------------------------------------------------------

Node word_table(Node ctx);  // the hash table
Node words_node(Node ctx);  // its key series: the word cells
int32_t word_count(Node ctx);
// The n-th (0-based) word cell; valid until the context grows.
Cell* word_at(Node ctx, int32_t n);
// The n-th word as a word! bound to the context (a shared table's words
// name no context): an object's field word.
inline Cell get_word(Node ctx, int32_t n) {
    Cell word = *word_at(ctx, n);
    word.header = TYPE_WORD;
    word.data1 = ctx;  // a shared table's words name no context
    return word;
}
// The types whose cell names an object's context (kind object) in data1:
// object!, and error! and port!, which share its layout.
inline bool object_type(int type) {
    return type == TYPE_OBJECT || type == TYPE_ERROR || type == TYPE_PORT;
}

// The position of the symbol's word in the table, or -1. `any_case` matches
// by canonical id, otherwise by the exact symbol id.
int32_t find_word(Node ctx, uint32_t symbol, bool any_case);
// The position when found (also stored in *added); else -1 after appending
// a word cell {this context, symbol, n} at position n = the previous count,
// with n stored in *added. The values are not touched.
int32_t find_or_add_word(Node ctx, uint32_t symbol, bool any_case, int32_t* added);
// The value index of the symbol's word (any case), adding the word with an
// unset value (none on the stack) when it is missing.
int32_t ensure_symbol(Node ctx, uint32_t symbol);
int32_t ensure_word(Node ctx, const Cell* word);
// A new word (any case) with a copy of the value: answers its value cell,
// or null when the word was there already or the context is on the stack.
Cell* add_word(Node ctx, const Cell* word, const Cell* value);
// Stores a copy of the value in the word's slot, adding the word when missing.
void put(Node ctx, const Cell* word, const Cell* value);

// ---- Binding ------------------------------------------------------------------------------

// Binds the word to the context when its symbol is there (any case): answers
// the index, or -1 with the word left as it was.
int32_t bind_word(Node ctx, Cell* word);
// Binds every word of the block, and of the blocks, parens, paths and
// hashes inside it, that the context holds. With `self`, a `self` word
// becomes a word of this context with index -1, which reads the owner. A
// block met again inside itself is not walked twice. Issues stay unbound.
Cell* bind(Cell* block, Node ctx, bool self);
// Adds every set-word of the block (head to tail) to the context; true when
// the context grew. A head past the tail is first set to the tail.
bool collect_set_words(Node ctx, Cell* block);
// The same for a context with shared keys, through a small cache of the
// tables made so: when the words the block adds to this table were added to
// it before, the context takes the table made then (shared, its new values
// unset); otherwise the table the context grows is kept for the next time.
bool collect_set_words_shared(Node ctx, Cell* block);
// What the caller of cached_table keeps with a table of the cache: its own
// note on the table (0 for a table new there), and on the block: whether it
// holds blocks, and the change stamp it had when the caller last found it a
// block of pairs to its liking (0: never) with the count of stamp wraps then.
struct TableNote {
    uint8_t kind = 0;
    bool nested = false;
    uint32_t stamp = 0;
    uint32_t wraps = 0;
};
// The table collect_set_words_shared made from this block for a context
// that had no words, when the block's set-words still give it: the table,
// with the caller's note on it in *note; else 0. *pairs tells that the
// block is made of set-words each followed by one value (of any type: the
// caller checks them), the set-words being the table's words in its order
// and spelling (the set-word at 2k then has index k). *known tells that the
// block has not changed since the stamp the note holds (its cells are then
// not checked again, and *pairs holds).
Node cached_table(const Cell* block, TableNote** note, bool* pairs, bool* known);
// The number of words of a word table, and the position of the symbol's
// word (any case) in it, or -1.
int32_t count_in_table(Node table);
int32_t find_in_table(Node table, uint32_t symbol);

// ---- Making ---------------------------------------------------------------------------------

// A new context for about `slots` words (0 is taken as 1). `source`, when
// given, is a block cell whose words (from its head) are copied into the new
// word table, each with an unset value unless the context is on the stack.
Node create(int32_t slots, bool on_stack, bool self, const Cell* source, int kind);
// A new context with the words of the value's context (function or object;
// its context node in data1), given to the value; the words are re-bound to
// it. Its change flags are the original's.
Node clone(Cell* value, int kind);
// The same sharing the original's word table (both then have shared keys),
// unless the context is on the stack or has more than SHARED_WORDS words.
// The values of the new context are unset.
Node share(Cell* value, int kind);
// A new context (not on the stack) with no words and room for `slots`
// values, over the one shared empty table: the start of an object whose
// words come from collect_set_words_shared.
Node create_shared_empty(int32_t slots, bool self, int kind);
// A new context (not on the stack) over a shared table from cached_table,
// with an unset value for each of its words: one series holds its two cells
// and its values (FLAG_CTX_VALUES_WITHIN).
Node create_over(Node table, bool self, int kind);
// A context for a function spec: one word per word!, lit-word!, get-word!
// and refinement! of the spec, in order (set-words and the rest skipped).
Node make_from_spec(const Cell* spec, bool on_stack, bool self, int kind);

// ---- Values ---------------------------------------------------------------------------------

// The cold path of get_in: `self` words, unbound words and missing values.
Cell* missing_value(const Cell* word, Node ctx);

// The global context's first value cell, kept between lookups while no
// buffer moved (memory::g_buffer_moves): most words are global, and this
// saves walking from the context's node to its values' node at every lookup.
// (The values series only grows at its tail: its first cell stays where it
// is until its buffer moves.)
struct GlobalValues {
    uint32_t moves = ~0u;
    Cell* cells = nullptr;
};
extern GlobalValues g_global_values;
Cell* refresh_global_values();

// The first value cell of a context, or null when it has none now.
inline Cell* values_in(Node ctx) {
    if (ctx == g_global) {
        if (g_global_values.moves == memory::g_buffer_moves) return g_global_values.cells;
        return refresh_global_values();
    }
    return values_of(cell_of(ctx));
}

// The word's value cell in the context: on the argument stack for a running
// function, in the values series otherwise. Index -1 reads the owner of the
// word's own context for `self`, and raises script no-value for any other
// word; a context without values raises script not-in-context.
inline Cell* get_in(const Cell* word, Node ctx) {
    int32_t i = int32_t(word->data3);
    if (i >= 0 && ctx != 0) {
        Cell* values = values_in(ctx);
        if (values) return values + i;
    }
    return missing_value(word, ctx);
}
inline Cell* get(const Cell* word) { return get_in(word, word->data1); }

// Stores a copy of the value in the word's slot and answers the slot. A word
// of index -1 is first looked up (exactly) and, when absent, added; its index
// is then stored in the word. No values: script not-defined. An object's
// field is flagged as changed, and with `notify` its owner is told (below).
Cell* set_in(Cell* word, const Cell* value, Node ctx, bool notify);
inline Cell* set(Cell* word, const Cell* value) { return set_in(word, value, word->data1, true); }
// set, with a word whose slot is known stored at once when its context is
// not an object's (whose fields report changes): the assignment of
// set-words and loop words.
[[gnu::always_inline]] inline void assign(Cell* word, const Cell* value) {
    Node ctx = word->data1;
    int32_t index = int32_t(word->data3);
    Cell* values = ctx && index >= 0 ? values_in(ctx) : nullptr;
    if (values && (ctx == g_global || on_stack(ctx) || kind_of(ctx) != KIND_OBJECT))
        values[index] = *value;
    else
        set(word, value);
}

// The change flags of an object's fields (see the layout above).
void mark_changed(Node ctx, int32_t n);
bool changed_q(Node ctx, int32_t n);
void clear_changed(Node ctx);

// Change notification of objects: called with the owner, the word, a copy of
// the old value and the new value when an object with a change-handler record
// has a field set. Installed by the object module; until then nothing is told.
using ChangeHook = void (*)(Cell* owner, const Cell* word, Cell* old_value, const Cell* new_value);
extern ChangeHook g_on_change;

// ---- The global context ---------------------------------------------------------------------

// The word cell of the symbol in the global context, added (with an unset
// value) by exact spelling when missing.
Cell add_global(uint32_t symbol);
// The same with a chosen case mode; with `any_case` and `copy_variant`, a word
// found under another spelling comes back with the requested symbol (same
// index, so the same value cell).
Cell find_or_add_global(uint32_t symbol, bool any_case, bool copy_variant);
// The value cell of a symbol (any case) present in the context; the global
// context stands in for a context on the stack.
Cell* get_by_symbol(uint32_t symbol, Node ctx);

}  // namespace zel::context
