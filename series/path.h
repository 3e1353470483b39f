// Paths (path!, lit-path!, set-path!, get-path!): block-like series written
// with "/" between their items, a leading "'" (lit-path!), a trailing ":"
// (set-path!) or a leading ":" (get-path!). They share the block's storage
// and almost all its handlers; what differs is here: make, to, form, mold and
// copy, and the decorations of molding. Evaluating a path is the
// evaluator's (eval.h), through each item's eval-path handler.
//
// Cell layout: as block! {header (type 25-28), head index, node, 0}.
//
// Registration: path! (parent block!) with make, to, form, mold and copy of
// its own and the block's reflect, eval-path, compare and series actions
// inherited; lit-path!, set-path! and get-path! (parent path!) with their own
// mold, every other slot inherited.
//
// Relies on: block! (conversion, copy), the workers of any value (form and
// mold of items, any_value.h), the cycle-detection stack, strings; the
// evaluator's store-back (g_store_back, services.h) for the scalars' paths.
#pragma once

#include "foundation/cell.h"

namespace zel::path {

// The cell becomes an empty path! of that capacity.
Cell* make_at(Cell* cell, int capacity);
// The cell's type becomes the path or paren type, and a copy is pushed.
Cell* push_as(Cell* cell, int type);

Cell* make(Cell* proto, Cell* spec, int type);
Cell* to(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);

// A scalar (pair!, tuple! ...) a path reaches is a copy: when a set-path
// changes one of its components, its eval-path handler hands the changed
// value to `store`, which puts it back where the path found it (the
// evaluator's path walk knows where: see interpreter::store_back, whose
// arguments these are). Set by the evaluator's init.
struct StoreBack {
    void (*store)(const Cell* changed, const Cell* path, Cell* owner, Cell* owner_element, int index);
};
extern StoreBack g_store_back;

void init();
void init_lit_path();
void init_set_path();
void init_get_path();

}  // namespace zel::path
