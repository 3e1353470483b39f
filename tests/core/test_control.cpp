// The conditionals (if, unless, either, any, all, switch, case) and the
// loops (while, until, loop, repeat, forever, foreach, forall, remove-each)
// with break, break/return and continue, their errors, and loops whose body
// changes the series they walk.
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "core/collector.h"
#include "core/natives.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

Cell float_cell(double d) {
    Cell c;
    cell::set(&c, TYPE_FLOAT);
    cell::put_float(&c, d);
    return c;
}

void define_control_globals() {
    set_global("nan", float_cell(std::numeric_limits<double>::quiet_NaN()));
    set_global("inf", float_cell(std::numeric_limits<double>::infinity()));
    define_function("ten-times", "[x]", "[loop 3 [return x * 10] 0]");
}

// A map whose pairs `b` and `d` were removed: their value cells have no type.
void define_map_with_removed_pairs() {
    Cell m = *memory::series_of(load("#[a 1 b 2 c 3 d 4]").data2)->cells();
    memory::series_of(m.data2)->cells()[3].header = 0;
    memory::series_of(m.data2)->cells()[7].header = 0;
    set_global("m", m);
}

class ControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_control_globals(); }
};

const EvalTable if_unless_either{"ControlTest.IfUnlessEither", define_control_globals, {
    {"if true [1]", "1"},
    {"if 0 [2]", "2"},
    {"if false [1]", "none"},
    {"if none [1]", "none"},
    {"if () [3]", "3"},  // the plain test lets unset! pass as true
    {"if true []", "unset"},
    {"unless false [1]", "1"},
    {"unless none [1]", "1"},
    {"unless 1 [1]", "none"},
    {"unless () [1]", "none"},
    {"either true [1] [2]", "1"},
    {"either none [1] [2]", "2"},
    {"either 1 < 2 [3] [4]", "3"},
    {"either () [1] [2]", "error script/no-return"},  // the strict test refuses unset!
    {"if true 5", "error script/expect-arg"},
    {"either true [1]", "error script/no-arg"},
}};

TEST_F(ControlTest, IfUnlessEither) { expect_table(if_unless_either); }

const EvalTable any_all{"ControlTest.AnyAll", define_control_globals, {
    {"any []", "none"},
    {"any [none false 3 4]", "3"},
    {"any [none false]", "none"},
    {"any [() 1]", "unset"},  // an unset value is returned too
    {"any [1 + 1 3]", "2"},
    {"x: 0 any [1 x: 1] x", "0"},  // stops at the first true value
    {"all []", "none"},
    {"all [1 2 3]", "3"},
    {"all [1 none 3]", "none"},
    {"all [1 ()]", "unset"},
    {"x: 0 all [false x: 1] x", "0"},
    {"all [1 < 2 2 < 3]", "true"},
}};

TEST_F(ControlTest, AnyAll) { expect_table(any_all); }

const EvalTable switch_table{"ControlTest.Switch", define_control_globals, {
    {"switch 1 [1.0 [10] 1 [20]]", "20"},  // the type must match exactly
    {"switch 1 [1 2 [30]]", "30"},         // values after the match are skipped
    {"switch 3 [1 [10] 2 [20]]", "none"},
    {"switch/default 3 [1 [10]] [99]", "99"},
    {"switch [1] [[1] [10]]", "none"},  // a block value never matches
    {"switch/default [1] [[1] [10]] [99]", "99"},
    {"switch 1 [1 2 3]", "none"},  // no block after the match: no match
    {"switch/default 1 [2 [5] 1] [7]", "7"},
    {"switch 'b [a [1] b [2]]", "2"},
    {"switch 'B [a [1] b [2]]", "2"},  // equal, not strictly equal
    {"switch 2 [1 [10] 2 []]", "unset"},
}};

TEST_F(ControlTest, Switch) { expect_table(switch_table); }

const EvalTable case_table{"ControlTest.Case", define_control_globals, {
    {"case [false [1] true [2]]", "2"},
    {"case []", "none"},
    {"case [false [1]]", "none"},
    {"case [false [1] 1 < 2 [3]]", "3"},
    {"case [true 5]", "5"},            // a value that is not a block is evaluated
    {"case [true 2 + 3 true 9]", "5"},
    {"case [false 5 true [6]]", "6"},  // a false condition skips exactly one cell
    {"case/all [true [1] false [2]]", "none"},
    {"case/all [true [1] true [2]]", "2"},
    {"x: 0 case/all [true [x: x + 1] false [x: 100] true [x: x + 10]] x", "11"},
    {"x: 0 case [true [x: x + 1] true [x: x + 10]] x", "1"},
    {"case [true]", "error script/need-value"},
    {"case [false [1] none]", "error script/need-value"},
    {"case [() [1]]", "error script/no-return"},
}};

TEST_F(ControlTest, Case) {
    expect_table(case_table);
    ErrorThrow e = caught_error([] { eval_value("case [1 = 1]"); });
    EXPECT_EQ(mold_of(e.args[0]), "case");
}

const EvalTable while_and_until{"ControlTest.WhileAndUntil", define_control_globals, {
    {"i: 0 while [i < 3] [i: i + 1]", "unset"},
    {"i: 0 while [i < 3] [i: i + 1] i", "3"},
    {"while [false] [1]", "unset"},
    {"while [true] [break/return 5]", "unset"},  // always unset, also after break
    {"i: 0 s: 0 while [i < 5] [i: i + 1 if odd? i [continue] s: s + i] s", "6"},
    {"while [break true] [1]", "error throw/while-cond"},
    {"while [continue true] [1]", "error throw/while-cond"},
    {"while [()] [1]", "error script/no-return"},
    {"i: 0 while [loop 1 [break] i < 2] [i: i + 1] i", "2"},  // a loop inside the condition keeps its break
    {"i: 0 until [i: i + 1 i = 3]", "true"},
    {"i: 0 until [i: i + 1 i = 3] i", "3"},
    {"until [break/return 7]", "7"},
    {"until [break]", "unset"},
    {"i: 0 until [i: i + 1 if i < 3 [continue] i]", "3"},  // continue skips the test
    {"until [()]", "error script/no-return"},
}};

TEST_F(ControlTest, WhileAndUntil) { expect_table(while_and_until); }

const EvalTable loop_repeat_forever{"ControlTest.LoopRepeatForever", define_control_globals, {
    {"loop 3 [5]", "5"},
    {"n: 0 loop 4 [n: n + 1] n", "4"},
    {"n: 0 loop 0 [n: 1]", "none"},
    {"n: 0 loop -1 [n: 1] n", "0"},
    {"n: 0 loop 2.9 [n: n + 1] n", "2"},  // a float count is truncated toward zero
    {"loop 0.5 [1]", "none"},
    {"n: 0 loop 5 [n: n + 1 if n = 3 [break]] n", "3"},
    {"loop 5 [break/return 8]", "8"},
    {"n: 0 loop 3 [n: n + 1 continue n: 100] n", "3"},
    {"loop 2 [continue]", "unset"},
    {"s: 0 repeat i 3 [s: s * 10 + i] s", "123"},
    {"repeat i 0 [1]", "none"},
    {"n: 0 repeat i 2.5 [n: n + i] n", "3"},
    {"n: 0 repeat i 3 [n: n + 1 i: 10] n", "3"},  // changing the word changes no count
    {"repeat i 5 [if i = 2 [break/return i * 100]]", "200"},
    {"s: 0 repeat i 4 [if i = 2 [continue] s: s + i] s", "8"},
    {"i: 0 forever [i: i + 1 if i = 4 [break/return i * 2]]", "8"},
    {"forever [break]", "unset"},
    {"n: 0 loop 3 [n: n + ten-times 1] n", "30"},  // return leaves the function, not its loop
}};

TEST_F(ControlTest, LoopRepeatForever) { expect_table(loop_repeat_forever); }

const EvalTable counts_out_of_range_are_errors{"ControlTest.CountsOutOfRangeAreErrors",
    define_control_globals, {
    {"loop nan [1]", "error script/out-of-range"},
    {"loop inf [1]", "error script/out-of-range"},
    {"loop 1e10 [1]", "error script/out-of-range"},
    {"loop -1e10 [1]", "error script/out-of-range"},
    {"repeat i nan [1]", "error script/out-of-range"},
    {"repeat i inf [1]", "error script/out-of-range"},
    {"repeat i -3e9 [1]", "error script/out-of-range"},
    {"loop \"3\" [1]", "error script/expect-arg"},
    {"repeat 5 3 [1]", "error script/expect-arg"},
}};

TEST_F(ControlTest, CountsOutOfRangeAreErrors) { expect_table(counts_out_of_range_are_errors); }

// Arguments of the wrong type or missing, native by native.
const EvalTable argument_errors{"ControlTest.ArgumentErrors", define_control_globals, {
    {"unless false 1", "error script/expect-arg"},
    {"either true [1] 2", "error script/expect-arg"},
    {"any 1", "error script/expect-arg"},
    {"all", "error script/no-arg"},
    {"switch 1 2", "error script/expect-arg"},
    {"switch/default 1 [] 2", "error script/expect-arg"},
    {"case 1", "error script/expect-arg"},
    {"while [true] 1", "error script/expect-arg"},
    {"until 1", "error script/expect-arg"},
    {"loop 1", "error script/no-arg"},
    {"repeat i [1] [1]", "error script/expect-arg"},
    {"forever 1", "error script/expect-arg"},
    {"foreach x [1] 1", "error script/expect-arg"},
    {"forall [1] [1]", "error script/expect-arg"},
    {"remove-each x [1]", "error script/no-arg"},
}};

TEST_F(ControlTest, ArgumentErrors) { expect_table(argument_errors); }

const EvalTable foreach{"ControlTest.Foreach", define_control_globals, {
    {"s: 0 foreach x [1 2 3] [s: s * 10 + x] s", "123"},
    {"foreach x [1 2 3] [x * 2]", "6"},
    {"n: 0 foreach x [] [n: 1]", "unset"},
    {"n: 0 foreach x [] [n: 1] n", "0"},
    {"foreach [a b] [1 2 3] [reduce [a b]]", "[3 none]"},
    {"n: 0 foreach [a b] [1 2 3] [n: n + 1] n", "2"},
    {"s: 0 foreach [a b c] [1 2 3 4 5 6] [s: s * 10 + c] s", "36"},
    {"b: next [1 2 3] foreach x b [x] b", "[2 3]"},  // the series given is not moved
    {"foreach c \"abc\" [c]", "#\"c\""},
    {"foreach [c d] \"abc\" [reduce [c d]]", "[#\"c\" none]"},
    {"s: 0 foreach x [1 2 3 4] [if odd? x [continue] s: s + x] s", "6"},
    {"foreach x [1 2 3] [if x = 2 [break/return x * 10]]", "20"},
    {"foreach x [1 2 3] [if x = 2 [break]]", "unset"},
    {"foreach x first-pair: [1 2] [x]", "2"},
    {"foreach [a 'b :c d:] [1 2 3 4] [reduce [a b c d]]", "[1 2 3 4]"},
    {"foreach [] [1 2] [1]", "error script/invalid-arg"},
    {"foreach [a 1] [1 2] [1]", "error script/invalid-arg"},
    {"foreach x 5 [1]", "error script/expect-arg"},
}};

TEST_F(ControlTest, Foreach) { expect_table(foreach); }

const EvalTable foreach_over_a_map{"ControlTest.ForeachOverAMap", define_control_globals, {
    {"s: 0 foreach [k v] #[a 1 b 2] [s: s * 10 + v] s", "12"},
    {"foreach [k v] #[a 1 \"b\" 2] [reduce [k v]]", "[\"b\" 2]"},
    {"foreach [k v] #[a 1] [k]", "a"},  // word keys are given as word!
    {"foreach [k v] #[] [1]", "unset"},
    {"foreach x #[a 1] [x]", "error script/invalid-arg"},
    {"foreach [k v w] #[a 1] [1]", "error script/invalid-arg"},
    {"foreach [k] #[a 1] [1]", "error script/invalid-arg"},
}};

TEST_F(ControlTest, ForeachOverAMap) { expect_table(foreach_over_a_map); }

const EvalTable map_walks_skip_removed_pairs{"ControlTest.MapWalksSkipRemovedPairs",
    define_map_with_removed_pairs, {
    {"s: 0 foreach [k v] m [s: s * 10 + v] s", "13"},
    {"foreach [k v] m [k]", "c"},
    {"n: 0 foreach [k v] m [n: n + 1] n", "2"},
}};

TEST_F(ControlTest, MapWalksSkipRemovedPairs) {
    define_map_with_removed_pairs();
    expect_table(map_walks_skip_removed_pairs);
}

const EvalTable forall{"ControlTest.Forall", define_control_globals, {
    {"b: [1 2 3] s: 0 forall b [s: s * 10 + pick b 1] s", "123"},
    {"b: [1 2 3] forall b [pick b 1]", "3"},
    {"b: [1 2 3] forall b [1] index? b", "1"},  // a normal end puts the word back
    {"b: next [1 2 3] forall b [1] index? b", "2"},
    {"b: [1 2 3] forall b [if 2 = pick b 1 [break]] index? b", "2"},  // break does not
    {"b: [1 2 3] forall b [if 2 = pick b 1 [break/return 9]]", "9"},
    {"b: [] n: 0 forall b [n: 1]", "unset"},
    {"b: tail [1 2] n: 0 forall b [n: 1] n", "0"},
    {"s: \"abc\" n: 0 forall s [n: n + 1] n", "3"},
    {"b: [1 2 3 4] n: 0 forall b [n: n + 1 b: next b] n", "2"},  // the body may move the word on
    {"b: [1 2 3] n: 0 forall b [n: n + 1 if n = 1 [continue] 5] n", "3"},
    {"b: [1 2 3] forall b [b: 5]", "error script/bad-loop-series"},
    {"b: [1 2 3] c: [4 5] forall b [b: c]", "error script/bad-loop-series"},
    {"x: 1 forall x [1]", "error script/expect-arg"},
    {"forall never-set [1]", "error script/no-value"},
}};

TEST_F(ControlTest, Forall) { expect_table(forall); }

const EvalTable remove_each{"ControlTest.RemoveEach", define_control_globals, {
    {"b: [1 2 3 4] remove-each x b [even? x]", "[1 3]"},
    {"b: [1 2 3 4] remove-each x b [even? x] b", "[1 3]"},
    {"remove-each x [1 2 3 4] [if x = 2 [continue] even? x]", "[1 2 3]"},  // continue removes nothing
    {"remove-each [x y] [1 2 3 4 5 6] [x = 3]", "[1 2 5 6]"},
    {"remove-each [x y] [1 2 3] [x = 3]", "[1 2]"},
    {"remove-each x next [1 2 3 4] [x = 3]", "[2 4]"},  // the series at its entry position
    {"remove-each x [1 2 3] [()]", "[]"},                  // unset counts as true
    {"remove-each x [1 2 3] [none]", "[1 2 3]"},
    {"remove-each c \"a1b1\" [c = #\"1\"]", "\"ab\""},
    {"remove-each x [1 2 3] [break/return 9]", "9"},
    {"remove-each x 5 [1]", "error script/expect-arg"},
}};

TEST_F(ControlTest, RemoveEach) { expect_table(remove_each); }

const EvalTable bodies_that_change_the_series_they_walk{
    "ControlTest.BodiesThatChangeTheSeriesTheyWalk", define_control_globals, {
    // Removing ahead of the walk: the walk sees what is left.
    {"b: [1 2 3 4] s: 0 foreach x b [s: s * 10 + x remove b] s", "13"},
    {"b: [1 2 3] s: 0 foreach x b [if x = 1 [poke b 3 9] s: s * 10 + x] s", "129"},
    {"b: [1 2 3] n: 0 foreach x b [n: n + 1 clear b] n", "1"},
    {"b: [1 2 3 4] n: 0 foreach [x y] b [n: n + 1 clear b] n", "1"},
    {"b: [1 2 3] n: 0 forall b [n: n + 1 clear head b] n", "1"},
    {"b: [1 2 3 4] remove-each x b [clear b true]", "[]"},
    {"b: [1 2 3 4] remove-each x b [if x = 1 [remove next b] x = 3]", "[1 4]"},
}};

TEST_F(ControlTest, BodiesThatChangeTheSeriesTheyWalk) {
    expect_table(bodies_that_change_the_series_they_walk);
}

// Each loop runs in constant stack: were an iteration to leave a cell, the
// argument stack (20,000 cells) would overflow.
TEST_F(ControlTest, LoopsRunInConstantStack) {
#ifdef ZEL_GC_STRESS
    // Under stress a share of the steps compacts the whole store: fewer steps.
    const std::string n = collector::stress_one_in() ? "300" : "30000";
#else
    const std::string n = "30000";
#endif
    const std::pair<std::string, std::string> cases[] = {
        {"i: 0 while [i < N] [i: i + 1 1 2 3] i", n},
        {"loop N [1 2 3]", "3"},
        {"repeat i N [i]", n},
        {"i: 0 until [i: i + 1 i = N]", "true"},
        {"i: 0 forever [i: i + 1 if i = N [break/return i]]", n},
        {"loop N [continue]", "unset"},
        {"loop N [if true [1] either false [1] [2] any [none 1] all [1 2] case [true [3]]]", "3"},
        {"loop N [switch 1 [1 [2]]]", "2"},
    };
    for (const auto& [code, expected] : cases) {
        std::string text = code;
        for (size_t at; (at = text.find('N')) != std::string::npos;) text.replace(at, 1, n);
        EXPECT_EQ(eval(text), expected) << text;
    }
}

// Whichever way a loop ends, both stacks are back where the loop's call
// began, its result in its result cell.
TEST_F(ControlTest, StacksAfterEveryWayOut) {
    const EvalCase cases[] = {
        {"while [true] [break/return 5] 2", "2"},
        {"1 + until [break/return 5]", "6"},
        {"1 + loop 3 [if true [break/return 5]]", "6"},
        {"1 + repeat i 3 [i]", "4"},
        {"1 + forever [(break/return 5)]", "6"},
        {"foreach [a b] [1 2 3] [if a = 3 [break/return b]]", "none"},
        {"1 + foreach x [1 2 3] [if x = 3 [break/return x]]", "4"},
        {"b: [1 2 3] 1 + forall b [if 2 = pick b 1 [break/return 5]]", "6"},
        {"1 + length? remove-each x [1 2 3 4] [if x = 3 [continue] even? x]", "3"},
        {"1 + case [false [2] true [any [none 5]]]", "6"},
        {"1 + switch 2 [1 [5] 2 [all [7 8]]]", "9"},
    };
    for (const EvalCase& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(eval_checking_stacks(c.code), c.expected);
    }
}

}  // namespace
}  // namespace zel::test
