// break, continue, return and exit on their fast path: what a loop native,
// a C++ caller of a function and C++ code that cannot pass an exit on see,
// and the stacks they leave.
#include "interpreter/eval.h"
#include "interpreter/natives.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"
#include "tests/support/scoped_native.h"

namespace zel::test {
namespace {

using interpreter::Next;
using exits::Exit;

// A native standing for C++ code that cannot hand an Exit back (a sort's
// comparison, a handler), in forever's slot while these tests run: it runs
// its block once and raises any exit as an exception.
Exit opaque_entry(bool, const int32_t*) {
    Cell body = *natives::arg(0);
    if (Exit e = interpreter::eval_block(&body, true)) exits::raise_exit(e);
    return {};
}

class FastExitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        opaque_ = new ScopedNative(natives::Native::forever, opaque_entry);
        define_function("ret", "[x]", "[loop 3 [return x + 1] 0]");
        define_function("stop", "[]", "[break/return 5]");
        define_function("skip-it", "[]", "[continue]");
        define_function("opaque-return", "[x]", "[forever [return x * 10] 0]");
        define_function("nested", "[n]", "[1 + (2 + (3 + (return n)))]");
        define_function("deep", "[n]", "[loop 1 [loop 1 [(return deep2 n)]]]");
        define_function("deep2", "[n]", "[loop 1 [return n * 2]]");
    }
    static void TearDownTestSuite() { delete opaque_; }
    static inline ScopedNative* opaque_ = nullptr;
};

TEST_F(FastExitTest, BreakAndContinueReachTheLoop) {
    EXPECT_EQ(eval("loop 3 [break]"), "unset");
    EXPECT_EQ(eval("n: 0 loop 3 [n: n + 1 break] n"), "1");
    EXPECT_EQ(eval("loop 3 [1 + (break/return 7) 2]"), "7");
    EXPECT_EQ(eval("n: 0 loop 5 [n: n + 1 continue n: 100] n"), "5");
    EXPECT_EQ(eval("loop 3 [stop]"), "5");  // a break inside a function ends the caller's loop
    EXPECT_EQ(eval("n: 0 loop 4 [n: n + 1 skip-it] n"), "4");
    EXPECT_EQ(eval("loop 2 [loop 3 [break] 9]"), "9");
    EXPECT_EQ(eval("n: 0 loop 2 [n: n + 1 forever [break] 8] n"), "1");  // an exit as an exception lands the same
}

TEST_F(FastExitTest, ReturnLeavesTheFunctionNotTheLoop) {
    EXPECT_EQ(eval("ret 4"), "5");
    EXPECT_EQ(eval("n: 0 loop 3 [n: n + ret 1] n"), "6");
    EXPECT_EQ(eval("nested 9"), "9");
    EXPECT_EQ(eval("deep 21"), "42");
    EXPECT_EQ(eval("opaque-return 4"), "40");
}

TEST_F(FastExitTest, ExitsWithoutATargetAreErrors) {
    EXPECT_EQ(eval_error("stop"), "throw/break");
    EXPECT_EQ(eval_error("skip-it"), "throw/continue");
    EXPECT_EQ(eval_error("loop 2 [return 1]"), "throw/return");
    EXPECT_EQ(eval_error("forever [exit]"), "throw/return");
}

TEST_F(FastExitTest, ABarrierStopsEveryExit) {
    // A barrier inside the loop (try/all, the console's evaluation): break
    // cannot reach the loop below it.
    Cell body = load("break");
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    frames::mark_loop(&words::word(words::Word::body));
    frames::mark_try_all(&words::word(words::Word::body));
    EXPECT_EQ(error_of([&] { (void)interpreter::eval_block(&body, true); }), "throw/break");
    empty_both_stacks();
}

TEST_F(FastExitTest, StacksAreBackAtTheLoopsBase) {
    EXPECT_EQ(eval_checking_stacks("loop 10 [1 + (2 * (break/return 3))] loop 10 [continue] 4"), "4");
}

TEST_F(FastExitTest, AFunctionsContextIsRestoredHoweverItEnds) {
    Cell f = make_function("[a]", "[loop 1 [break] a]");
    Node ctx = function_context_of(f);
    set_global("ctxf", f);
    uint32_t before = context::frame_of(ctx);
    EXPECT_EQ(eval("ctxf 3"), "3");
    EXPECT_EQ(context::frame_of(ctx), before);
    EXPECT_EQ(eval_error("ctxf"), "script/no-arg");
    EXPECT_EQ(context::frame_of(ctx), before);
    Cell g = make_function("[a]", "[stop]");
    set_global("ctxg", g);
    EXPECT_EQ(eval("loop 1 [ctxg 1]"), "5");
    EXPECT_EQ(context::frame_of(function_context_of(g)), 0u);
}

TEST_F(FastExitTest, CallsFromCxx) {
    Cell r = make_function("[a]", "[return a * 3 0]");
    gc::root keep(&r);
    Cell args[3] = {eval_value("4"), eval_value("5"), eval_value("6")};
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    Cell* base = stack::top();
    ASSERT_FALSE(interpreter::call_with(&r, args, 1, nullptr));
    EXPECT_EQ(mold_of(*base), "12");
    EXPECT_EQ(stack::top(), base + 1);
    Cell add = eval_value(":add");
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    ASSERT_FALSE(interpreter::call_with(&add, args + 1, 2, nullptr));
    EXPECT_EQ(mold_of(*(stack::top() - 1)), "11");
    empty_both_stacks();
    // A break from a function called by C++ comes back to it as an Exit,
    // the stacks already at the loop.
    Cell brk = make_function("[]", "[break/return 1]");
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    frames::mark_loop(&words::word(words::Word::body));
    frames::CallFrame* loop = frames::top_frame();
    Exit e = interpreter::call_with(&brk, nullptr, 0, nullptr);
    EXPECT_EQ(e.code, THROW_BREAK);
    EXPECT_EQ(frames::top_frame(), loop);
    EXPECT_EQ(mold_of(*stack::arguments()), "1");
    empty_both_stacks();
}

// The fetch modes of apply: the arguments come from a block.
std::string applied(const char* function, const char* args, int mode) {
    Cell f = eval_value(std::string(":") + function);
    gc::root keep_f(&f);
    Cell block = load_block(args);
    gc::root keep_block(&block);
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    Cell name = word::load(function);
    interpreter::Code code(&block);
    Next n = interpreter::call(&f, &name, code, head_of(block), code.tail(), true, nullptr, 0, mode, false);
    EXPECT_EQ(n.exit, 0u);
    std::string result = mold_of(*(stack::top() - 1));
    empty_both_stacks();
    return result;
}

TEST_F(FastExitTest, ApplyModes) {
    define_function("add3r", "[a b c /twice /scale k]",
                    "[t: a + b + c if twice [t: t * 2] either scale [t * k] [t]]");
    using interpreter::MODE_APPLY;
    using interpreter::MODE_APPLY_ALL;
    using interpreter::MODE_SAFER;
    EXPECT_EQ(applied("add3r", "[1 2 3]", MODE_APPLY), "6");
    EXPECT_EQ(applied("add3r", "[1 2 3 /twice true]", MODE_APPLY), "12");
    EXPECT_EQ(applied("add3r", "[1 2 3 /scale 1 = 1 10]", MODE_APPLY), "60");
    EXPECT_EQ(applied("add3r", "[1 2 3 /scale false 10 /twice true]", MODE_APPLY), "12");
    EXPECT_EQ(applied("add3r", "[1 + 1 2 3]", MODE_APPLY), "7");
    EXPECT_EQ(applied("add3r", "[1 2 3 true false 5]", MODE_APPLY_ALL), "12");
    EXPECT_EQ(applied("add3r", "[1 2 3 true true 5]", MODE_APPLY_ALL), "60");
    EXPECT_EQ(applied("add3r", "[1 2 3 false true 5]", MODE_APPLY_ALL | MODE_SAFER), "30");
    EXPECT_EQ(applied("add3r", "[1 2 3 /scale false (print 1) /twice true]", MODE_APPLY | MODE_SAFER), "12");
    EXPECT_EQ(applied("copy", "[[1 2 3] /part true 2]", MODE_APPLY), "[1 2]");
    EXPECT_EQ(applied("copy", "[[1 2 3] true 1 false false]", MODE_APPLY_ALL), "[1]");
    EXPECT_EQ(error_of([] { applied("add3r", "[1 2 3 5]", MODE_APPLY_ALL); }), "script/expect-arg");
    EXPECT_EQ(error_of([] { applied("add3r", "[1 2 3 twice true]", MODE_APPLY); }), "script/bad-refine");
}

}  // namespace
}  // namespace zel::test
