// float!: the IEEE 754 double, and the float machinery integer!, percent!,
// time! and the types with float components share: the double math core,
// the tolerant comparison, rounding and power.
//
// Float operations never raise for their results: division by zero gives
// an infinity and invalid operations NaN, every FPU exception being masked
// (set_fpu_mode). The text of floats is float_text.h.
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "foundation/cell.h"
#include "foundation/raise.h"

namespace zel::float_ {

// The run-time's float constants.
constexpr double MAX_FINITE = DBL_MAX;
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double QUIET_NAN = std::bit_cast<double>(uint64_t(0x7FF8000000000000ull));
constexpr double ALMOST_HALF = 0.49999999999999994;  // the largest double below 0.5

// All FPU exceptions masked, round to nearest: done once at start-up.
void set_fpu_mode();

// ---- Making and reading --------------------------------------------------------------

// The double of any float-like cell (float!, percent!, time!).
inline double get(const Cell* c) { return cell::get_float(c); }
// The value of an integer! or char!, or the stored double of a float!,
// percent! or time!.
inline double number_of(const Cell* c) {
    return type_of(c) == TYPE_INTEGER || type_of(c) == TYPE_CHAR ? double(int32_t(c->data2)) : cell::get_float(c);
}
// The double whose bits are given as two 32-bit halves.
inline double from_halves(uint32_t high, uint32_t low) {
    return std::bit_cast<double>(uint64_t(high) << 32 | low);
}
// The cell becomes a float! (the whole header written).
Cell* make_at(Cell* cell, double value);
Cell* box(double value);
Cell* push(double value);
// The double given as its two 32-bit halves.
Cell* push64(uint32_t high, uint32_t low);
Cell* make_in(Cell* block, uint32_t high, uint32_t low);

// ---- Tests -------------------------------------------------------------------------------

inline double abs(double d) {
    return std::bit_cast<double>(std::bit_cast<uint64_t>(d) & 0x7FFFFFFFFFFFFFFFull);
}
bool nan_q(double d);
bool float32_nan_q(float f);
bool not_finite_q(double d);
// Equality within 10 units in the last place (or an absolute difference
// below the double epsilon); NaN equals nothing, an infinity only itself.
bool almost_equal_q(double a, double b);
bool almost_equal32_q(float a, float b);

// d + 0.49999999999999994 truncated toward zero; a result that does not fit
// 32 bits raises `error` with `arg`.
int32_t round_to_int(double d, ErrorId error, const Cell* arg);

// ---- Arithmetic ---------------------------------------------------------------------------

// The double core: ops add, subtract, multiply, divide and remainder of
// scalar_math.h, plain IEEE 754; any other op raises script cannot-use.
double do_math_op(double x, double y, int op);
// The binary actions on the first two argument cells, the left an integer!,
// float!, percent! or time!: the core by the right operand's type.
Cell* do_math(int op);

// Handlers shared with integer! (which hands its float cases over) and
// inherited by percent!.
int compare(Cell* value1, Cell* value2, int op);
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
            bool ceiling, bool half_ceiling);
Cell* power();

void init();

}  // namespace zel::float_
