// The boot environment for tests that evaluate code (boot_env.h), set up
// once per test program, and:
//
//   eval("1 + 2")            -> "3"          the molded result ("error
//                                            category/id" when it raised one)
//   expect_evals({{"1 + 2", "3"}, ...})      a table of them
//   eval_error("1 + none")   -> "script/expect-arg"
//   eval_value("[1 2]")      -> the result cell
//   load("a b")              -> a block! of the values of the text
//   expect_results({{"1 + 2", "3"}, ...})   a table of codes and results
//   eval_checking_stacks("...")             eval, checking the stacks left
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

[[maybe_unused]] static ::testing::Environment* const g_eval_env =
    ZEL_FILE_ENVIRONMENT([] { boot_environment(); });

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

// A table of cases: each code and what `run` makes of it (by default the
// molded result, "error category/id" when it raised one).
struct EvalCase {
    const char* code;
    const char* expected;
};

inline void expect_results(std::initializer_list<EvalCase> cases,
                           std::string (*run)(const std::string&) = eval) {
    for (const EvalCase& c : cases) EXPECT_EQ(run(c.code), c.expected) << c.code;
}

// Evaluates the code on empty stacks under a barrier, as eval does, and
// checks that it leaves both stacks as it found them but for its result in
// the barrier's result cell; answers the molded result.
inline std::string eval_checking_stacks(const std::string& text) {
    Cell code = load_text(text);
    empty_both_stacks();
    stack::push(&code);
    frames::mark_try_all(&words::word(words::Word::body));
    int frames = frames::frame_count();
    Cell* base = stack::arguments();
    std::string result = "exit";
    exits::Exit exit;
    try {
        exit = interpreter::eval_block(base - 1, true);
    } catch (const ErrorThrow& e) {
        empty_both_stacks();
        return std::string("error ") + e.category_name() + "/" + e.id_name();
    }
    if (!exit) {
        EXPECT_EQ(frames::frame_count(), frames) << text;
        EXPECT_EQ(stack::arguments(), base) << text;
        EXPECT_EQ(stack::top(), base + 1) << text;
        result = mold_of(*base);
    }
    empty_both_stacks();
    return result;
}

}  // namespace zel::test
