// Tables of binary action cases (add ... xor~): what the action makes of
// two values, as the result's type and mold, or "category/id" of the error
// raised.
#pragma once

#include <string>

#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

namespace zel::test {

struct BinaryCase {
    int action;
    Cell left, right;
    const char* result;
};

inline std::string binary_outcome(int action, Cell left, Cell right) {
    std::string got;
    std::string error = error_of([&] { got = typed_mold(stack_action(action, {left, right})); });
    return error.empty() ? got : error;
}

inline void check_binary(const BinaryCase& c) {
    EXPECT_EQ(binary_outcome(c.action, c.left, c.right), c.result)
        << ACTION_NAMES[c.action] << " " << typed_mold(c.left) << " " << typed_mold(c.right);
}

}  // namespace zel::test
