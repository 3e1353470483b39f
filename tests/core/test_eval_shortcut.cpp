// The evaluator's shortcut: simple expressions, set-words before them,
// blocks whose frame is pushed late, plain calls and integer operators
// computed without dispatch must give what the general path gives: the same
// values, the same errors with the same `where`, `near` and frame position,
// and the same trace events.
#include <gtest/gtest.h>

#include "tests/support/eval_tables.h"

using namespace zel;
using namespace zel::test;

// The function the refined calls below call.
void define_refined_f() {
    eval_value("f: func [a b c /neg /scale k] [x: either neg [a - b - c] [a + b + c] either scale [x * k] [x]]");
}

// Values, and where the shortcut must leave an expression to the general path.
const EvalTable values_match_the_general_path{"EvalShortcut.ValuesMatchTheGeneralPath", nullptr, {
    {"a: 1 + 2 a", "3"},
    {"a: 4 b: a * 2 - 1 b", "7"},
    {"b: a: 5 reduce [a b]", "[5 5]"},  // a set-word's value is another set-word's
    {"1 + 2 * 3", "9"},                  // strictly left to right
    {"2 * (1 + 2)", "6"},                // a paren as the right operand
    {"(1 + 2) * 3", "9"},
    {"add 1 2", "3"},
    {"lesser? 1 2", "true"},
    {"1 < 1.5", "true"},                 // not two integers: the general path
    {"x: 1.5 x + 1", "2.5"},
    {"x: 2147483647 x - 1 + 1", "2147483647"},
    {"x: [1 2] x", "[1 2]"},
    {"x: none x", "none"},
    {"o: make object! [a: 1] o/a", "1"},
    {"f: func [n] [n + 1] f 1", "2"},
    {"f: func [n] [m: n * 2 m + 1] f 3", "7"},
    {"f: func [a b] [a - b] f 10 f 3 1", "8"},
    {"fib: func [n] [either n < 2 [n] [(fib n - 1) + (fib n - 2)]] fib 10", "55"},
    {"s: 0 foreach x [1 2 3] [s: s + x] s", "6"},
    {"i: 0 while [i < 5] [i: i + 1] i", "5"},
    {"()", "unset"},
    {"x: 1 (x: x + 1 x * 10)", "20"},
    // Parens as statements and as arguments, operators after them.
    {"(1 + 1) * 3", "6"},
    {"x: 0 (x: 5) + 1", "6"},
    {"f: func [a] [a] f (1 + 1) * 3", "6"},
    {"f: func [a b] [a - b] f (10) (4)", "6"},
    {"1 + (2) * 3", "9"},
    {"f: func [] [(return 5) 1] f", "5"},
    {"i: 0 loop 3 [i: i + 1 (break)] i", "1"},
    {"f: func [a] [a] f (f (f 2)) + 1", "3"},
    // Set-words before what the shortcut cannot take.
    {"f: func [a] [a * 2] x: f 3 x", "6"},
    {"f: func [a] [a * 2] x: y: f 3 + 1 reduce [x y]", "[8 8]"},
    {"g: func [] [x: (return 3) 4] g", "3"},
    {"i: 0 loop 3 [i: i + 1 x: (break)] i", "1"},
    // An argument that grows the code's own block moves its buffer: the
    // arguments after it are read from the new one.
    {"f: func [a b] [a - b] code: [f (loop 200 [append code 0] 10) 3] do code", "7"},
    {"code: [add (loop 200 [append code 0] 10) 3 * 2] do code", "16"},
}};

TEST(EvalShortcut, ValuesMatchTheGeneralPath) { expect_table(values_match_the_general_path); }

// A path of a word and an integer picks from a block as the path handler does.
const EvalTable paths_pick_from_blocks{"EvalShortcut.PathsPickFromBlocks", nullptr, {
    {"blk: [1 2 3] blk/2", "2"},
    {"blk: [1 2 3] blk/2 + 10", "12"},
    {"blk: [1 2 3] c: blk/3 * 2 c", "6"},
    {"blk: [1 2 3] blk/0", "none"},
    {"blk: [1 2 3] blk/4", "none"},
    {"blk: next [1 2 3] reduce [blk/-1 blk/1 blk/3]", "[1 2 none]"},
    {"blk: [a b] blk/2", "b"},                 // a word is given, not evaluated
    {"blk: reduce [:add] blk/1 1 2", "3"},     // a function is called
    {"blk: [x 5] blk/x", "5"},
    {"h: make hash! [1 2] h/2", "2"},
    {"s: \"abc\" s/2", "#\"b\""},
}};

const EvalTable paths_pick_from_blocks_2{"EvalShortcut.PathsPickFromBlocks.2", nullptr, {
    {"blk: 1 blk/2", "error script/bad-path-type"},
    {"never-set/2", "error script/unset-path"},
}};

TEST(EvalShortcut, PathsPickFromBlocks) {
    expect_table(paths_pick_from_blocks);
    expect_table(paths_pick_from_blocks_2);
}

// Errors raised where the shortcut gave up: the general path raises them
// with the frames it always had.
const EvalTable errors_keep_their_where_near_and_position{
    "EvalShortcut.ErrorsKeepTheirWhereNearAndPosition", nullptr, {
    {"x: 2147483647 x + 1", "2147483648.0"},  // an overflow leaves the shortcut
    {"x: 2147483647 y: x + 1 y", "2147483648.0"},
    {"x: -2147483648 x * -1", "2147483648.0"},
    {"a: unset-here", "error script/no-value"},
    {"a: ()", "error script/need-value"},
    {"a:", "error script/need-value"},
    {"1 +", "error script/no-arg"},
    {"f: func [n] [n] f", "error script/no-arg"},
    {"f: func [n [integer!]] [n] f 1.5", "error script/expect-arg"},
}};

const EvalTable errors_keep_their_where_near_and_position_2{
    "EvalShortcut.ErrorsKeepTheirWhereNearAndPosition.2", nullptr, {
    // The set-word's frame names an error of its right side.
    {"e: try [a: unset-here] e/where", "a"},
    {"e: try [x: 1 y: x + 1 z: y / 0] e/where", "/"},
    {"e: try [x: 1 y: x / 0] e/near", "[y: x / 0]"},
    {"e: try [x: 1 y: x + 1 z: y / 0] e/near", "[z: y / 0]"},
    {"e: try [x: 1 y: x + 1 z: y / 0] e/stack", "6"},
    {"e: try [x: 1 y: x + 1 a: unset-here] e/stack", "5"},
    // A paren, like a block, has no record of its own.
    {"e: try [x: 1 y: x + 1 (a: unset-here)] e/stack", "5"},
    {"f: func [n] [m: n + 1 m / 0] e: try [f 1] reduce [e/where e/stack]", "[/ 6]"},
    // An operator's call names errors of its right operand and its own.
    {"e: try [1 + (1 / 0)] e/where", "/"},
    {"e: try [1 + \"a\"] reduce [e/id e/where]", "[invalid-type +]"},
    {"e: try [x: 1 x + (x / 0)] e/stack", "6"},
}};

TEST(EvalShortcut, ErrorsKeepTheirWhereNearAndPosition) {
    expect_table(errors_keep_their_where_near_and_position);
    expect_table(errors_keep_their_where_near_and_position_2);
}

// A field of an object is set through the object, which tells its owner.
const EvalTable object_fields_are_set_through_the_object{
    "EvalShortcut.ObjectFieldsAreSetThroughTheObject", nullptr, {
    {"o: make object! [a: 1 b: none] do bind [a: a + 1 b: a * 3] o reduce [o/a o/b]", "[2 6]"},
}};

TEST(EvalShortcut, ObjectFieldsAreSetThroughTheObject) {
    expect_table(object_fields_are_set_through_the_object);
}

// Tracing takes the general path from the first event on.
TEST(EvalShortcut, TracedBlocksDeliverEveryEvent) {
    eval_value("events: copy [] watch: func [event code offset value ref frame] [append events event]");
    EXPECT_EQ(eval("do/trace [x: 1 + 2] :watch"), "3");
    EXPECT_EQ(eval("events"), "[init enter fetch push fetch push fetch open fetch push call return set expr exit end]");
    // Calls, parens and operators after them, one expression after another.
    eval_value("f: func [a] [a] events: copy []");
    EXPECT_EQ(eval("do/trace [f 1 f (2) + 1 x: f 3 x] :watch"), "3");
    EXPECT_EQ(eval("events"),
              "[init enter fetch open fetch push call prolog enter fetch push expr exit epilog return expr "
              "fetch open fetch enter fetch push expr exit fetch open fetch push call return call prolog enter fetch "
              "push expr exit epilog return expr fetch push fetch open fetch push call prolog enter fetch push expr "
              "exit epilog return set expr fetch push expr exit end]");
}

// Calls with refinements: their simple arguments are taken by the shortcut,
// the refinements are matched by spelling, then case-folded; errors come in
// the general path's order (the arguments first).
const EvalTable refined_calls_match_the_general_path{"EvalShortcut.RefinedCallsMatchTheGeneralPath",
    define_refined_f, {
    {"f 7 2 3", "12"},
    {"f/neg 7 2 3", "2"},
    {"f/NEG 7 2 3", "2"},
    {"f/scale 7 2 3 10", "120"},
    {"f/neg/scale 7 2 3 + 1 10", "10"},
    {"f/scale/neg 7 (1 + 1) 3 10", "20"},
    {"n: 7 f/neg n n - 2 1", "1"},
    {"blk: [7 2] f/neg blk/1 blk/2 3", "2"},
    {"g: func [a /x /y /local z] [z: a reduce [z x y]] g/y/x 1", "[1 true true]"},
    {"g: func [a /x /y /local z] [z: a reduce [z x y]] g/x 1", "[1 true false]"},
    {"g: func [a /x /y] [reduce [a x y]] x: false g/:x/y 1", "[1 false true]"},
}};

const EvalTable refined_calls_match_the_general_path_2{
    "EvalShortcut.RefinedCallsMatchTheGeneralPath.2", define_refined_f, {
    {"f/neg 7 2", "error script/no-arg"},
    {"f/neg 7 2.5 3", "1.5"},
    {"g: func [a [integer!] /neg] [a] g/neg 1.5", "error script/expect-arg"},
    {"g: func [a [integer!] /neg] [a] e: try [g/neg 1.5] e/where", "g"},
    {"f/nope 7 2 3", "error script/no-refine"},
    {"f/neg/neg 7 2 3", "error script/dup-refine"},
    {"f/neg/scale/neg 7 2 3 1", "error script/dup-refine"},
    {"g: func [a /x /local z] [a] g/local 1", "error script/no-refine"},
    {"g: func [a /x] [a] g/x/2 1", "error script/bad-refine"},
    {"f/neg: 1", "error script/invalid-path-set"},
    {":f/neg", "error script/invalid-path-get"},
    // The arguments are fetched before a refinement is looked up.
    {"y: 0 try [f/nope (y: 5 1) 2 3] y", "5"},
}};

TEST(EvalShortcut, RefinedCallsMatchTheGeneralPath) {
    define_refined_f();
    expect_table(refined_calls_match_the_general_path);
    expect_table(refined_calls_match_the_general_path_2);
}
