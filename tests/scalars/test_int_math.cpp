// Add, subtract and multiply of two integer!s give the same value whichever
// way they run: the integer! core, the actions' entries, and the
// evaluator's shortcut (its integer operators, then its operators over
// numbers where those give up). An overflow continues as float! in each.
#include <cstdint>

#include "foundation/stack.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval_shortcut.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;

namespace {

struct IntCase {
    int action;
    int32_t left, right;
    const char* result;  // typed_mold(): type and molded text
};

int op_code(int action) {
    return action == ACT_ADD        ? scalar_math::OP_ADD
           : action == ACT_SUBTRACT ? scalar_math::OP_SUBTRACT
                                    : scalar_math::OP_MULTIPLY;
}

std::string by_core(const IntCase& c) {
    Cell result = int_cell(c.left);
    integer::do_math_op(c.left, c.right, op_code(c.action), &result);
    return typed_mold(result);
}

std::string by_entry(const IntCase& c) {
    stack::reset();
    Cell left = int_cell(c.left), right = int_cell(c.right);
    stack::push(&left);
    stack::push(&right);
    (void)dispatch::entry(c.action)(false, nullptr);
    Cell result = *stack::arguments();
    stack::reset();
    return typed_mold(result);
}

std::string by_shortcut(const IntCase& c) {
    namespace shortcut = interpreter::shortcut;
    Cell result;
    if (!shortcut::integer_call(TYPE_ACTION, uint32_t(c.action), c.left, c.right, &result)) {
        Cell left = int_cell(c.left), right = int_cell(c.right);
        if (!shortcut::number_call(TYPE_ACTION, uint32_t(c.action), &left, &right, &result))
            return "declined";
    }
    return typed_mold(result);
}

}  // namespace

TEST(IntMath, EveryWayGivesTheSameValueAndOverflowContinuesAsFloat) {
    const IntCase cases[] = {
        {ACT_ADD, 2, 3, "integer! 5"},
        {ACT_ADD, INT32_MAX, 1, "float! 2147483648.0"},
        {ACT_ADD, INT32_MIN, -1, "float! -2147483649.0"},
        {ACT_ADD, INT32_MIN, INT32_MAX, "integer! -1"},
        {ACT_SUBTRACT, 2, 3, "integer! -1"},
        {ACT_SUBTRACT, INT32_MIN, 1, "float! -2147483649.0"},
        {ACT_SUBTRACT, 0, INT32_MIN, "float! 2147483648.0"},
        {ACT_SUBTRACT, -1, INT32_MIN, "integer! 2147483647"},
        {ACT_MULTIPLY, 6, -7, "integer! -42"},
        {ACT_MULTIPLY, 65536, 65536, "float! 4294967296.0"},
        {ACT_MULTIPLY, 46341, -46341, "float! -2147488281.0"},
        {ACT_MULTIPLY, INT32_MIN, -1, "float! 2147483648.0"},
        {ACT_MULTIPLY, -65536, 32768, "integer! -2147483648"},
    };
    for (const IntCase& c : cases) {
        const char* name = ACTION_NAMES[c.action];
        EXPECT_EQ(by_core(c), c.result) << "core " << name << " " << c.left << " " << c.right;
        EXPECT_EQ(by_entry(c), c.result) << "entry " << name << " " << c.left << " " << c.right;
        EXPECT_EQ(by_shortcut(c), c.result)
            << "shortcut " << name << " " << c.left << " " << c.right;
    }
}
