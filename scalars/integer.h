// integer!: the signed 32-bit integer, the helpers through which the whole
// run-time makes and reads integers, and the exact integer arithmetic.
//
// Overflow of add, subtract and multiply, and an inexact quotient, turn the
// result into a float! instead of raising; a zero divisor raises math
// zero-divide and the one unrepresentable quotient (-2147483648 / -1) math
// overflow. char! and handle! keep their number the same way and inherit
// several handlers.
//
// Every conversion of a double to a 32-bit integer in the run-time goes
// through from_float (or, for a number cell, cell::number_to_int), which
// raises instead of truncating a value that does not fit (cell::fits_int32).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/raise.h"

namespace zel::integer {

// ---- Making and reading --------------------------------------------------------------

// Payload word 2 of any integer-like cell (integer!, char!, handle!).
inline int32_t get(const Cell* c) { return int32_t(c->data2); }
// The cell becomes an integer! holding value, keeping its header flags.
Cell* make_at(Cell* cell, int32_t value);
// The first argument cell becomes an integer! (the whole header written).
Cell* box(int32_t value);
Cell* push(int32_t value);
Cell* make_in(Cell* block, int32_t value);
int32_t get_arg();
// The first argument's value when it is an integer!, else 0.
int32_t get_arg_or_zero();

// ---- Conversions -----------------------------------------------------------------------

// NaN, or outside -2147483648.0 .. 2147483647.0.
bool float_out_of_range_q(double d);
// The double truncated toward zero. A value float_out_of_range_q refuses
// (NaN and the infinities included) raises `error` with the arguments given.
int32_t from_float(double d, ErrorId error, const Cell* arg1 = nullptr, const Cell* arg2 = nullptr);

// The integer of an issue! (to integer!): its name's bytes read as at most 8
// hexadecimal digits (#FFFFFFFF is -1); a longer name or any other byte raises
// script invalid-data with the issue.
int32_t from_hex_name(const uint8_t* name, int length, const Cell* issue);

// Decimal text, "-2147483648" at most.
struct DecimalText {
    char chars[12];
    int length;
    const char* c_str() const { return chars; }
};
DecimalText to_decimal(int32_t value);

// ---- Arithmetic ---------------------------------------------------------------------------

// Absolute value; -2147483648 raises math overflow.
int32_t abs(int32_t value);
int sign(int32_t value);

// The integer core (ops of scalar_math.h). With a result cell, an overflowing
// add, subtract or multiply, or an inexact divide, makes the cell a float!
// holding the exact double result and answers 0; otherwise the result is also
// stored in the cell's payload. Zero divisors raise math zero-divide,
// -2147483648 divided or remaindered by -1 math overflow.
int32_t do_math_op(int32_t left, int32_t right, int op, Cell* result);
// The binary actions on the first two argument cells, the left an integer:
// the core by the right operand's type.
Cell* do_math(int op);

// Shifts data by bits (a negative count shifts by 0): left, logical right
// (unsigned), or arithmetic right. Counts of 32 and more shift every bit out.
int32_t shift(int32_t data, int32_t bits, bool left, bool logical);

void init();

}  // namespace zel::integer
