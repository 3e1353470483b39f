// Raising errors: the throw codes every non-local exit travels with, the
// run-time's error ids, and `fire`, the one way run-time code raises a
// language error.
//
// Every non-local exit (errors, break, continue, return, exit, throw) is a
// C++ exception carrying its throw code. A catching site compares its catch
// level with the code, unsigned, and rethrows what is not its own.
//
// Making the error! value that travels needs objects, the catalogue and the
// stacks, which live above every module that raises; the error module
// installs that maker here at start-up (raise::install). Until it has, an
// error travels bare: its id and arguments without an error! value.
//
// Relies on: cells, the datatype ids.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/error_ids.h"

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
    int argc;             // arguments given (see exits::throw_error)
    Cell args[3];
    Cell where;           // the word naming the function that failed, or none
    Cell stack_position;  // integer!: the frame position when raised (frames::list_calls)

    int category() const { return error_category(id); }
    const char* category_name() const { return error_category_name(category()); }
    const char* id_name() const { return error_id_name(id); }
};

// Raises the error. Arguments may be null (absent). Never returns.
[[noreturn]] void fire(ErrorId id, const Cell* arg1 = nullptr, const Cell* arg2 = nullptr,
                       const Cell* arg3 = nullptr);

namespace raise {

// What the error module installs: the maker of a thrown error! (it must
// throw), and the words naming the running call and its argument number
// `position` for expect-arg.
struct Hooks {
    void (*fire)(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3);
    void (*expect_arg_words)(int position, Cell* function, Cell* argument);
};
void install(const Hooks& hooks);

// An error with no error! value, its arguments copied (null: absent).
ErrorThrow bare(ErrorId id, const Cell* const given[3]);

// A datatype! value, as the argument of an error about a type.
Cell datatype_arg(int type);
[[noreturn]] void bad_make_arg(int type, const Cell* spec);
// Script bad-to-arg: the target datatype and the value `to` refused.
[[noreturn]] void bad_to_arg(int type, const Cell* value);
// Script expect-arg for the running function's argument number `position`
// (0-based, in the order of its spec's words) holding `value`: names the
// running call's word, the value's datatype and the argument word.
[[noreturn]] void expect_arg(const Cell* value, int position);

}  // namespace raise

}  // namespace zel
