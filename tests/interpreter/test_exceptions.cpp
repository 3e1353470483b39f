// try, catch and throw where C++ looks at them: the error pending after a
// try, the stacks after a caught throw or error, a frame stack that fills
// up inside try. Their cases of Zel code are in tests/cases/exceptions.cases.
#include "foundation/platform.h"
#include "interpreter/error.h"
#include "interpreter/natives.h"
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

// The error a try caught names the innermost named function it failed in.
TEST_F(ExceptionTest, TheCaughtErrorNamesWhereItFailed) {
    EXPECT_EQ(tried("try [loop 1 [if true [reads-nothing]]]"), "error! script/no-value");
    EXPECT_EQ(mold_of(exits::pending_error().where), "reads-nothing");
    EXPECT_EQ(tried("try [1 / 0]"), "error! math/zero-divide");
    EXPECT_EQ(mold_of(exits::pending_error().where), "/");
}

// A throw is caught with its stacks put back: the value lands in the
// catch's result cell and nothing is left above it.
TEST_F(ExceptionTest, StacksAfterACaughtThrow) {
    EXPECT_EQ(eval_checking_stacks("catch [1 + (2 * throw 9)] 3 + 4"), "7");
    EXPECT_EQ(eval_checking_stacks("catch [1 + (2 * throw 9)]"), "9");
    EXPECT_EQ(eval_checking_stacks("try [1 + (2 * (1 / 0))] 5"), "5");
    EXPECT_EQ(eval_checking_stacks("catch/name [catch/name [throw/name 1 'b] 'a] 'b"), "1");
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

}  // namespace
}  // namespace zel::test
