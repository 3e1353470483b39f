// The PARSE engine's two stacks, which scripts see only in part: however a
// parse ends (its end, a callback that stops it, an error from the engine,
// a paren or the callback, an exit out of a paren, a nested parse) both
// stacks are empty afterwards and the argument stack is as it was. The
// behaviour itself is in tests/cases/parse_*.cases.
#include <string>

#include "interpreter/parse.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

const EvalCase kWaysOut[] = {
    {"parse \"ab\" [2 skip]", "true"},
    {"parse \"ab\" [some [\"a\" | \"x\"]]", "false"},
    {"parse [[1 [2]]] [into [integer! into [integer!]]]", "true"},
    {"parse \"ab\" [collect [keep skip collect [keep skip]]]", "[#\"a\" [#\"b\"]]"},
    {"parse/trace \"ab\" [some skip] func [e m r i s] [e <> 'iterate]", "true"},
    {"parse/trace \"ab\" [collect [keep skip]] func [e m r i s] [false]", "true"},
    {"parse/trace \"ab\" [some skip] func [e m r i s] [if e = 'match [1 / 0] true]", "error math/zero-divide"},
    {"parse \"ab\" [skip (1 / 0)]", "error math/zero-divide"},
    {"parse [[1]] [into [collect [keep (1 / 0)]]]", "error math/zero-divide"},
    {"parse \"ab\" [some [skip some]]", "error script/parse-end"},
    {"r: [opt r] parse \"a\" r", "error script/parse-stack"},
    {"r: [into r] parse [[]] [some r]", "false"},
    {"parse \"ab\" [skip (parse \"x\" [(parse \"y\" [\"y\"]) \"x\"]) skip]", "true"},
    {"parse/trace \"ab\" [2 skip] func [e m r i s] [parse [1] [integer!] true]", "true"},
    {"parse \"ab\" [skip (parse \"x\" [some]) skip]", "error script/parse-end"},
    {"f: func [] [parse \"ab\" [skip (return 1)]] f", "1"},
    {"loop 2 [parse [[1]] [into [(break)]]]", "unset"},
    {"catch [parse \"a\" [collect [keep (throw 3)]]]", "3"},
    {"r: [skip (clear r) skip] parse \"ab\" r", "false"},
    // A callback may damage the stack it is shown: the engine stops with an
    // error instead of reading records that are gone.
    {"parse/trace \"ab\" [some [skip]] func [e m r i s] [clear s true]", "error script/parse-stack"},
    {"parse \"a\" [(parse/trace \"b\" [[\"b\"]] func [e m r i s] [clear head s true])]",
     "error script/parse-stack"},
};

TEST(ParseTest, EveryWayOutLeavesEmptyStacks) {
    for (const EvalCase& c : kWaysOut) {
        EXPECT_EQ(eval_checking_stacks(c.code), c.expected) << c.code;
        EXPECT_EQ(parser::input_stack_cells(), 0) << c.code;
        EXPECT_EQ(parser::rule_stack_cells(), 0) << c.code;
    }
}

// Nesting is bounded by the stacks' cell limit, not by the machine stack:
// thousands of nested blocks run, and one more level than the limit allows
// is an error, not a crash.
TEST(ParseTest, NestingDepthIsBoundedByTheStackLimit) {
    auto nested = [](int depth) {
        std::string rules;
        for (int i = 0; i < depth; i++) rules += "[";
        rules += "\"a\"";
        for (int i = 0; i < depth; i++) rules += "]";
        return "parse \"a\" " + rules;
    };
    EXPECT_EQ(eval_checking_stacks(nested(3000)), "true");
    EXPECT_EQ(eval_checking_stacks(nested(3400)), "error script/parse-stack");
    EXPECT_EQ(parser::rule_stack_cells(), 0);
}

}  // namespace
}  // namespace zel::test
