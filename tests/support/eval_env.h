// The boot environment for tests that evaluate code (boot_env.h), set up
// once per test program, and:
//
//   eval("1 + 2")            -> "3"          the molded result ("error
//                                            category/id" when it raised one)
//   expect_evals({{"1 + 2", "3"}, ...})      a table of them
//   eval_error("1 + none")   -> "script/expect-arg"
//   eval_value("[1 2]")      -> the result cell
//   load("a b")              -> a block! of the values of the text
//
// Each evaluation runs on empty stacks under a barrier frame, as the console's
// evaluation does, and leaves both stacks empty again.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/boot_env.h"
#include "tests/support/runtime_env.h"

namespace zel::test {

class EvalEnvironment : public ::testing::Environment {
public:
    void SetUp() override { boot_environment(); }
};

inline ::testing::Environment* const g_eval_env = ::testing::AddGlobalTestEnvironment(new EvalEnvironment);

// An error comes back as "error category/id", so that a failing case shows
// what it raised.
inline std::string eval(const std::string& text) {
    try {
        return mold_of(eval_value(text));
    } catch (const ErrorThrow& e) {
        return std::string("error ") + e.category_name() + "/" + e.id_name();
    }
}

inline std::string eval_error(const std::string& text) {
    return error_of([&] { eval_value(text); });
}

// A row of a table of evaluations: the code and what eval answers for it.
struct EvalCase {
    const char* code;
    const char* expected;
};

inline void expect_evals(const std::vector<EvalCase>& cases) {
    for (const EvalCase& c : cases) EXPECT_EQ(eval(c.code), c.expected) << c.code;
}

}  // namespace zel::test
