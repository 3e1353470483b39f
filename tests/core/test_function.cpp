// function! and routine! values: the definition natives, spec checking,
// locals, reflection, molding and comparison; calls from C++; routines from
// the routine table.
#include "core/function.h"
#include "core/routine.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

class FunctionTest : public ::testing::Test {
protected:
};

const EvalTable arguments_refinements_and_locals{"FunctionTest.ArgumentsRefinementsAndLocals",
    nullptr, {
    {"f: func [a b] [a + b] f 1 2", "3"},
    {"f: func [a /twice] [either twice [a * 2] [a]] f/twice 4", "8"},
    {"f: func [a /twice] [either twice [a * 2] [a]] f 4", "4"},
    {"f: func [a /scale k [integer!]] [either scale [a * k] [a]] f/scale 3 5", "15"},
    {"f: func [/r x /s y] [reduce [r x s y]] f/s 2", "[false none true 2]"},
    {"f: func [/r x] [reduce [r x]] f", "[false none]"},
    {"f: func [a /local t] [t: a * 2 t + 1] f 5", "11"},
    {"f: func [/local t u] [reduce [local t u]] f", "[false none none]"},
    {"f: func ['w] [w] f hello", "hello"},
    {"f: func [:w] [:w] f (1 + 2)", "(1 + 2)"},
    {"f: func [a return: [integer!]] [a] f 3", "3"},
    {"f: func [[trace] \"doc\" a [integer!] \"about a\" /r \"about r\"] [a] f 3", "3"},
    {"f: func [n] [either n = 0 [0] [n + f n - 1]] f 4", "10"},
    {"f: func [a] [a] f 1 + 2", "3"},
    {"f: func [a] [a] 1 + f 2", "3"},
}};

TEST_F(FunctionTest, ArgumentsRefinementsAndLocals) {
    expect_table(arguments_refinements_and_locals);
}

const EvalTable return_and_exit_leave_the_function_only{
    "FunctionTest.ReturnAndExitLeaveTheFunctionOnly", nullptr, {
    {"f: func [x] [return x * 2 99] f 4", "8"},
    {"f: func [x] [if x > 0 [return 1] 2] reduce [f 5 f 0]", "[1 2]"},
    {"f: func [] [exit 1] f", "unset"},
    {"g: func [] [return 7] f: func [] [g + 1] f", "8"},
    {"f: func [] [do [return 3] 4] f", "3"},
}};

TEST_F(FunctionTest, ReturnAndExitLeaveTheFunctionOnly) {
    expect_table(return_and_exit_leave_the_function_only);
    EXPECT_EQ(eval_error("return 1"), "throw/return");
}

const EvalTable function_collects_set_words_as_locals{
    "FunctionTest.FunctionCollectsSetWordsAsLocals", nullptr, {
    {"f: function [a] [b: a * 2 b] f 3", "6"},
    {"x: 10 f: function [] [x: 5 x] reduce [f x]", "[5 10]"},
    {"f: function [a] [b: 1 (c: 2) [d: 3]] reflect :f 'spec", "[a /local b c d]"},
    {"f: function [a /local b] [b: 1 c: 2] reflect :f 'spec", "[a /local b c]"},
    {"f: function [a /extern y] [a: 1 y: 2 z: 3] reflect :f 'spec", "[a /local z]"},
    {"y: 0 f: function [/extern y] [y: 2] f y", "2"},
    {"f: function [] [foreach [p :q] [] [] repeat i 3 [] remove-each r [] []] reflect :f 'spec",
     "[/local p q i r]"},
    {"f: function [] [map-each m [] []] reflect :f 'spec", "[]"},
    {"f: function [] [local: 1] reflect :f 'spec", "[/local]"},
    {"f: function [] [A: 1 a: 2] reflect :f 'spec", "[/local A]"},
}};

TEST_F(FunctionTest, FunctionCollectsSetWordsAsLocals) {
    expect_table(function_collects_set_words_as_locals);
    EXPECT_EQ(eval_error("function [/extern 1] []"), "script/bad-func-extern");
}

const EvalTable does_and_has{"FunctionTest.DoesAndHas", nullptr, {
    {"f: does [1 + 2] f", "3"},
    {"reflect does [1] 'spec", "[]"},
    {"f: has [t] [t: 4 t] f", "4"},
    {"t: 1 f: has [t] [t: 4] f t", "1"},
    {"reflect has [t u] [] 'spec", "[/local t u]"},
}};

TEST_F(FunctionTest, DoesAndHas) { expect_table(does_and_has); }

void define_not_a_type() { set_global("not-a-type", load_block("[1]")); }

const EvalTable spec_errors{"FunctionTest.SpecErrors", define_not_a_type, {
    {"func [[trace 1] a] []", "script/bad-func-def"},
    {"func [return: [integer!] return: [integer!]] []", "script/bad-func-def"},
    {"func [/local a return: [integer!]] []", "script/bad-func-def"},
    {"func [a: [integer!]] []", "script/bad-func-def"},
    {"func [return: integer!] []", "script/bad-func-def"},
    {"func [return: [integer!] 5] []", "script/bad-func-def"},
    {"func [return: [integer!] a] []", "script/bad-func-def"},
    {"func [a \"doc\" [integer!]] []", "script/bad-func-def"},
    {"func [/local 'a] []", "script/bad-func-def"},
    {"func [/local a /r] []", "script/bad-func-def"},
    {"func [/r [integer!]] []", "script/bad-func-def"},
    {"func [1] []", "script/bad-func-def"},
    {"func [/local a /local] []", "script/dup-vars"},
    {"func [a A] []", "script/dup-vars"},
    {"func [a /a] []", "script/dup-vars"},
    {"func [a [not-a-type]] []", "script/invalid-type-spec"},
    {"func [a [never-set-word]] []", "script/no-value"},
    {"make function! [[a]]", "script/bad-func-def"},
    {"make function! [[a] 1]", "script/bad-func-def"},
    {"make function! [a [b]]", "script/bad-func-def"},
    {"func [a [integer!] \"doc\" b :c 'd /r e return: [block!] /local f g] []", ""},
    {"func [a [integer!] return: [integer!] /local t] []", ""},
    {"func [a return: [integer!] /r] []", "script/bad-func-def"},
    {"make function! [[a] [a]]", ""},
}, eval_error};

TEST_F(FunctionTest, SpecErrors) {
    define_not_a_type();
    expect_table(spec_errors);
    ErrorThrow e = caught_error([] { eval_value("func [a b A] []"); });
    EXPECT_EQ(mold_of(e.args[0]), "A");
}

TEST_F(FunctionTest, AttributeFlags) {
    EXPECT_EQ(eval_value("func [[trace] a] [a]").header & function::FLAG_TRACE, function::FLAG_TRACE);
    EXPECT_EQ(eval_value("func [[no-trace]] []").header & function::FLAG_NO_TRACE, function::FLAG_NO_TRACE);
    EXPECT_EQ(eval_value("func [[other]] []").header & 0xFF00u, 0u);
}

const EvalTable reflect_mold_form_and_compare{"FunctionTest.ReflectMoldFormAndCompare", nullptr, {
    {"func [a] [a + 1]", "func [a][a + 1]"},
    {"form func [a] [a]", "\"?function?\""},
    {"reflect func [a b] [a] 'body", "[a]"},
    {"reflect func [a /r b] [a] 'words", "[a r b]"},
    {"f: func [a] [a] g: func [a] [a] reduce [equal? :f :g equal? :f :f same? :f :f]", "[false true true]"},
    {"f: func [a] [a] g: :f equal? :f :g", "true"},
}};

TEST_F(FunctionTest, ReflectMoldFormAndCompare) {
    expect_table(reflect_mold_form_and_compare);
    EXPECT_EQ(eval_error("reflect func [] [] 'other"), "internal/not-done");
    // The words answered are bound to the function's context.
    Cell words = eval_value("f: func [a b] [] reflect :f 'words");
    gc::root keep_words(&words);
    Cell f = eval_value(":f");
    EXPECT_EQ(block::head(&words)->data1, f.data1);
    // A function without a body.
    Cell spec = load_block("[a]");
    gc::root keep_spec(&spec);
    function::push(&spec, nullptr, 0, 0, 0);
    Cell bodiless = *(stack::top() - 1);
    stack::pop(1);
    EXPECT_EQ(mold_of(bodiless), "func [a] none");
}

const EvalTable the_body_is_a_copy_bound_to_the_function{
    "FunctionTest.TheBodyIsACopyBoundToTheFunction", nullptr, {
    {"b: [a] f: func [a] b reduce [f 1 same? b reflect :f 'body]", "[1 false]"},
    {"a: 5 b: [a] f: func [a] b do b", "5"},
    {"s: [a] f: func next [x a] [a] f 3", "3"},
}};

TEST_F(FunctionTest, TheBodyIsACopyBoundToTheFunction) {
    expect_table(the_body_is_a_copy_bound_to_the_function);
}

// Changing the spec afterwards changes neither the cells a call pushes nor
// what the body reads.
const EvalTable editing_the_spec_later_changes_no_call{
    "FunctionTest.EditingTheSpecLaterChangesNoCall", nullptr, {
    {"s: [a b] f: func s [b] clear next s f 1 2", "2"},
    {"s: [a] f: func s [a] reduce/into [/r 'x] tail s reduce [f 1 s]", "[1 [a /r x]]"},
}};

TEST_F(FunctionTest, EditingTheSpecLaterChangesNoCall) {
    expect_table(editing_the_spec_later_changes_no_call);
    EXPECT_EQ(eval_error("s: [a] f: func s [a] reduce/into [/r] tail s f/r 1"), "script/no-refine");
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
    stack::mark_try_all(&words::word(words::Word::body));
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
    stack::mark_try_all(&words::word(words::Word::body));
    top = stack::top();
    ASSERT_FALSE(interpreter::call_with(&g, three, 3, nullptr));
    EXPECT_EQ(stack::top(), top + 1);
    // A native short of arguments refuses.
    Cell add = eval_value(":add");
    stack::mark_try_all(&words::word(words::Word::body));
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
