// routine!: a function whose body is C++ code of the run-time, taken from
// the routine table by index. Routines are made only while booting, by the
// boot-only intrinsic `_boot-routine [spec] [key]`, which finds the key in
// the table; a script cannot make one (routine! has no make). Intrinsics are
// routines too, bound to their words by the run-time itself.
//
// Cell layout (type 29):
//   header  the type id; FLAG_CELLS when the code takes the argument cells
//           themselves rather than machine values; the number of word! items
//           of the spec (its arity) in bits 25-29
//   data1   node of a function context made from the spec (kind 1, on stack)
//   data2   node of the spec block
//   data3   node of the more block: [the body (the key block) or none, the
//           argument cache, integer! table index, unset, integer! result type]
//
// Calling: the evaluator fetches the arguments as for a function! (one cell
// per word of the context), then `exec` runs the code. Without FLAG_CELLS
// each argument is checked by the first word of its type block and passed as
// a machine value (logic! 0 or 1, integer! its value, float! its double, any
// other value its cell), and the machine result becomes a logic!, integer!
// or float! by the result type; RESULT_OWN leaves the code to write the
// result cell (stack::arguments()) itself.
//
// Registration: routine! (parent function!) with its own form, mold and
// compare, reflect inherited.
//
// Relies on: function! (contexts, argument caches, molding), the argument
// stack, the lexer (the intrinsic's spec).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::routine {

constexpr uint32_t FLAG_CELLS = 0x8000;
constexpr int ARITY_SHIFT = 25;
constexpr uint32_t ARITY_MASK = 0x1F;
enum Result : int { RESULT_OWN = -1, RESULT_LOGIC = TYPE_LOGIC, RESULT_INTEGER = TYPE_INTEGER, RESULT_FLOAT = TYPE_FLOAT };

union MachineValue {
    int32_t integer;
    double number;
    Cell* cell;
};
// The code of a routine: the arguments in spec order (cells or machine
// values); the answer is read by the result type.
using Code = MachineValue (*)(const MachineValue* arguments);

struct Entry {
    const char* key;
    Code code;
    int result;
    bool cells;
};

constexpr int TABLE_SLOTS = 256;

// Adds code to the table under a key (the word the boot source names it
// by); answers its index.
int register_code(const char* key, Code code, int result, bool cells);
// The entry of an index, or null.
const Entry* entry(int index);
// The index of the entry whose key is the word's name (any case), or -1.
int find(const Cell* word);

// A new routine! over table entry `index`, pushed on the argument stack.
Cell* push(const Cell* spec, const Cell* body, int index);
inline int arity(const Cell* routine) { return int((routine->header >> ARITY_SHIFT) & ARITY_MASK); }

// Runs the routine whose arguments the call has fetched (its frame on top);
// the result goes to stack::arguments().
void exec(const Cell* routine);

// Boot-only intrinsics: routines over C++ code bound to global words while
// start-up builds the boot environment. `define_intrinsic` binds one (its
// spec given as text); `define_boot_intrinsic` binds `_boot-routine`;
// `end_boot` unsets every one of them again.
void define_intrinsic(const char* name, const char* spec, Code code, int result);
void define_boot_intrinsic();
void end_boot();

int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
int compare(Cell* value1, Cell* value2, int op);
void init();

}  // namespace zel::routine
