// The evaluator where only C++ can look: the stacks a block leaves, the
// arguments of the errors it raises, stack overflow on the interpreter's
// thread. Its cases of Zel code are in tests/cases/eval.cases.
#include "foundation/compare.h"
#include "foundation/platform.h"
#include "interpreter/eval.h"
#include "interpreter/natives.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

void define_eval_test_functions() {
    define_function("f1", "[a]", "[a]");
    define_function("add3", "[a b c /twice /scale k [integer!] /local t]",
                    "[t: a + b + c if twice [t: t * 2] either scale [t * k] [t]]");
    define_function("typed", "[a [integer!]]", "[a]");
    define_function("quoted", "['w [any-type!]]", "[:w]");
    define_function("got", "[:w]", "[:w]");
    define_function("flags", "[/only /part n]", "[reduce [only part n]]");
    define_function("early", "[x]", "[if x = 0 [return 0] return x * 2 99]");
    define_function("quit-early", "[]", "[1 + (exit) 3]");
    define_function("fact", "[n]", "[either n = 0 [1] [n * fact n - 1]]");
    define_function("deep-return", "[]", "[reduce [1 (if true [return 7]) 3]]");
}

class EvalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_eval_test_functions(); }
};

TEST_F(EvalTest, GetWordGivesAFunctionWithoutCallingIt) {
    Cell v = eval_value(":f1");
    EXPECT_EQ(type_of(&v), TYPE_FUNCTION);
    Cell a = eval_value(":append");
    EXPECT_EQ(type_of(&a), TYPE_ACTION);
}

TEST_F(EvalTest, ArgumentStackDepthIsTheSameAfterABlock) {
    Cell code = load("1 2 3 x: 4 f1 x + 1 [a b] (1 (2 3))");
    empty_both_stacks();
    stack::push(&code);
    frames::mark_try_all(&words::word(words::Word::body));
    int before = stack::depth();
    int frames = frames::frame_count();
    ASSERT_FALSE(interpreter::eval_block(stack::arguments() - 1, true));
    EXPECT_EQ(stack::depth(), before + 1);  // the result cell
    EXPECT_EQ(frames::frame_count(), frames);
    EXPECT_EQ(mold_of(*stack::arguments()), "3");
    empty_both_stacks();
}

TEST_F(EvalTest, SetWordAtTheEndNamesTheSetWord) {
    ErrorThrow e = caught_error([] { eval_value("1 x:"); });
    EXPECT_EQ(mold_of(e.args[0]), "x:");
}

TEST_F(EvalTest, PathErrors) {
    ErrorThrow e = caught_error([] { eval_value("b: [a [x 5]] x: 5 b/a/x/y"); });
    EXPECT_EQ(e.id, ERR_script_bad_path_type);
    EXPECT_EQ(mold_of(e.args[0]), "b/a/x/y");
    ErrorThrow cut = caught_error([] { eval_value("x: 5 b: [x 5] b/x/y/z"); });
    EXPECT_EQ(mold_of(cut.args[0]), "b/x/y");
}

TEST_F(EvalTest, ArgumentErrors) {
    ErrorThrow no_arg = caught_error([] { eval_value("append []"); });
    EXPECT_EQ(mold_of(no_arg.args[0]), "append");
    EXPECT_EQ(mold_of(no_arg.args[1]), "value");
    ErrorThrow typed = caught_error([] { eval_value("typed \"s\""); });
    EXPECT_EQ(mold_of(typed.args[0]), "typed");
    EXPECT_EQ(mold_of(typed.args[1]), "string!");
    EXPECT_EQ(mold_of(typed.args[2]), "a");
    ErrorThrow refine = caught_error([] { eval_value("append/foo [] 1"); });
    EXPECT_EQ(mold_of(refine.args[0]), "append");
    EXPECT_EQ(mold_of(refine.args[1]), "foo");
}

// On the interpreter's thread (a big stack with its depth guard armed), as
// scripts run: the frames or the native stack run out first, either way
// with the error.
TEST_F(EvalTest, EndlessRecursionRaisesStackOverflow) {
    define_function("endless", "[n]", "[endless n + 1]");
    define_function("endless-paren", "[n]", "[(endless-paren (n + 1))]");
    int failures = platform::run_on_big_stack(
        [](void*) {
            int bad = 0;
            bad += eval_error("endless 1") != "internal/stack-overflow";
            bad += eval_error("endless-paren 1") != "internal/stack-overflow";
            bad += eval("1 + 1") != "2";  // the stacks are usable afterwards
            return bad;
        },
        nullptr);
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace zel::test
