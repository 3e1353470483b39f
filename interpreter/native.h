// native!, action! and op! values.
//
// A native! names one of the run-time's native routines by its slot in the
// natives table, an action! one of the 62 polymorphic actions by its id; an
// op! is an infix operator wrapping a native, an action, a function or a
// routine. Cell layout of native! (21) and action! (22):
//   header  the type id
//   data1   the native's slot number (1-120) or the action's id (1-62): the
//           call machinery selects the entry routine by it
//   data2   node of the spec block (head 0)
//   data3   node of the "more" block: [a copy of the context cell of a
//           function context made from the spec (on stack, kind 1), the
//           argument cache (unset until the first call builds it)]
// op! (23): the wrapped value's four words, with the header replaced by
// 23 + (wrapped type id << 16). An op wrapping a function! or routine! shares
// its more block, whose cell 4 holds a copy of the function for the call.
//
// Registration: native! (no parent) with make, reflect, form, mold and
// compare; action! and op! (parent native!) with their own make, form, mold
// and compare, reflect inherited.
//
// The natives table has 120 slots of which 1-107 hold natives: a native made
// with a number above 107 can be made and compared, and calling it raises
// internal not-done (callable_number).
//
// Relies on: contexts (spec contexts), symbols and the predefined words
// (reflect fields, /local and /extern), the block! mold handler (specs).
#pragma once

#include "foundation/cell.h"

namespace zel::native {

constexpr int TABLE_SLOTS = 120;
constexpr int USED_SLOTS = 107;

// The number the call machinery dispatches on: a native's slot, an action's
// id, or that of the native or action an op wraps. A native slot without a
// routine behind it raises internal not-done.
int callable_number(const Cell* value);

Cell* make(Cell* proto, Cell* spec, int type);
// `spec` gives the spec block; `body` the slot number, or for an op wrapping
// a function or routine that function's body; other fields raise internal
// not-done.
Cell* reflect(Cell* value, int field);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// -2 unless both have the same type; for the equalities, sorting and
// sameness, the numbers (and an op's wrapped type) compared.
int compare(Cell* value1, Cell* value2, int op);
void init();

}  // namespace zel::native

// The action! datatype (the namespace also holds the handler signatures).
namespace zel::action {
Cell* make(Cell* proto, Cell* spec, int type);
void init();
}  // namespace zel::action

namespace zel::op {

constexpr int WRAPPED_SHIFT = 16;

inline int wrapped_type(const Cell* op) { return int((op->header >> WRAPPED_SHIFT) & 0xFF); }

// The operator spec rule: exactly two arguments (word!, then lit-word! or
// get-word! only after a first word!) by the end of the spec, a set-word, or
// /local or /extern; any other refinement, or a lit-word!/get-word! first,
// refuses the spec.
bool spec_ok_q(const Cell* spec);
// Wraps a native!, action!, function! or routine!.
Cell* make(Cell* proto, Cell* wrapped, int type);
void init();

}  // namespace zel::op
