// Evaluation tracing: the events do/trace delivers to its call-back, the
// call-back's event block, the arguments it receives, and the state tracing
// leaves behind however the traced code ends. (return and exit in traced
// code: tests/cases/trace.cases.)
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "interpreter/trace.h"
#include "lexer/lexer.h"
#include "series/block.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"

namespace zel::test {
namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        eval_value("log: copy [] log2: copy []");
        // A call-back that logs each event word; others log more.
        eval_value("events: func [event code offset value ref frame] [reduce/into [event] tail log]");
    }
    void TearDown() override {
        EXPECT_FALSE(interpreter::g_tracing);
        EXPECT_FALSE(interpreter::g_tracer_installed);
    }
    std::string log() { return eval("log"); }
};

// A call-back that grows the running block and the global context at every
// event: the evaluator reads no buffer they replaced. A collection before
// every allocation poisons each replaced buffer at once in sanitizer builds.
TEST_F(TraceTest, ACallBackGrowingTheBlockAndTheContextAtEveryEvent) {
#ifdef ZEL_GC_STRESS
    uint32_t stress = collector::stress_one_in();
    collector::set_stress(1, 0);
#endif
    EXPECT_EQ(eval("code: [a: 1 b: a + 2 c: :b d: 'a e: b * 2 f: :c + e] n: 0 "
                   "grow: func [event where offset value ref frame] [n: n + 1 "
                   "if block? :where [loop 20 [append where none]] "
                   "set to word! append copy \"grown-\" form n n] "
                   "do/trace code :grow reduce [a b c d e f n > 50 (length? code) > 1000]"),
              "[1 3 3 a 6 9 true true]");
    // The same with a call-back filtered to the fetch and push events.
    EXPECT_EQ(eval("code: [x: 1 y: x + 1 z: :y] "
                   "grow: func [[fetch push] event where offset value ref frame] [n: n + 1 "
                   "if block? :where [loop 20 [append where none]] "
                   "set to word! append copy \"more-\" form n n] "
                   "do/trace code :grow reduce [x y z]"),
              "[1 2 2]");
#ifdef ZEL_GC_STRESS
    collector::set_stress(stress, 0);
#endif
}

TEST_F(TraceTest, EveryEventOfAnInfixCall) {
    EXPECT_EQ(eval("do/trace [1 + 2] :events"), "3");
    EXPECT_EQ(log(), "[init enter fetch push fetch open fetch push call return expr exit end]");
}

// Blocks of the boot image carry the library-code flag: nothing inside them
// is traced, the user's code around them is.
TEST_F(TraceTest, LibraryCodeIsNotTraced) {
    Cell library = eval_value("lib: [1 + 2]");
    EXPECT_EQ(eval("do/trace [do lib] :events"), "3");
    std::string traced = log();
    EXPECT_NE(traced.find("open fetch push call"), std::string::npos) << traced;
    eval_value("clear log");
    memory::series_of(node_of(library))->flags |= SERIES_LIBRARY;
    EXPECT_EQ(eval("do/trace [do lib] :events"), "3");
    EXPECT_EQ(log(), "[init enter fetch open fetch push call return expr exit end]");
    memory::series_of(node_of(library))->flags &= ~SERIES_LIBRARY;
}

// A function of the library is opaque as a native is: called from other
// code it shows its call and the entry and exit of its body, nothing from
// inside (its nested blocks included); called from library code, nothing.
TEST_F(TraceTest, ALibraryFunctionShowsOnlyItsOwnCall) {
    Cell body = eval_value("body: [either x > 0 [x + 1] [0]]");
    Cell outer = eval_value("outer-body: [inner x]");
    memory::series_of(node_of(body))->flags |= SERIES_LIBRARY;
    memory::series_of(node_of(outer))->flags |= SERIES_LIBRARY;
    eval_value("inner: func [x] body outer: func [x] outer-body");
    memory::series_of(node_of(body))->flags &= ~SERIES_LIBRARY;
    memory::series_of(node_of(outer))->flags &= ~SERIES_LIBRARY;
    eval_value("named: func [[enter open call prolog epilog return] event code offset value ref frame] "
               "[reduce/into [event :ref] tail log]");
    EXPECT_EQ(eval("do/trace [inner 1] :named"), "2");
    EXPECT_EQ(log(), "[enter none open inner call inner prolog inner epilog inner return inner]");
    eval_value("clear log");
    EXPECT_EQ(eval("do/trace [outer 1] :named"), "2");
    EXPECT_EQ(log(), "[enter none open outer call outer prolog outer epilog outer return outer]");
    // A user's function called by library code is traced.
    eval_value("clear log");
    eval_value("inner: func [x] [x * 3]");
    EXPECT_EQ(eval("do/trace [outer 1] :named"), "3");
    EXPECT_EQ(log(), "[enter none open outer call outer prolog outer prolog inner enter none open * call * return * epilog inner epilog outer return outer]");
}

// trace false pauses the events of the run, trace true resumes them, also
// from inside a function; outside a run tracing stays off.
TEST_F(TraceTest, PausedAndResumed) {
    eval_value("sets: func [[set] event code offset value ref frame] [reduce/into [ref] tail log]");
    EXPECT_EQ(eval("do/trace [a: 1 trace false b: 2 trace true c: 3] :sets"), "3");
    EXPECT_EQ(log(), "[a: c:]");
    eval_value("clear log");
    EXPECT_EQ(eval("quiet: func [] [trace false] do/trace [quiet d: 4 trace true e: 5] :sets"), "5");
    EXPECT_EQ(log(), "[e:]");
    eval_value("trace true");
    EXPECT_FALSE(interpreter::g_tracing);
}

TEST_F(TraceTest, ThrowAndCatchEvents) {
    eval_value("shown: func [[throw catch] event code offset value ref frame] "
               "[reduce/into [event offset :value] tail log]");
    EXPECT_EQ(eval("do/trace [catch [throw 4]] :shown"), "4");
    EXPECT_EQ(log(), "[throw -1 4 catch -1 4]");
}

TEST_F(TraceTest, TheArgumentsOfEachEvent) {
    eval_value("detail: func [event code offset value ref frame] "
               "[reduce/into [event offset type? :value :ref] tail log]");
    EXPECT_EQ(eval("do/trace [x: 1 + 2] :detail"), "3");
    EXPECT_EQ(log(),
              "[init 0 none! none enter 0 none! none fetch 0 set-word! none push 0 set-word! none "
              "fetch 1 integer! none push 1 integer! none fetch 2 word! none open 3 action! + "
              "fetch 3 integer! none push 3 integer! none call 4 action! + return 4 integer! + "
              "set 4 integer! x: expr 4 integer! none exit 4 integer! none end 0 none! none]");
}

TEST_F(TraceTest, TheEventBlockChoosesEvents) {
    EXPECT_EQ(eval("do/trace [1 + 2] func [[fetch push] event code offset value ref frame] "
                   "[reduce/into [event] tail log]"),
              "3");
    EXPECT_EQ(log(), "[fetch push fetch fetch push]");
    eval_value("clear log");
    EXPECT_EQ(eval("do/trace [1 + 2] func [event code offset value ref frame] "
                   "[[call return] reduce/into [event] tail log]"),
              "3");
    EXPECT_EQ(log(), "[call return]");
}

TEST_F(TraceTest, FramePairAndPositions) {
    eval_value("shape: func [event code offset value ref frame] [reduce/into [type? frame offset] tail log]");
    eval_value("do/trace [1] :shape");
    EXPECT_EQ(log(), "[pair! 0 pair! 0 pair! 0 pair! 0 pair! 1 pair! 1 pair! 0]");
}

TEST_F(TraceTest, AnErrorEventHasNoPosition) {
    eval_value("shape: func [event code offset value ref frame] [reduce/into [event offset] tail log]");
    EXPECT_EQ(eval_error("do/trace [1 / 0] :shape"), "math/zero-divide");
    Cell l = eval_value("log");
    std::string text = mold_of(l);
    EXPECT_NE(text.find("error -1"), std::string::npos) << text;
    EXPECT_NE(text.find("end 0"), std::string::npos) << text;
}

TEST_F(TraceTest, CallBackCodeAndNestedTracesAreNotTraced) {
    eval_value("other: func [event code offset value ref frame] [reduce/into [event] tail log2]");
    EXPECT_EQ(eval("do/trace [do/trace [7] :other] :events"), "7");
    EXPECT_EQ(eval("log2"), "[]");
    // The inner code was traced by the outer call-back: its literal 7.
    EXPECT_NE(log().find("push"), std::string::npos);
    // The call-back's own evaluation sends nothing: one event each.
    eval_value("clear log");
    eval_value("do/trace [] :events");
    EXPECT_EQ(log(), "[init enter exit end]");
}

TEST_F(TraceTest, TraceAndNoTraceAttributes) {
    eval_value("calls: func [[prolog] event code offset value ref frame] [reduce/into [ref] tail log]");
    eval_value("t: func [[trace]] [1] nt: func [[no-trace]] [t] plain: func [] [nt]");
    EXPECT_EQ(eval("do/trace [plain] :calls"), "1");
    EXPECT_EQ(log(), "[plain t]");
}

TEST_F(TraceTest, ErrorsInTheCallBackLeaveTracingOff) {
    eval_value("bad: func [event code offset value ref frame] [1 / 0]");
    EXPECT_EQ(eval_error("do/trace [1] :bad"), "math/zero-divide");
    EXPECT_EQ(eval("1 + 2"), "3");
    eval_value("late: func [event code offset value ref frame] [if event = 'exit [1 / 0]]");
    EXPECT_EQ(eval_error("do/trace [1] :late"), "math/zero-divide");
}

// Call-backs with other shapes than the six arguments still get one cell
// per word of their context.
TEST_F(TraceTest, CallBacksOfOtherShapes) {
    eval_value("wide: func [event code offset value ref frame extra /r x /local t] "
               "[reduce/into [extra r x t] tail log]");
    eval_value("do/trace [] :wide");
    EXPECT_EQ(log(), "[none false none none none false none none none false none none none false none none]");
    eval_value("clear log");
    eval_value("narrow: func [event] [reduce/into [event] tail log]");
    eval_value("do/trace [] :narrow");
    EXPECT_EQ(log(), "[init enter exit end]");
}

// The lexer's call-backs run through the evaluator, their events chosen by
// the same event block.
TEST_F(TraceTest, LexerCallBacks) {
    Cell callback =
        eval_value("func [[load] event input type line token] [reduce/into [event :token] tail log true]");
    gc::root keep_callback(&callback);
    const std::string text = "1 [a]";
    Cell out{};
    gc::root keep_out(&out);
    frames::mark_try_all(&words::word(words::Word::body));
    lexer::scan(&out, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), 0, nullptr, &callback);
    empty_both_stacks();
    EXPECT_EQ(mold_of(out), "[1 [a]]");
    EXPECT_EQ(log(), "[load 1 load a]");
    // Moving its input moves the scan.
    Cell skipper = eval_value("func [[load] event input type line token] [input: tail input true]");
    gc::root keep_skipper(&skipper);
    Cell three = eval_value("\"1 2 3\"");
    gc::root keep_three(&three);
    frames::mark_try_all(&words::word(words::Word::body));
    lexer::scan_string(&out, &three, -1, 0, nullptr, &skipper);
    empty_both_stacks();
    EXPECT_EQ(mold_of(out), "[1]");
}

}  // namespace
}  // namespace zel::test
