// object!: the language's record type, a set of fields, each a word of the
// object's context with a value.
//
// Cell: {header (type 32; error! 34 and port! 48 share the layout), context
// node, class id, change-handler record node or 0}.
//
// The context (context.h) is of kind 2 with the self flag; its owner cell
// holds a copy of the object cell, which every operation making or changing
// the cell stores again. Flag FLAG_OWNER on its context cell: the object owns
// the series held in its fields (ownership.h). A word of the word table
// flagged FLAG_FIELD_CHANGED was set since the flags were last cleared.
//
// Class ids say whether an object still has the shape of the one it was made
// from: one counter, handed out from 1,000,001 up; an object copied from
// another, or made from it without adding fields, keeps its class id. Objects
// built by start-up carry fixed ids below the counter's range.
//
// Change-handler record: made when the context holds a field named
// `on-change*` or `on-deep-change*`; a block of two integer! cells, the field
// index of each handler or -1 when the object has no such field. on-change*
// is called with the word, the old and the new value when a field is set;
// on-deep-change* with the owner, the field word, the series, the action word,
// the new value (none when absent), the index and the part when a series the
// object owns changes. Handlers run as ordinary calls of Zel functions, so
// nothing here keeps a buffer address across them.
//
// Registration: object! (no parent) with make, reflect, form, mold,
// eval-path, compare, copy, put, select and modify.
//
// Relies on: contexts and words, the evaluator (spec blocks, handler calls),
// the argument stack and exits, the action workers (copy, mold, compare of
// field values), ownership, strings and blocks.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "words/context.h"

namespace zel::object {

constexpr uint32_t FLAG_OWNER = context::FLAG_CTX_OWNER;  // on the context cell
constexpr int32_t FIRST_CLASS_ID = 1000001;

using context::object_type;

// ---- Class ids -----------------------------------------------------------------------

// The next class id of the counter.
int32_t next_class_id();
// Start-up, once the objects it builds (each with a fixed class id) exist:
// the classes of objects made later count from FIRST_CLASS_ID again.
void restart_class_counter();
// Gives the object a fixed class id (start-up's boot objects).
void set_class(Cell* object, int32_t class_id);

// ---- Fields --------------------------------------------------------------------------

inline Node context_of(const Cell* object) { return object->data1; }
int32_t count_words(const Cell* object);
// The first value cell; valid until the context grows or a buffer moves.
Cell* get_values(const Cell* object);
// The 0-based field index of the word (any case), or -1.
int32_t find_word(const Cell* object, const Cell* word);
// The field's value cell, or the global none cell when the word is absent.
const Cell* select_word(const Cell* object, const Cell* word);
// The n-th word of a context's word table, bound to it.
using context::get_word;
// Binds the word (any word type) to the object's field of its symbol; false
// (the word unchanged) when there is none. What `in` and `bind` use.
bool bind_word(const Cell* object, Cell* word);

// ---- Making --------------------------------------------------------------------------

// The cell becomes a new empty object of `slots` slots, class 0, no record.
Cell* make_at(Cell* cell, int32_t slots);
// Stores the object cell in its context's owner cell.
void store_owner(const Cell* object);
// Scans the context for the handler fields and gives the object its record
// (none when it has neither); an on-deep-change* field makes the object the
// owner of its series. A handler field holding neither function! nor
// routine! raises script bad-field-set.
void init_events(Cell* object);
// construct: pushes a new object (a copy of the prototype, or fresh with a
// new class id) whose fields are the set-words of the spec, each set to the
// first value after its run of set-words, nothing evaluated; without `only`
// the words true, yes, on, false, no, off and none become their values.
Cell* construct(const Cell* spec, const Cell* prototype, bool only);
// set on an object: every field (but the handlers) takes the value, or with
// a block or object (unless `only`) the values of the same fields or
// positions; `some` skips none values; an unset value without `any` raises
// script need-value.
void set_many(Cell* object, const Cell* value, bool any, bool only, bool some);

// ---- Change handlers -----------------------------------------------------------------

// Calls the object's on-change* (when it has one) with the word, the old
// and the new value.
void fire_on_change(const Cell* object, const Cell* word, const Cell* old_value, const Cell* new_value);
// Calls the owner's on-deep-change* (when it has one) with the owner, the
// field word, the series, the action word, the new value (null: none), the
// index and the part.
void fire_on_deep_change(const Cell* owner, const Cell* word, const Cell* target, const Cell* action,
                         const Cell* value, int index, int part);

// ---- Handlers ------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type);
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
Cell* reflect(Cell* value, int field);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// The fields of form and mold (and of error! mold): `mold_mode` molds them
// as a body with indentation.
// mold with the opening text of the object's type ("make object! [").
int mold_as(Cell* value, Cell* buffer, const char* opening, bool only, bool all, bool flat, int part, int indent);
int serialize(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, bool indent, int level,
              bool mold_mode);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify);
int compare(Cell* value1, Cell* value2, int op);
// The comparison of two values of the object layout, field by field (also
// error! compare's).
int compare_fields(Cell* value1, Cell* value2, int op);
Cell* put(Cell* object, Cell* key, Cell* value, bool case_);
Cell* select(Cell* object, Cell* key, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);
Cell* modify(Cell* object, Cell* field, Cell* value, bool case_);

void init();

}  // namespace zel::object
