// Argument stack operations that calls use on their way out.
#include "foundation/stack.h"
#include "tests/support/stack_env.h"

using namespace zel;
using namespace zel::test;

namespace {
class ArgumentStack : public StackTest {};
}  // namespace

TEST_F(ArgumentStack, KeepErrorResultTakesOnlyAnErrorFromTheTop) {
    struct Case {
        int top_type;
        int result;
    };
    const Case cases[] = {{TYPE_ERROR, TYPE_ERROR}, {TYPE_NONE, TYPE_INTEGER}};
    for (const Case& c : cases) {
        empty_stacks();
        Cell first = integer_of(1), last;
        cell::set(&last, c.top_type);
        stack::push(&first);
        stack::push(&first);
        stack::push(&last);
        stack::keep_error_result();
        EXPECT_EQ(type_of(stack::arguments()), c.result);
        EXPECT_EQ(stack::top(), stack::arguments() + 1);
    }
}

TEST_F(ArgumentStack, DropUnderPutsTheTopCellInPlaceOfTheOneBelow) {
    Cell callable, result = integer_of(9);
    cell::set(&callable, TYPE_NATIVE, 4);
    stack::push(&callable);
    stack::push(&result);
    stack::drop_under();
    EXPECT_EQ(stack::depth(), 1);
    EXPECT_EQ(type_of(stack::bottom()), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(stack::bottom()), 9);
}
