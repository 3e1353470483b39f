// The natives table: the built-in functions written in the run-time, one
// entry routine per native, found by number. The numbers 1-107 are a contract
// with the boot image (its native records carry them), so the list below is
// fixed; slots 108-120 exist and are never filled (a native! made with such a
// number raises internal not-done when called).
//
// Calling convention (every entry): the arguments are consecutive cells from
// stack::arguments(), the fixed ones first, then each refinement's arguments
// in spec order; the entry receives the check flag and one slot per
// refinement of the spec, in spec order: -1 when absent, else the position
// (from stack::arguments()) where that refinement's arguments begin (for a
// refinement without arguments, where they would begin). The result is left
// in the first argument cell. The interpreter checks argument types while
// fetching and passes the flag clear; a C++ caller whose argument types are
// open passes it set and the entry checks first (interpreter::check_args).
// Entries answer an Exit (exits.h): non-zero when break, continue, return or
// exit is on its way through them.
//
// A native whose body is not built yet holds `not_built`, which raises
// internal not-done. Each family of natives registers its entries from its
// own module (natives::set) through the list in natives.cpp.
//
// Relies on: the argument stack and exits, the comparison service, the call
// machinery (eval.h) for natives that run code.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/stack.h"
#include "interpreter/exits.h"
#include "interpreter/native.h"

namespace zel::natives {

using exits::Exit;

// An entry routine of a native (and of an action: the call machinery calls
// both alike; actions ignore the check flag).
using Entry = Exit (*)(bool check, const int32_t* refinements);

// name in C++, the native's word, its number.
#define ZEL_NATIVES(X) \
    X(if_, "if", 1) X(unless, "unless", 2) X(either, "either", 3) \
    X(any_, "any", 4) X(all_, "all", 5) X(while_, "while", 6) \
    X(until, "until", 7) X(loop_, "loop", 8) X(repeat, "repeat", 9) \
    X(forever, "forever", 10) X(foreach, "foreach", 11) X(forall, "forall", 12) \
    X(remove_each, "remove-each", 13) X(func, "func", 14) X(function_, "function", 15) \
    X(does, "does", 16) X(has, "has", 17) X(switch_, "switch", 18) \
    X(case_, "case", 19) X(do_, "do", 20) X(get_, "get", 21) \
    X(set_, "set", 22) X(print_, "print", 23) X(prin, "prin", 24) \
    X(equal_q, "equal?", 25) X(not_equal_q, "not-equal?", 26) X(strict_equal_q, "strict-equal?", 27) \
    X(lesser_q, "lesser?", 28) X(greater_q, "greater?", 29) X(lesser_or_equal_q, "lesser-or-equal?", 30) \
    X(greater_or_equal_q, "greater-or-equal?", 31) X(same_q, "same?", 32) X(not_, "not", 33) \
    X(type_q, "type?", 34) X(reduce_, "reduce", 35) X(compose, "compose", 36) \
    X(stats, "stats", 37) X(bind_, "bind", 38) X(in_, "in", 39) \
    X(parse, "parse", 40) X(union_, "union", 41) X(intersect, "intersect", 42) \
    X(unique, "unique", 43) X(difference, "difference", 44) X(exclude, "exclude", 45) \
    X(complement_q, "complement?", 46) X(dehex, "dehex", 47) X(enhex, "enhex", 48) \
    X(negative_q, "negative?", 49) X(positive_q, "positive?", 50) X(max_, "max", 51) \
    X(min_, "min", 52) X(shift, "shift", 53) X(to_hex, "to-hex", 54) \
    X(sine, "sine", 55) X(cosine, "cosine", 56) X(tangent, "tangent", 57) \
    X(arcsine, "arcsine", 58) X(arccosine, "arccosine", 59) X(arctangent, "arctangent", 60) \
    X(arctangent2, "arctangent2", 61) X(nan_q, "NaN?", 62) X(log_2, "log-2", 63) \
    X(log_10, "log-10", 64) X(log_e, "log-e", 65) X(exp_, "exp", 66) \
    X(square_root, "square-root", 67) X(construct, "construct", 68) X(value_q, "value?", 69) \
    X(try_, "try", 70) X(uppercase, "uppercase", 71) X(lowercase, "lowercase", 72) \
    X(as_pair, "as-pair", 73) X(as_point2d, "as-point2D", 74) X(as_point3d, "as-point3D", 75) \
    X(as_money, "as-money", 76) X(break_, "break", 77) X(continue_, "continue", 78) \
    X(exit_, "exit", 79) X(return_, "return", 80) X(throw_, "throw", 81) \
    X(catch_, "catch", 82) X(extend, "extend", 83) X(debase, "debase", 84) \
    X(to_local_file, "to-local-file", 85) X(wait_, "wait", 86) X(checksum, "checksum", 87) \
    X(unset_, "unset", 88) X(new_line, "new-line", 89) X(new_line_q, "new-line?", 90) \
    X(enbase, "enbase", 91) X(context_q, "context?", 92) X(set_env, "set-env", 93) \
    X(get_env, "get-env", 94) X(list_env, "list-env", 95) X(now_, "now", 96) \
    X(sign_q, "sign?", 97) X(as_, "as", 98) X(call_, "call", 99) \
    X(zero_q, "zero?", 100) X(size_q, "size?", 101) X(browse, "browse", 102) \
    X(compress, "compress", 103) X(decompress, "decompress", 104) X(recycle, "recycle", 105) \
    X(transcode, "transcode", 106) X(apply_, "apply", 107)

enum class Native : int {
#define ZEL_NATIVE_ENUM(name, word, number) name = number,
    ZEL_NATIVES(ZEL_NATIVE_ENUM)
#undef ZEL_NATIVE_ENUM
};

constexpr int COUNT = native::USED_SLOTS;

// The words of the natives by number (index 0 unused).
extern const char* const NAMES[COUNT + 1];

extern Entry g_table[native::TABLE_SLOTS + 1];

// Start-up, after the predefined words: every slot not_built, then the
// entries of the families that exist.
void init();
void set(Native number, Entry entry);
inline Entry entry(int number) { return g_table[number]; }

Exit not_built(bool check, const int32_t* refinements);

// ---- Helpers of entries --------------------------------------------------------------------

inline Cell* arg(int i) { return stack::arguments() + i; }
// The first argument cell of refinement k (0-based), or null when absent.
inline Cell* refinement_arg(const int32_t* refinements, int k) {
    return refinements[k] < 0 ? nullptr : stack::arguments() + refinements[k];
}
inline bool has(const int32_t* refinements, int k) { return refinements[k] >= 0; }

// ---- Families registered from their own modules ----------------------------------------------

void register_conditionals();  // natives_control.cpp: if unless either any all switch case
void register_loops();         // natives_loops.cpp: while until loop repeat forever foreach forall remove-each
void register_exceptions();    // natives_exceptions.cpp: try throw catch apply
void register_evaluation();    // natives_eval.cpp: do reduce compose get set bind in parse
void register_definition();    // natives_define.cpp: func function does has type?
void register_output();        // natives_output.cpp: print prin stats
void register_values();        // natives_values.cpp: transcode construct
void register_memory();        // natives_memory.cpp: recycle
void register_encoding();      // natives_encoding.cpp: dehex enhex debase enbase shift to-hex
void register_sets();          // natives_sets.cpp: unique union intersect exclude difference complement?
void register_maths();         // natives_math.cpp: trigonometry, logarithms, zero? NaN? the signs, max min

// ---- Evaluation natives' services ------------------------------------------------------------

// Reduces `value` into the block `target` (a cell that stays in place: on the
// argument stack or a global): a block! gives the value of each expression
// of it, a function value itself, any other value the value of the one
// expression it makes. Results are appended when the target is at its tail
// (it keeps its position; its owner is told once), else inserted at its
// position, which moves past each. Answers the exit of the evaluation.
Exit reduce_into(const Cell* value, Cell* target);

// The newline flag of the last print (true) or prin (false).
extern bool g_last_lf;
// The block print and prin reduce into, shared by nested prints: each
// appends past the tail it found and cuts back to it. A collector root
// (registered with the output natives).
extern Cell g_print_buffer;

// ---- Comparison natives (25-33) and the fast exits (77-80) ---------------------------------

// Identity: same type, then the payload words that make two values the same
// value (the same series at the same position, the same object ...).
bool same_value_q(const Cell* value1, const Cell* value2);

}  // namespace zel::natives
