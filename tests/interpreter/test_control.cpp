// The conditionals and loops where only C++ can look: a map walk over
// removed pairs, the stacks a loop leaves, loops in constant stack. Their
// other cases are in tests/cases/control.cases.
#include <string>
#include <utility>

#include "foundation/collector.h"
#include "interpreter/natives.h"
#include "tests/support/eval_tables.h"
#include "tests/support/fields.h"

namespace zel::test {
namespace {

// A map whose pairs `b` and `d` were removed: their value cells have no type.
void define_map_with_removed_pairs() {
    Cell m = *memory::series_of(node_of(load("#[a 1 b 2 c 3 d 4]")))->cells();
    memory::series_of(node_of(m))->cells()[3].header = 0;
    memory::series_of(node_of(m))->cells()[7].header = 0;
    set_global("m", m);
}

const EvalTable map_walks_skip_removed_pairs{"ControlTest.MapWalksSkipRemovedPairs",
    define_map_with_removed_pairs, {
    {"s: 0 foreach [k v] m [s: s * 10 + v] s", "13"},
    {"foreach [k v] m [k]", "c"},
    {"n: 0 foreach [k v] m [n: n + 1] n", "2"},
}};

TEST(ControlTest, MapWalksSkipRemovedPairs) {
    define_map_with_removed_pairs();
    expect_table(map_walks_skip_removed_pairs);
}

// Each loop runs in constant stack: were an iteration to leave a cell, the
// argument stack (20,000 cells) would overflow.
TEST(ControlTest, LoopsRunInConstantStack) {
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
TEST(ControlTest, StacksAfterEveryWayOut) {
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
