// Raising errors and the non-local exits.
//
// Every non-local exit (errors, break, continue, return, exit, throw) is a
// C++ exception carrying its throw code. A catching site compares its catch
// level with the code, unsigned, and rethrows what is not its own.
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
// `fire` is the one way run-time code raises a language error: it names the
// error by category and id and up to three argument values, builds the
// error! and throws it (stack::throw_error, exits.h).
//
// Relies on: objects (the error is one), contexts and words, the argument
// stack and the exits, strings (form and mold).
#pragma once

#include <cstdint>
#include <string>

#include "core/cell.h"
#include "core/error_ids.h"

namespace zel {
// Throw codes, compared unsigned against catch levels.
constexpr uint32_t THROW_ERROR = 0x7FFFFFFF;
constexpr uint32_t THROW_BREAK = 0x7FFFFFFE;
constexpr uint32_t THROW_CONTINUE = 0x7FFFFFFD;
constexpr uint32_t THROW_RETURN = 0x7FFFFFFC;
constexpr uint32_t THROW_EXIT = 0x7FFFFFFB;
constexpr uint32_t THROW_THROW = 0x7FFFFFFA;
constexpr uint32_t THROW_QUIT = 0x0BADCAFE;

// Catch levels.
constexpr uint32_t CATCH_TRY = 0x7FFFFFFF;   // try and function bodies: every exit
constexpr uint32_t CATCH_LOOP = 0x7FFFFFFE;  // loops: break, continue and lower
constexpr uint32_t CATCH_CATCH = 0x7FFFFFFA;
constexpr uint32_t CATCH_ALL = 0xFFFFFFFF;

// The exception every non-local exit travels as.
struct Throw {
    uint32_t code;
    // A record catches a code when its level, compared unsigned, is at least the code.
    bool caught_by(uint32_t level) const { return level >= code; }
};

enum ErrorCategory : int {
#define ZEL_CAT_ENUM(name, pos) ERR_CAT_##name = pos,
    ZEL_ERROR_CATEGORIES(ZEL_CAT_ENUM)
#undef ZEL_CAT_ENUM
};

// An error id packs the category position (high byte) and the id's position
// in its category object (low byte).
enum ErrorId : uint32_t {
#define ZEL_ERR_ENUM(cat, cname, word, pos) ERR_##cat##_##cname = (uint32_t(ERR_CAT_##cat) << 8) | pos,
    ZEL_ERROR_LIST(ZEL_ERR_ENUM)
#undef ZEL_ERR_ENUM
};

inline int error_category(ErrorId id) { return int(id >> 8); }
inline int error_position(ErrorId id) { return int(id & 0xFF); }
// An error's integer code: category x 100 + position of the id - 2.
inline int error_code(ErrorId id) { return error_category(id) * 100 + error_position(id) - 2; }

const char* error_category_name(int category);
const char* error_id_name(ErrorId id);

// An error on its way to a catch: the error! value, and what C++ callers
// read of it, taken from the value when it was thrown (an error made by
// Zel code may have any category and id: one the catalogue does not know
// reads as internal invalid-error).
struct ErrorThrow : Throw {
    Cell value;           // the error! (none when the run-time could not make one)
    ErrorId id;
    int argc;             // arguments given (see stack::throw_error)
    Cell args[3];
    Cell where;           // the word naming the function that failed, or none
    Cell stack_position;  // integer!: the frame position when raised (stack::list_calls)

    int category() const { return error_category(id); }
    const char* category_name() const { return error_category_name(category()); }
    const char* id_name() const { return error_id_name(id); }
};

// Raises the error. Arguments may be null (absent). Never returns.
[[noreturn]] void fire(ErrorId id, const Cell* arg1 = nullptr, const Cell* arg2 = nullptr,
                       const Cell* arg3 = nullptr);

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
// stack::throw_error takes it.
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

// A datatype! value, as the argument of an error about a type.
Cell datatype_arg(int type);
[[noreturn]] void raise_bad_make_arg(int type, const Cell* spec);
// Script bad-to-arg: the target datatype and the value `to` refused.
[[noreturn]] void raise_bad_to_arg(int type, const Cell* value);
// Script expect-arg for the running function's argument number `position`
// (0-based, in the order of its spec's words) holding `value`: names the
// running call's word, the value's datatype and the argument word.
[[noreturn]] void raise_expect_arg(const Cell* value, int position);

}  // namespace error

}  // namespace zel
