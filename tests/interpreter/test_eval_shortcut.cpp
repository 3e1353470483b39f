// The evaluator's shortcut must give what the general path gives: here the
// frame positions of errors and the trace events; its values and errors are
// in tests/cases/eval_shortcut.cases.
#include <gtest/gtest.h>

#include "tests/support/eval_tables.h"

using namespace zel;
using namespace zel::test;

// The frame position of an error raised where the shortcut gave up is the
// one the general path gives it: a position counted from the empty stacks
// an evaluation starts on here. (Their where and near are in
// tests/cases/eval_shortcut.cases.)
const EvalTable errors_keep_their_position{"EvalShortcut.ErrorsKeepTheirPosition", nullptr, {
    {"e: try [x: 1 y: x + 1 z: y / 0] e/stack", "6"},
    {"e: try [x: 1 y: x + 1 a: unset-here] e/stack", "5"},
    // A paren, like a block, has no record of its own.
    {"e: try [x: 1 y: x + 1 (a: unset-here)] e/stack", "5"},
    {"f: func [n] [m: n + 1 m / 0] e: try [f 1] reduce [e/where e/stack]", "[/ 6]"},
    {"e: try [x: 1 x + (x / 0)] e/stack", "6"},
}};

TEST(EvalShortcut, ErrorsKeepTheirPosition) { expect_table(errors_keep_their_position); }

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
