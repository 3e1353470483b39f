// The natives that evaluate code and bind words: do, reduce, compose, get,
// set, bind, in and the entry of parse.
#include <vector>

#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

class EvalNatives : public ::testing::Test {
protected:
};

const EvalTable do_evaluates_blocks_strings_and_single_values{
    "EvalNatives.DoEvaluatesBlocksStringsAndSingleValues", nullptr, {
    {"do [1 + 2]", "3"},
    {"do []", "unset"},
    {"do [1 2] ", "2"},
    {"do \"1 + 2\"", "3"},
    {"do \"\"", "unset"},
    {"do 5", "5"},
    {"x: 7 do 'x", "7"},
    {"f: func [] [42] do :f", "42"},
    {"b: [x 10] do 'b/x", "10"},
    {"do pick [(1 + 1)] 1", "2"},
    {"b: next [1 2 + 3] do b", "5"},
}};

const EvalTable do_evaluates_blocks_strings_and_single_values_2{
    "EvalNatives.DoEvaluatesBlocksStringsAndSingleValues.2", nullptr, {
    {"f: func [a] [a] do :f", "error script/no-arg"},
    {"do \"1 + (\"", "error syntax/missing"},
    {"do/expand [1]", "error internal/not-done"},
    {"do %no-such-script.zel", "error access/cannot-open"},
}};

TEST_F(EvalNatives, DoEvaluatesBlocksStringsAndSingleValues) {
    expect_table(do_evaluates_blocks_strings_and_single_values);
    expect_table(do_evaluates_blocks_strings_and_single_values_2);
}

const EvalTable do_next_sets_the_position_after_one_expression{
    "EvalNatives.DoNextSetsThePositionAfterOneExpression", nullptr, {
    {"b: [1 + 2 3 * 4] reduce [do/next b 'p p]", "[3 [3 * 4]]"},
    {"b: [1 + 2 3 * 4] do/next b 'p do/next p 'p reduce [tail? p index? p]", "[true 7]"},
    {"b: [] reduce [do/next b 'p p]", "[unset []]"},
    {"do/next \"1 2\" 'p p", "[2]"},
}};

TEST_F(EvalNatives, DoNextSetsThePositionAfterOneExpression) {
    expect_table(do_next_sets_the_position_after_one_expression);
}

const EvalTable reduce_evaluates_each_expression{"EvalNatives.ReduceEvaluatesEachExpression",
    nullptr, {
    {"reduce [1 + 2 3 * 4]", "[3 12]"},
    {"reduce []", "[]"},
    {"reduce [(1 + 1) [2 + 2]]", "[2 [2 + 2]]"},
    {"x: 5 reduce 'x", "5"},
    {"reduce 5", "5"},
    {"f: func [] [1] type? reduce :f", "function!"},
    {"type? reduce :append", "action!"},
    {"b: [0] r: reduce/into [1 + 1 2 + 2] tail b reduce [index? r b]", "[2 [0 2 4]]"},
    {"b: [] reduce/into 1 + 1 b", "[2]"},
    {"b: [] reduce/into :append b type? pick b 1", "action!"},
}};

TEST_F(EvalNatives, ReduceEvaluatesEachExpression) {
    expect_table(reduce_evaluates_each_expression);
}

const EvalTable into_inserts_at_a_position_and_answers_the_position_after{
    "EvalNatives.IntoInsertsAtAPositionAndAnswersThePositionAfter", nullptr, {
    {"b: [0 9] r: reduce/into [1 1 + 1] next b reduce [b index? r]", "[[0 1 2 9] 4]"},
    {"b: [0 9] r: compose/into [(1) x (reduce [2 3])] next b reduce [b index? r]", "[[0 1 x 2 3 9] 6]"},
}};

TEST_F(EvalNatives, IntoInsertsAtAPositionAndAnswersThePositionAfter) {
    expect_table(into_inserts_at_a_position_and_answers_the_position_after);
}

const EvalTable compose_evaluates_parens{"EvalNatives.ComposeEvaluatesParens", nullptr, {
    {"compose [1 (1 + 1) [(2 + 2)]]", "[1 2 [(2 + 2)]]"},
    {"compose/deep [1 [(1 + 1) [(3)]]]", "[1 [2 [3]]]"},
    {"compose [(reduce [1 2]) 3]", "[1 2 3]"},
    {"compose/only [(reduce [1 2]) 3]", "[[1 2] 3]"},
    {"compose [a ([]) b]", "[a b]"},
    {"compose/only [a ([]) b]", "[a [] b]"},
    {"compose [a () b (do []) c]", "[a b c]"},
    {"b: [x] compose/into [(1 + 1) y] tail b b", "[x 2 y]"},
    {"b: [x] r: compose/into [(1 + 1) y] tail b index? r", "2"},
    {"h: make hash! [] compose/into [a (1 + 1)] h select h 'a", "2"},
    {"h: make hash! [k 1] reduce/into ['j 1 + 1] tail h select h 'j", "2"},
}};

TEST_F(EvalNatives, ComposeEvaluatesParens) {
    expect_table(compose_evaluates_parens);
    EXPECT_EQ(eval_error("compose 1"), "script/expect-arg");
}

const EvalTable get_and_set{"EvalNatives.GetAndSet", nullptr, {
    {"x: 5 get 'x", "5"},
    {"get/any 'never-assigned-word", "unset"},
    {"b: [k 9] get 'b/k", "9"},
    {"set 'x 8 x", "8"},
    {"set 'x 3", "3"},
    {"set [a b] [1 2] reduce [a b]", "[1 2]"},
    {"set [a b c] [1 2] reduce [a b c]", "[1 2 none]"},
    {"set/only [a b] [1 2] reduce [a b]", "[[1 2] [1 2]]"},
    {"a: 1 set/some [a b] reduce [none 2] reduce [a b]", "[1 2]"},
    {"set [a b] 7 reduce [a b]", "[7 7]"},
    {"set/any 'x () get/any 'x", "unset"},
    {"b: [1 2] set 'b/2 5 b", "[1 5]"},
    {"f: func [a] [set 'a 2 a] f 1", "2"},
}};

const EvalTable get_and_set_2{"EvalNatives.GetAndSet.2", nullptr, {
    {"get 'never-assigned-word", "error script/no-value"},
    {"set 'x ()", "error script/need-value"},
    {"set [a b] reduce [1 ()]", "error script/need-value"},
}};

TEST_F(EvalNatives, GetAndSet) {
    expect_table(get_and_set);
    expect_table(get_and_set_2);
    // A failing check sets none of the words.
    EXPECT_EQ(eval_error("a: 0 set [a 5] [1 2]"), "script/invalid-arg");
    EXPECT_EQ(eval("a"), "0");
    EXPECT_EQ(eval_error("a: 0 set [a b] reduce [1 ()]"), "script/need-value");
    EXPECT_EQ(eval("a"), "0");
}

const EvalTable bind_and_in{"EvalNatives.BindAndIn", nullptr, {
    {"f: func [a b] [do b] f 1 bind [a + 10] :f", "11"},
    {"b: [a] c: bind/copy b :f same? b c", "false"},
    {"f: func [x] [get w] w: bind 'x :f f 5", "5"},
    {"zz: 3 get bind 'zz :f", "3"},
    {"f: func [a] [b: [a] bind b 'a do b] f 7", "7"},
    {"f: func [a /r] [] reduce [in :f 'a in :f 'zz type? in :f /r]", "[a none word!]"},
    {"f: func [a] [get in :f 'a] f 4", "4"},
    {"in :append 'value", "value"},
    {"in :append 'nothing-here", "none"},
}};

TEST_F(EvalNatives, BindAndIn) {
    expect_table(bind_and_in);
    // The word comes back bound to the function's context.
    Cell f = eval_value("f: func [a] [] :f");
    Cell w = eval_value("in :f 'a");
    EXPECT_EQ(w.data1, f.data1);
    EXPECT_EQ(w.data3, 0u);
}

const EvalTable objects_and_errors{"EvalNatives.ObjectsAndErrors", nullptr, {
    {"o: make object! [a: 1 b: 2] get o", "[1 2]"},
    {"o: make object! [a: 1 b: 2] set o 3 get o", "[3 3]"},
    {"o: make object! [a: 1 b: 2] set o [4 5] get o", "[4 5]"},
    {"o: make object! [a: 1] get in o 'a", "1"},
    {"o: make object! [a: 1] in o 'zz", "none"},
    {"o: make object! [a: 5] do bind [a * 2] o", "10"},
    {"o: make object! [a: 5] same? o do bind [self] o", "true"},
    {"o: make object! [a: 5] a: 1 b: [a] c: bind/copy b o reduce [do b do c]", "[1 5]"},
    {"o: make object! [a: 5] get bind 'a o", "5"},
    {"o: make object! [n: 2 f: func [x] [x * n]] o/f 5", "10"},
    {"o: make object! [n: 2 f: func [x /twice] [either twice [x * n * 2] [x * n]]] o/f/twice 5", "20"},
    {"o: make object! [n: 2 f: function [] [k: 3 n * k]] reduce [o/f reflect :o/f 'spec]", "[6 [/local k]]"},
    {"o: make object! [a: 1] p: make o [a: 2] reduce [get in o 'a get in p 'a]", "[1 2]"},
}};

const EvalTable objects_and_errors_2{"EvalNatives.ObjectsAndErrors.2", nullptr, {
    {"do make error! 400", "math/zero-divide"},
    {"do make error! 300", "script/no-value"},
    {"try [do make error! 400] 1", ""},
}, eval_error};

TEST_F(EvalNatives, ObjectsAndErrors) {
    expect_table(objects_and_errors);
    expect_table(objects_and_errors_2);
}

const EvalTable parse_checks_its_arguments_before_the_engine{
    "EvalNatives.ParseChecksItsArgumentsBeforeTheEngine", nullptr, {
    {"parse/part [] [] 0", "true"},
    {"parse/part [1] [] 0", "false"},
    {"parse/part \"\" [] 0", "true"},
}};

const EvalTable parse_checks_its_arguments_before_the_engine_2{
    "EvalNatives.ParseChecksItsArgumentsBeforeTheEngine.2", nullptr, {
    {"parse [1] []", "error internal/not-done"},
    {"parse/part \"abc\" [] \"x\"", "error script/invalid-refine-arg"},
    {"parse/part \"abc\" [] [1]", "error script/invalid-refine-arg"},
}};

TEST_F(EvalNatives, ParseChecksItsArgumentsBeforeTheEngine) {
    expect_table(parse_checks_its_arguments_before_the_engine);
    expect_table(parse_checks_its_arguments_before_the_engine_2);
}

}  // namespace
}  // namespace zel::test
