// The evaluator: blocks, expressions, infix chains, words of every kind,
// parens, paths and set-paths, calls of functions with refinements, argument
// errors, and break, continue, return and exit on their fast path.
#include "core/compare.h"
#include "core/eval.h"
#include "core/natives.h"
#include "core/platform.h"
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

void define_tens() { define_function("tens", "[a b [integer!]]", "[a * 10 + b]"); }

class EvalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_eval_test_functions(); }
};

const EvalTable operators_chain_left_to_right{"EvalTest.OperatorsChainLeftToRight",
    define_eval_test_functions, {
    {"1 + 2 * 3", "9"},
    {"2 * 3 + 1", "7"},
    {"10 - 2 - 3", "5"},
    {"1 + 2 = 3", "true"},
    {"3 = 1 + 2", "error script/expect-arg"},  // (3 = 1) + 2: no precedence
    {"f1 1 + 2", "3"},       // an argument takes the whole chain
    {"1 + f1 2", "3"},       // an operator's right operand may be a call
    {"(1 + 2) * 3", "9"},
    {"2 * (3 + 1)", "8"},
}};

TEST_F(EvalTest, OperatorsChainLeftToRight) { expect_table(operators_chain_left_to_right); }

const EvalTable blocks_and_results{"EvalTest.BlocksAndResults", define_eval_test_functions, {
    {"", "unset"},  // the empty block
    {"1 2 3", "3"},
    {"[1 + 2]", "[1 + 2]"},
    {"()", "unset"},
    {"(1 2)", "2"},
    {"x: 5 x", "5"},
    {"x: y: 7 x + y", "14"},
    {"x: 1 x: x + 1 x: x + 1", "3"},
}};

TEST_F(EvalTest, BlocksAndResults) { expect_table(blocks_and_results); }

const EvalTable word_kinds{"EvalTest.WordKinds", define_eval_test_functions, {
    {"x: 5 :x", "5"},
    {"'w", "w"},
    {"x: 'w x", "w"},
    {"b: ['v] b/1", "'v"},
    {"b: ['v] lw: b/1 lw", "'v"},
}};

TEST_F(EvalTest, WordKinds) { expect_table(word_kinds); }

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
    stack::mark_try_all(&words::word(words::Word::body));
    int before = stack::depth();
    int frames = stack::frame_count();
    ASSERT_FALSE(interpreter::eval_block(stack::arguments() - 1, true));
    EXPECT_EQ(stack::depth(), before + 1);  // the result cell
    EXPECT_EQ(stack::frame_count(), frames);
    EXPECT_EQ(mold_of(*stack::arguments()), "3");
    empty_both_stacks();
}

const EvalTable evaluation_errors{"EvalTest.EvaluationErrors", define_eval_test_functions, {
    {"x:", "script/need-value"},
    {"1 x:", "script/need-value"},
    {"x: ()", "script/need-value"},
    {"no-such-word-here", "script/no-value"},
    {"+ 1", "script/no-op-arg"},
    {"b: [1 2] b/:no-such-word", "script/unset-path"},
    {"no-such-block/1", "script/unset-path"},
    {"#system [a]", "internal/zel-system"},
}, eval_error};

TEST_F(EvalTest, EvaluationErrors) { expect_table(evaluation_errors); }

TEST_F(EvalTest, SetWordAtTheEndNamesTheSetWord) {
    ErrorThrow e = caught_error([] { eval_value("1 x:"); });
    EXPECT_EQ(mold_of(e.args[0]), "x:");
}

const EvalTable parens{"EvalTest.Parens", define_eval_test_functions, {
    {"(1 + 2) * (3 + 4)", "21"},
    {"b: [10 20 30] b/(1 + 1)", "20"},
    {"b: [10 20 30] b/(1 + 1): 5 b", "[10 5 30]"},
}};

TEST_F(EvalTest, Parens) { expect_table(parens); }

const EvalTable paths_into_blocks{"EvalTest.PathsIntoBlocks", define_eval_test_functions, {
    {"b: [a 1 b 2] b/b", "2"},
    {"b: [a 1 b 2] b/3", "b"},
    {"b: [a [x 5] b 2] b/a/x", "5"},
    {"b: [a 1] n: 'a b/:n", "1"},
    {"b: [1 2 3] b/2: 20 b", "[1 20 3]"},
    {"b: [a [7 5]] b/a/2: 6 b", "[a [7 6]]"},
    {"b: [1 2 3] b/4", "none"},
    {"b: [1 2 3] 'b/2", "b/2"},
    {"b: [1 2 3] :b/2", "2"},
}};

TEST_F(EvalTest, PathsIntoBlocks) { expect_table(paths_into_blocks); }

const EvalTable path_errors{"EvalTest.PathErrors", define_eval_test_functions, {
    {"x: 5 x/1", "script/bad-path-type"},
    {"x: 5 x/1: 2", "script/bad-path-type"},
    {"b: [1 2] b/(3 + 3): 1", "script/out-of-range"},
    {"f1/x: 1", "script/invalid-path-set"},
    {":f1/x", "script/invalid-path-get"},
    {"b: [1] b/(())", "script/unset-path"},
}, eval_error};

TEST_F(EvalTest, PathErrors) {
    expect_table(path_errors);
    ErrorThrow e = caught_error([] { eval_value("b: [a [x 5]] x: 5 b/a/x/y"); });
    EXPECT_EQ(e.id, ERR_script_bad_path_type);
    EXPECT_EQ(mold_of(e.args[0]), "b/a/x/y");
    ErrorThrow cut = caught_error([] { eval_value("x: 5 b: [x 5] b/x/y/z"); });
    EXPECT_EQ(mold_of(cut.args[0]), "b/x/y");
}

const EvalTable functions_with_refinements{"EvalTest.FunctionsWithRefinements",
    define_eval_test_functions, {
    {"add3 1 2 3", "6"},
    {"add3/twice 1 2 3", "12"},
    {"add3/scale 1 2 3 10", "60"},
    {"add3/scale/twice 1 2 3 10", "120"},
    {"add3/twice/scale 1 2 3 10", "120"},
    {"twice: true add3/:twice 1 2 3", "12"},
    {"twice: false add3/:twice 1 2 3", "6"},
    {"flags", "[false false none]"},
    {"flags/part 5", "[false true 5]"},
    {"flags/only/part 5", "[true true 5]"},
    {"only: false flags/:only", "[false false none]"},
    {"only: 1 flags/:only", "[true false none]"},
}};

TEST_F(EvalTest, FunctionsWithRefinements) { expect_table(functions_with_refinements); }

const EvalTable operators_made_from_functions{"EvalTest.OperatorsMadeFromFunctions",
    define_tens, {
    {"x: make op! :tens 1 x 2", "12"},
    {"x: make op! :tens 1 x 2 x 3", "123"},
    {"x: make op! :tens 1 + 1 x 2", "22"},
}};

TEST_F(EvalTest, OperatorsMadeFromFunctions) {
    define_tens();
    expect_table(operators_made_from_functions);
    EXPECT_EQ(eval_error("x: make op! :tens 1 x \"a\""), "script/expect-arg");
}

const EvalTable path_headed_by_an_action_calls_it_with_refinements{
    "EvalTest.PathHeadedByAnActionCallsItWithRefinements", define_eval_test_functions, {
    {"copy/part [1 2 3] 2", "[1 2]"},
    {"mold/only [1 2]", "\"1 2\""},
    {"mold/part [1 2 3] 3", "\"[1 \""},
    {"b: [1 2 3] remove/part b 2 b", "[3]"},
    {"head reverse/part [1 2 3] 2", "[2 1 3]"},
    {"o: reduce ['f :f1] o/f 5", "5"},
}};

TEST_F(EvalTest, PathHeadedByAnActionCallsItWithRefinements) {
    expect_table(path_headed_by_an_action_calls_it_with_refinements);
}

const EvalTable argument_errors{"EvalTest.ArgumentErrors", define_eval_test_functions, {
    {"append []", "script/no-arg"},
    {"f1", "script/no-arg"},
    {"typed \"s\"", "script/expect-arg"},
    {"add3/nothing 1 2 3", "script/no-refine"},
    {"add3/twice/twice 1 2 3", "script/dup-refine"},
    {"append/only/only [] 1", "script/dup-refine"},
    {"add3/1 1 2 3", "script/bad-refine"},
    {"add3/(true) 1 2 3", "script/bad-refine"},
    {"add3/:no-value-here 1 2 3", "script/no-value"},
    {"f1 ()", "script/expect-arg"},
}, eval_error};

TEST_F(EvalTest, ArgumentErrors) {
    expect_table(argument_errors);
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

const EvalTable argument_passing_modes{"EvalTest.ArgumentPassingModes",
    define_eval_test_functions, {
    {"quoted", "unset"},  // a lit-word argument that may be unset takes the end as unset
    {"quoted abc", "abc"},
    {"quoted (1 + 2)", "3"},
    {"x: 4 quoted :x", "4"},
    {"got (1 + 2)", "(1 + 2)"},
    {"got abc", "abc"},
}};

TEST_F(EvalTest, ArgumentPassingModes) { expect_table(argument_passing_modes); }

const EvalTable fast_exits_from_nested_expressions{"EvalTest.FastExitsFromNestedExpressions",
    define_eval_test_functions, {
    {"early 0", "0"},
    {"early 4", "8"},
    {"quit-early", "unset"},
    {"1 + early 5", "11"},
    {"fact 10", "3628800"},
    {"deep-return", "7"},
    {"reduce [1 early 2 3]", "[1 4 3]"},
}};

const EvalTable fast_exits_from_nested_expressions_2{"EvalTest.FastExitsFromNestedExpressions.2",
    define_eval_test_functions, {
    {"return 1", "throw/return"},
    {"exit", "throw/return"},
    {"break", "throw/break"},
    {"continue", "throw/continue"},
}, eval_error};

TEST_F(EvalTest, FastExitsFromNestedExpressions) {
    expect_table(fast_exits_from_nested_expressions);
    expect_table(fast_exits_from_nested_expressions_2);
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
