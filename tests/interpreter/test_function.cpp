// function! and routine! values where C++ looks at them: the argument of a
// spec error, attribute flags, the binding of reflected words, a function
// without a body, calls from C++, routines from the routine table. The
// cases of Zel code are in tests/cases/function.cases.
#include "interpreter/function.h"
#include "interpreter/routine.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

class FunctionTest : public ::testing::Test {
protected:
};

TEST_F(FunctionTest, SpecErrors) {
    ErrorThrow e = caught_error([] { eval_value("func [a b A] []"); });
    EXPECT_EQ(mold_of(e.args[0]), "A");
}

TEST_F(FunctionTest, AttributeFlags) {
    EXPECT_EQ(eval_value("func [[trace] a] [a]").header & function::FLAG_TRACE, function::FLAG_TRACE);
    EXPECT_EQ(eval_value("func [[no-trace]] []").header & function::FLAG_NO_TRACE, function::FLAG_NO_TRACE);
    EXPECT_EQ(eval_value("func [[other]] []").header & 0xFF00u, 0u);
}

TEST_F(FunctionTest, ReflectedWordsAndABodilessMold) {
    // The words answered are bound to the function's context.
    Cell words = eval_value("f: func [a b] [] reflect :f 'words");
    gc::root keep_words(&words);
    Cell f = eval_value(":f");
    EXPECT_EQ(binding_of(*block::head(&words)), function_context_of(f));
    // A function without a body.
    Cell spec = load_block("[a]");
    gc::root keep_spec(&spec);
    function::push(&spec, nullptr, 0, 0, 0);
    Cell bodiless = *(stack::top() - 1);
    stack::pop(1);
    EXPECT_EQ(mold_of(bodiless), "func [a] none");
}

// A C++ caller gives fewer arguments than the function takes: the others
// are none, the refinements false with none arguments, the locals as usual;
// no cell is read that was not pushed.
TEST_F(FunctionTest, CallsFromCppPushOneCellPerContextWord) {
    Cell f = eval_value("func [a b /r x /local t] [reduce [a b r x local t]]");
    gc::root keep_f(&f);
    Cell one;
    cell::set(&one, TYPE_INTEGER, 0, 1);
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    Cell* top = stack::top();
    ASSERT_FALSE(interpreter::call_with(&f, &one, 1, nullptr));
    EXPECT_EQ(mold_of(*(stack::top() - 1)), "[1 none false none false none]");
    EXPECT_EQ(stack::top(), top + 1);
    EXPECT_EQ(interpreter::call_cells(&f), 6);
    // Arguments given beyond the function's are not pushed.
    Cell three[3] = {one, one, one};
    Cell g = eval_value("func [a] [a]");
    gc::root keep_g(&g);
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    top = stack::top();
    ASSERT_FALSE(interpreter::call_with(&g, three, 3, nullptr));
    EXPECT_EQ(stack::top(), top + 1);
    // A native short of arguments refuses.
    Cell add = eval_value(":add");
    frames::mark_try_all(&words::word(words::Word::body));
    EXPECT_EQ(error_of([&] { (void)interpreter::call_with(&add, &one, 1, nullptr); }), "script/no-arg");
    empty_both_stacks();
}

// ---- routine! -------------------------------------------------------------------------------

routine::MachineValue add_integers(const routine::MachineValue* a) {
    return routine::MachineValue{.integer = a[0].integer + a[1].integer};
}
routine::MachineValue halve(const routine::MachineValue* a) { return routine::MachineValue{.number = a[0].number / 2}; }
routine::MachineValue positive(const routine::MachineValue* a) { return routine::MachineValue{.integer = a[0].integer > 0}; }
routine::MachineValue second_cell(const routine::MachineValue* a) { return routine::MachineValue{.cell = a[1].cell}; }
routine::MachineValue is_block(const routine::MachineValue* a) {
    return routine::MachineValue{.integer = type_of(a[0].cell) == TYPE_BLOCK};
}

class RoutineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        routine::register_code("test-add", add_integers, routine::RESULT_INTEGER, false);
        routine::register_code("test-halve", halve, routine::RESULT_FLOAT, false);
        routine::register_code("test-positive?", positive, routine::RESULT_LOGIC, false);
        routine::register_code("test-second", second_cell, routine::RESULT_OWN, true);
        routine::register_code("test-block?", is_block, routine::RESULT_LOGIC, false);
    }
};

TEST_F(RoutineTest, MadeByTheBootIntrinsicFromTheTable) {
    expect_results({
        {"r: _boot-routine [a [integer!] b [integer!]] [test-add] r 2 3", "5"},
        {"r: _boot-routine [x [float!]] [test-halve] r 3.0", "1.5"},
        {"r: _boot-routine [n [integer!]] [test-positive?] reduce [r 3 r -3]", "[true false]"},
        {"r: _boot-routine [a [any-type!] b [any-type!]] [test-second] r 1 \"x\"", "\"x\""},
        {"r: _boot-routine [v [any-type!]] [test-block?] reduce [r [] r \"x\"]", "[true false]"},
        {"r: _boot-routine [a [integer!] b [integer!]] [test-add] 1 + r 2 3", "6"},
        {"r: _boot-routine [a [integer!] b [integer!]] [Test-ADD] r 2 3", "5"},
        {"type? _boot-routine [] [last-lf?]", "routine!"},
        {"_boot-routine [\"Internal Use Only\"] [last-lf?]", "routine [\"Internal Use Only\"][last-lf?]"},
        {"form _boot-routine [] [last-lf?]", "\"?routine?\""},
        {"reflect _boot-routine [a] [test-add] 'spec", "[a]"},
        {"r: _boot-routine [] [last-lf?] s: :r reduce [equal? :r :s equal? :r _boot-routine [] [last-lf?]]",
         "[true false]"},
    });
    EXPECT_EQ(eval_error("r: _boot-routine [a [integer!]] [test-add] r \"x\""), "script/expect-arg");
    for (const char* key : {"no-such-routine", "test-ad", "test-addx", "test-add?"})
        EXPECT_EQ(eval_error(std::string("_boot-routine [] [") + key + "]"), "script/invalid-arg") << key;
    EXPECT_EQ(eval_error("_boot-routine [] []"), "script/invalid-arg");
    EXPECT_EQ(eval_error("make routine! [[] []]"), "script/expect-arg");
}

TEST_F(RoutineTest, ArityCountsTheSpecsWords) {
    Cell r = eval_value("_boot-routine [\"doc\" a [integer!] b [integer!] return: [integer!]] [test-add]");
    EXPECT_EQ(routine::arity(&r), 2);
    EXPECT_EQ(r.header & routine::FLAG_CELLS, 0u);
    Cell c = eval_value("_boot-routine [a b] [test-second]");
    EXPECT_EQ(c.header & routine::FLAG_CELLS, routine::FLAG_CELLS);
}

TEST_F(RoutineTest, TheIntrinsicIsGoneAfterBoot) {
    routine::end_boot();
    EXPECT_EQ(eval_error("_boot-routine [] [last-lf?]"), "script/no-value");
    routine::define_boot_intrinsic();
    EXPECT_EQ(eval("type? _boot-routine [] [last-lf?]"), "routine!");
}

}  // namespace
}  // namespace zel::test
