// try, catch and throw, alone and nested in each other and in loops and
// functions; the barrier of try/all; apply.
#include "core/natives.h"
#include "core/platform.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

// The result of the code: an error! value as "error! category/id", any
// other value molded; an error raised through to the top as "error
// category/id".
std::string tried(const std::string& code) {
    try {
        Cell v = eval_value(code);
        if (type_of(&v) != TYPE_ERROR) return mold_of(v);
        ErrorId id = error::id_of(&v);
        return std::string("error! ") + error_category_name(error_category(id)) + "/" + error_id_name(id);
    } catch (const ErrorThrow& e) {
        return std::string("error ") + e.category_name() + "/" + e.id_name();
    }
}

void define_exception_functions() {
    define_function("fails", "[]", "[1 / 0]");
    define_function("reads-nothing", "[]", "[never-set]");
    define_function("caught-return", "[]", "[catch [return 3] 4]");
    define_function("tried-return", "[]", "[try [return 5] 6]");
    define_function("barred-return", "[]", "[try/all [return 5] 6]");
    define_function("pair-of", "[a b]", "[reduce [a b]]");
    define_function("thrower", "[x]", "[throw/name x * 2 'done]");
    define_function("add3r", "[a b c /twice /scale k]",
                    "[t: a + b + c if twice [t: t * 2] either scale [t * k] [t]]");
}

class ExceptionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_exception_functions(); }
};

const EvalTable try_table{"ExceptionTest.Try", define_exception_functions, {
    {"try [1 + 2]", "3"},
    {"try []", "unset"},
    {"try [1 / 0]", "error! math/zero-divide"},
    {"try [fails]", "error! math/zero-divide"},
    {"try [x: 1 / 0 5]", "error! math/zero-divide"},
    {"try [undefined-word]", "error! script/no-value"},
    {"try [try [1 / 0] 5]", "5"},
    {"try [try [1 / 0] 1 / 0]", "error! math/zero-divide"},
    {"e: try [1 / 0] 7", "7"},  // the error is a value like any other
    {"try/keep [1 / 0]", "error! math/zero-divide"},
    // break, return and throw pass through try to their targets.
    {"loop 3 [try [break/return 4]]", "4"},
    {"n: 0 loop 3 [n: n + 1 try [continue] n: 100] n", "3"},
    {"tried-return", "5"},
    {"catch [try [throw 5] 6]", "5"},
    // With no target, the exit's own error is what try catches.
    {"try [break]", "error! throw/break"},
    {"try [throw 1]", "error! throw/throw"},
    {"try [return 1]", "error! throw/return"},
}, tried};

TEST_F(ExceptionTest, Try) { expect_table(try_table); }

const EvalTable argument_errors{"ExceptionTest.ArgumentErrors", define_exception_functions, {
    {"try 1", "error script/expect-arg"},
    {"try/all", "error script/no-arg"},
    {"catch 1", "error script/expect-arg"},
    {"catch/name [1] 2", "error script/expect-arg"},
    {"throw", "error script/no-arg"},
    {"throw/name 1 \"a\"", "error script/expect-arg"},
    {"apply 'add 1", "error script/expect-arg"},
}, tried};

TEST_F(ExceptionTest, ArgumentErrors) { expect_table(argument_errors); }

// The error a try caught names the innermost named function it failed in.
TEST_F(ExceptionTest, TheCaughtErrorNamesWhereItFailed) {
    EXPECT_EQ(tried("try [loop 1 [if true [reads-nothing]]]"), "error! script/no-value");
    EXPECT_EQ(mold_of(stack::pending_error().where), "reads-nothing");
    EXPECT_EQ(tried("try [1 / 0]"), "error! math/zero-divide");
    EXPECT_EQ(mold_of(stack::pending_error().where), "/");
}

const EvalTable try_all_is_a_barrier{"ExceptionTest.TryAllIsABarrier", define_exception_functions, {
    {"try/all [1 / 0]", "error! math/zero-divide"},
    {"try/all [1 + 1]", "2"},
    {"n: 0 loop 3 [n: n + 1 try/all [break]] n", "3"},  // break ends at the try
    {"loop 1 [try/all [break]]", "error! throw/break"},
    {"loop 1 [try/all [continue]]", "error! throw/continue"},
    {"catch [try/all [throw 5]]", "error! throw/throw"},
    {"barred-return", "6"},
    {"try/all [loop 2 [break/return 3]]", "3"},  // exits inside the barrier still work
    {"try/all [catch [throw 4]]", "4"},
}, tried};

TEST_F(ExceptionTest, TryAllIsABarrier) { expect_table(try_all_is_a_barrier); }

const EvalTable catch_and_throw{"ExceptionTest.CatchAndThrow", define_exception_functions, {
    {"catch [throw 5]", "5"},
    {"catch [1 + throw 5]", "5"},
    {"catch [10]", "10"},
    {"catch []", "unset"},
    {"catch [throw/name 5 'a]", "5"},  // without /name every throw is caught
    {"catch/name [throw/name 5 'a] 'a", "5"},
    {"catch/name [throw/name 5 'A] 'a", "5"},  // names compare case-insensitively
    {"catch/name [throw/name 5 'b] [a b]", "5"},
    {"catch [catch/name [throw/name 5 'b] 'a 6]", "5"},   // the wrong name passes through
    {"catch [catch/name [throw 5] 'a 6]", "5"},           // so does an unnamed throw
    {"catch/name [catch/name [throw/name 5 'b] 'a 6] 'b", "5"},
    {"catch [(catch [throw 1]) + 10]", "11"},
    {"catch [loop 3 [throw 7]]", "7"},
    {"catch [thrower 21]", "42"},
    {"loop 3 [catch [break/return 2]]", "2"},  // break passes through catch
    {"caught-return", "3"},                   // so does return
    {"throw 1", "error throw/throw"},
    {"catch/name [throw 1] 'a", "error throw/throw"},
    {"catch/name [throw/name 1 'b] [2 a]", "error script/invalid-refine-arg"},
    {"catch/name [throw/name 1 'a] [a 2]", "1"},
    {"catch [1 / 0]", "error math/zero-divide"},  // errors pass through catch
    {"try [catch [1 / 0]]", "error! math/zero-divide"},
}, tried};

TEST_F(ExceptionTest, CatchAndThrow) { expect_table(catch_and_throw); }

// A throw is caught with its stacks put back: the value lands in the
// catch's result cell and nothing is left above it.
TEST_F(ExceptionTest, StacksAfterACaughtThrow) {
    EXPECT_EQ(eval_checking_stacks("catch [1 + (2 * throw 9)] 3 + 4"), "7");
    EXPECT_EQ(eval_checking_stacks("catch [1 + (2 * throw 9)]"), "9");
    EXPECT_EQ(eval_checking_stacks("try [1 + (2 * (1 / 0))] 5"), "5");
    EXPECT_EQ(eval_checking_stacks("catch/name [catch/name [throw/name 1 'b] 'a] 'b"), "1");
    EXPECT_EQ(tried("x: catch [throw 9] x + 1"), "10");
}

const EvalTable attempt_style_nesting{"ExceptionTest.AttemptStyleNesting",
    define_exception_functions, {
    {"n: 0 loop 3 [if 2 = n: n + 1 [try [1 / 0]]] n", "3"},
    {"catch [try [try [throw 3] 1 / 0]]", "3"},
    {"try [catch [try [1 / 0] throw 4]]", "4"},
    {"try [catch [1 / 0]]", "error! math/zero-divide"},
    {"loop 2 [try [try [break/return 5]]]", "5"},
    {"try [loop 2 [try [1 / 0] 1 / 0]]", "error! math/zero-divide"},
}, tried};

TEST_F(ExceptionTest, AttemptStyleNesting) {
    // try inside and around loops, catches and other tries: each error ends
    // at the innermost try, each other exit at its own target.
    expect_table(attempt_style_nesting);
}

// A frame stack that fills up while try pushes its own frame: the error is
// caught by the try around it, whose set-up finished, and the stacks are
// back where that try began. Each level of nest pushes five frames, so the
// parens around the outer try put the overflow on each of them in turn.
TEST_F(ExceptionTest, AnOverflowWhileTrySetsUpEndsAtTheTryAroundIt) {
    define_function("nest", "[]", "[try [nest]]");
    define_function("nest-all", "[]", "[try/all [nest-all]]");
    int failures = platform::run_on_big_stack(
        [](void*) {
            int bad = 0;
            for (const char* call : {"nest", "nest-all"}) {
                std::string code = std::string("try [") + call + "]";
                for (int parens = 0; parens < 5; parens++) {
                    std::string text = "e: " + code + " reduce [type? :e e/id]";
                    std::string got = eval_checking_stacks(text);
                    bad += got != "[error! stack-overflow]";
                    EXPECT_EQ(got, "[error! stack-overflow]") << text;
                    code = "(" + code + ")";
                }
            }
            bad += eval_checking_stacks("loop 2 [try [nest]] 1 + 1") != "2";
            return bad;
        },
        nullptr);
    EXPECT_EQ(failures, 0);
}

const EvalTable apply{"ExceptionTest.Apply", define_exception_functions, {
    {"apply :add [1 2]", "3"},
    {"apply 'add [1 2]", "3"},
    {"apply :+ [1 2]", "3"},
    {"apply 'copy/part [[1 2 3] 2]", "[1 2]"},
    {"apply 'copy [[1 2 3] /part true 2]", "[1 2]"},
    {"apply/all 'copy [[1 2 3] true 1 false false]", "[1]"},
    {"apply 'add3r [1 2 3]", "6"},
    {"apply 'add3r [1 2 3 /scale 1 = 1 10]", "60"},
    {"apply/all :add3r [1 2 3 true false 5]", "12"},
    {"apply/safer 'add3r [1 2 3 /scale false (1 / 0) /twice true]", "12"},
    {"apply 'add [1 2] 5", "5"},
    {"x: 5 apply 'x [1]", "error script/invalid-arg"},
    {"apply 'add/only [1 2]", "error script/no-refine"},
    {"apply 5 [1]", "error script/expect-arg"},
    {"apply 'pair-of [1]", "[1 none]"},  // values missing from the block are none
    {"loop 2 [apply 'either [true [break/return 6] [7]]]", "6"},
}, tried};

TEST_F(ExceptionTest, Apply) { expect_table(apply); }

}  // namespace
}  // namespace zel::test
