// Words: the six word types, which share one cell layout and one family of
// operations. Cell layout:
//   header  type 15 word!, 16 set-word!, 17 lit-word!, 18 get-word!,
//           19 refinement!, 20 issue!; flags above the type byte are kept
//           when a word is retyped
//   data1   node of the context the word is bound to (the global context for
//           words made by name, 0 for unbound refinements)
//   data2   symbol id
//   data3   index of the word's value in that context, or -1 when not known
//           (issues, `self` words, words looked up lazily)
// Once bound, a word's value is reached through its context and index with
// no lookup (context::get).
//
// Registration: word! (parent symbol!) with make, to, form, mold, compare and
// index?; lit-word!, set-word!, get-word! and refinement! (parent word!)
// inherit all but mold (refinement! has no index?); issue! (parent word!)
// has its own make, to, mold and compare and no index?.
//
// Relies on: symbols, contexts, the argument stack, strings (names as text),
// the lexer's word check (g_name_check).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/stack.h"
#include "words/context.h"

namespace zel::word {

inline bool any_word_type_q(int type) { return type >= TYPE_WORD && type <= TYPE_ISSUE; }

// ---- The lexer's word check ----------------------------------------------------------

// Given UTF-8 text, the datatype of the single value it would load, or 0 when
// it is not exactly one value. Set by the lexer; until then
// plain_name_type answers.
using NameCheck = int (*)(const uint8_t* text, int32_t length);
extern NameCheck g_name_check;
// A conservative stand-in: accepts a word, optionally decorated as a
// set-word, get-word, lit-word, refinement or issue, made of characters that
// never delimit or start other values; refuses anything doubtful.
int plain_name_type(const uint8_t* text, int32_t length);
int name_type(const uint8_t* text, int32_t length);

// ---- Making words (bound in the global context unless said otherwise) -------------------

// The word of a name, found in any case; a word present under another
// spelling comes back with the requested spelling and the same value cell.
Cell load(const char* name);
// The cell becomes a word! of the symbol (flags kept), its index found in
// any case or added with an unset value.
Cell* make_at(uint32_t symbol, Cell* target);
Cell* make_in(uint32_t symbol, Cell* block);  // appended to the block
Cell* make_from_name_in(const char* name, Cell* block);
Cell* push_global(uint32_t symbol);
// The datatype's name word, such as integer!.
Cell* make_type_name_at(int type, Cell* target);

// The n-th word of a context and a pushed copy of it.
inline Cell* local_at(Node ctx, int32_t n) { return context::word_at(ctx, n); }
inline Cell* push_local(Node ctx, int32_t n) { return stack::push(local_at(ctx, n)); }
// The context's word of that exact symbol, or the global word (added when missing).
Cell in_context_or_global(Node ctx, uint32_t symbol);

// The symbol entry with its name string made.
Cell* symbol_entry(const Cell* word);
// Pushes a new string! holding a copy of the word's name.
Cell* push_name(const Cell* word);

// Pushes a copy of the word retyped (flags kept).
Cell* push_as(const Cell* word, int type);
Cell* push_local_as(Node ctx, int32_t n, int type);

// ---- Reading and writing values ------------------------------------------------------

// Pushes a copy of the word's value; unset raises script no-value.
Cell* get(const Cell* word);
// Value n of the context (on the stack for a running function); a context
// without values raises script not-defined with its n-th word.
Cell* get_in(Node ctx, int32_t n);
Cell* push_value_at(Node ctx, int32_t n);
// The argument cells hold a word and a value: the word takes the value
// (unset raises script need-value), which becomes the call's result.
Cell* set_checked();
// Value n takes the argument stack's top cell (an object's field is flagged
// as changed). Answers the value cell.
Cell* set_in(Node ctx, int32_t n);
// The same, first pushing a copy of the old value, which is the answer.
Cell* set_in_push(Node ctx, int32_t n);

// ---- Handlers ----------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
int compare(Cell* value1, Cell* value2, int op);
Cell* index_q();

void init();

}  // namespace zel::word

namespace zel::lit_word {
inline Cell* push(const Cell* w) { return word::push_as(w, TYPE_LIT_WORD); }
void init();
}  // namespace zel::lit_word

namespace zel::set_word {
inline Cell* push(const Cell* w) { return word::push_as(w, TYPE_SET_WORD); }
void init();
}  // namespace zel::set_word

namespace zel::get_word {
inline Cell* push(const Cell* w) { return word::push_as(w, TYPE_GET_WORD); }
inline Cell* push_local(Node ctx, int32_t n) { return word::push_local_as(ctx, n, TYPE_GET_WORD); }
// Pushes a copy of the word's value, unset included.
Cell* get(const Cell* w);
void init();
}  // namespace zel::get_word

namespace zel::refinement {
inline Cell* push(const Cell* w) { return word::push_as(w, TYPE_REFINEMENT); }
inline Cell* push_local(Node ctx, int32_t n) { return word::push_local_as(ctx, n, TYPE_REFINEMENT); }
// An unbound refinement of the name: {context 0, symbol, index -1}.
Cell load(const char* name);
void init();
}  // namespace zel::refinement

namespace zel::issue {
inline Cell* push(const Cell* w) { return word::push_as(w, TYPE_ISSUE); }
// {global context, symbol, index -1}.
Cell load(const char* name);
Cell* make_at(Cell* target, uint32_t symbol);
Cell* make(Cell* proto, Cell* spec, int type);
int compare(Cell* value1, Cell* value2, int op);
void init();
}  // namespace zel::issue
