// error!: the language's error values, their catalogue and their text.
//
// Language errors are error! values (type 34, a child of object!): objects
// of class 1 whose ten fields are, in this order, code (integer!: category x
// 100 + position of the id - 2), type (the category word), id (the id word),
// arg1, arg2, arg3 (the message arguments), near (the code being run),
// where (the word naming the call that failed), stack (an integer! frame
// position, or a block of calls) and files. Every error is a copy of the
// run-time's prototype with those fields. The words of type and id come from
// the error catalogue (the system/catalog/errors object, loaded from
// boot/base/errors.zel), which also holds each category's title and each
// id's message template; error_ids.h lets C++ code name the same errors by
// position.
//
// Run-time code raises errors with `fire` (raise.h); this module installs
// the maker behind it at start-up: it builds the error! and throws it
// (exits::throw_error, exits.h).
//
// Relies on: objects (the error is one), contexts and words, the argument
// stack and the exits, strings (form and mold).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/cell.h"
#include "foundation/raise.h"

namespace zel {

namespace error {

// The fields of an error, by position.
enum Field : int {
    FIELD_CODE, FIELD_TYPE, FIELD_ID, FIELD_ARG1, FIELD_ARG2, FIELD_ARG3,
    FIELD_NEAR, FIELD_WHERE, FIELD_STACK, FIELD_FILES,
    FIELD_COUNT,
};
constexpr int32_t ERROR_CLASS = 1;

// Registers error! (parent object!).
void init();
// Start-up, after the predefined words: the prototype of every error, and
// the collector root of the prototype, the catalogue and the settings.
void init_prototype();

// The catalogue: the object whose fields are the ten categories, each an
// object of `code`, `type` (its title) and its ids (their templates). Start-up
// installs it once the library source that makes it has run; this also gives
// the catalogue and its categories their fixed class ids. Until one is
// installed, errors name their category and id by words of the same names and
// form without messages.
void set_catalog(const Cell* catalog);
// Forgets the catalogue and the settings, for a run-time shut down and
// started again: they lie in series the shutdown freed.
void forget_catalog();
// The installed catalogue, or none.
const Cell* catalog();
// The two settings forming reads (system/state): how many calls the Stack
// line lists (0: no Stack line; 1 at start) and the files block copied into
// captured errors (none at start).
void set_trace_settings(const Cell* depth, const Cell* files);

// A field's value cell; valid until the next allocation.
Cell* field(const Cell* error, Field f);

// Pushes a new error of that id with the arguments (null: none), near the
// code being run; answers the pushed cell.
Cell* create(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3);
// What C++ callers read of an error being thrown; `argc` as
// exits::throw_error takes it.
ErrorThrow in_flight(const Cell* error, int argc = -1);
// The error's "category/id" words, looked up in the catalogue.
ErrorId id_of(const Cell* error);

// An error's stack field holding a frame position becomes the block of the
// calls up to it (as many as the depth setting when that is positive, else
// one); the files setting, when not none, is copied into files.
void capture_stack(Cell* error);

// Handlers of error! (reflect, copy and select are object!'s).
Cell* make(Cell* proto, Cell* spec, int type);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify);
int compare(Cell* value1, Cell* value2, int op);

}  // namespace error

}  // namespace zel
