// Add, subtract and multiply of two integer!s with overflow detection: the
// one place these are computed, for the integer! core (integer.cpp), the
// actions' entries (dispatch.cpp) and the evaluator's shortcut
// (eval_shortcut.h). An overflow is not an error: each caller continues it
// as float!, holding the operation done on doubles (on_doubles), or hands
// the operands to a caller that does. Inline and branch-free past the
// operation's choice: the evaluator runs this for every integer operator.
#pragma once

#include <cstdint>

#include "foundation/actions.h"

namespace zel::int_math {

// The operations whose integer! result can overflow.
enum class Op : uint8_t { add, subtract, multiply };

// The operation of an action id into *op; false for any other action.
[[gnu::always_inline]] constexpr bool of_action(uint32_t action, Op* op) {
    switch (action) {
        case ACT_ADD: *op = Op::add; return true;
        case ACT_SUBTRACT: *op = Op::subtract; return true;
        case ACT_MULTIPLY: *op = Op::multiply; return true;
        default: return false;
    }
}

// x op y into *out when the exact result fits an integer! (true); false
// when it overflows, *out then unspecified.
[[gnu::always_inline]] inline bool fits(Op op, int32_t x, int32_t y, int32_t* out) {
    switch (op) {
        case Op::add: return !__builtin_add_overflow(x, y, out);
        case Op::subtract: return !__builtin_sub_overflow(x, y, out);
        case Op::multiply: break;
    }
    return !__builtin_mul_overflow(x, y, out);
}

// The operation on doubles: the float! an overflowing one continues as,
// and the operation of two numbers when either is a float!.
inline double on_doubles(Op op, double x, double y) {
    switch (op) {
        case Op::add: return x + y;
        case Op::subtract: return x - y;
        case Op::multiply: break;
    }
    return x * y;
}

}  // namespace zel::int_math
