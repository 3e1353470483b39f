// Every registered table of evaluation cases (eval_tables.h) run three ways:
// untraced; traced by a call-back that only records the events; and traced
// by a hostile call-back that at every event grows the running block, so
// that its buffer may be replaced, and makes a new global word, so that the
// global context grows. The block of the case's code, which runs once,
// keeps what was appended from its enter event on: it ends at the tail it
// had when it began (what is appended at init, before it begins, runs).
// Every other block (a body, a branch, a paren, which may run again) is cut
// back to the length it had. Tracing and the moves it causes change no
// result: each way gives what the table says. Sanitizer builds poison a
// replaced buffer, so a stale read of one fails.
#include <string>
#include <tuple>

#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

enum class Tracing { none, recording, hostile };

const char* tracing_name(Tracing t) {
    switch (t) {
        case Tracing::none: return "untraced";
        case Tracing::recording: return "recorded";
        case Tracing::hostile: return "hostile";
    }
    return "";
}

// The call-backs, as globals whose names no table uses.
void define_tracers() {
    eval_value(
        "traced-log: copy [] "
        "trace-recorder: func [event code offset value ref frame] [append traced-log event] "
        "traced-grown: 0 "
        "trace-grower: func [event where offset value ref frame /local old-tail] [ "
        "    traced-grown: traced-grown + 1 "
        "    if event = 'init [traced-top: where] "
        "    if all [event <> 'init any [block? :where paren? :where]] [ "
        "        old-tail: tail where "
        "        loop 20 [append where none] "
        "        unless same? head where head traced-top [clear old-tail] "
        "    ] "
        "    set to word! append copy \"traced-grown-\" form traced-grown traced-grown "
        "]");
}

// Runs the code under the call-back while it lives.
class TracedBy {
public:
    explicit TracedBy(const char* name) : callback_(eval_value(std::string(":") + name)), keep_(&callback_) {
        g_run_tracer = &callback_;
    }
    ~TracedBy() { g_run_tracer = nullptr; }
    TracedBy(const TracedBy&) = delete;
    TracedBy& operator=(const TracedBy&) = delete;

private:
    Cell callback_;
    gc::root keep_;
};

using TableAndTracing = std::tuple<size_t, Tracing>;

class TracedTables : public ::testing::TestWithParam<TableAndTracing> {
protected:
    static void SetUpTestSuite() { define_tracers(); }
    void TearDown() override {
        EXPECT_FALSE(interpreter::g_tracing);
        EXPECT_FALSE(interpreter::g_tracer_installed);
    }
};

TEST_P(TracedTables, GiveTheTablesResults) {
    const auto& [index, tracing] = GetParam();
    const EvalTable& table = *eval_tables()[index];
    if (table.setup) table.setup();
    for (const EvalCase& c : table.cases) {
        SCOPED_TRACE(c.code);
        std::string got;
        switch (tracing) {
            case Tracing::none: got = table.run(c.code); break;
            case Tracing::recording: {
                eval_value("clear traced-log");
                {
                    TracedBy recorder("trace-recorder");
                    got = table.run(c.code);
                }
                // Each run was traced whole, however it ended.
                EXPECT_EQ(eval("reduce [pick traced-log 1 pick back tail traced-log 1]"), "[init end]");
                break;
            }
            case Tracing::hostile: {
                eval_value("traced-before: traced-grown");
                uint32_t case_moves = memory::g_buffer_moves;
                {
                    TracedBy grower("trace-grower");
                    got = table.run(c.code);
                }
                // The growth gave a block or the global context another buffer.
                EXPECT_EQ(eval("traced-grown > traced-before"), "true");
                EXPECT_GT(memory::g_buffer_moves, case_moves);
                break;
            }
        }
        EXPECT_EQ(got, c.expected);
    }
}

// Cells appended to the code at one event: those appended at init, before
// the block begins, run; those appended from its enter event on do not.
TEST(TracedGrowth, ABlockEndsAtTheTailItHadWhenItBegan) {
    eval_value("grow-at: func [at] [grown: false func [event where offset value ref frame] compose/deep [ "
               "    if all [event = (to lit-word! at) not grown same? head where head c] [ "
               "        append where [append out 3] grown: true "
               "    ] "
               "]]");
    expect_results({
        {"out: copy [] c: copy [append out 1 7] cb: grow-at 'init reduce [do/trace c :cb out]", "[[1 3] [1 3]]"},
        {"out: copy [] c: copy [append out 1 7] cb: grow-at 'enter reduce [do/trace c :cb out]", "[7 [1]]"},
        {"out: copy [] c: copy [append out 1 7] cb: grow-at 'call reduce [do/trace c :cb out]", "[7 [1]]"},
        {"out: copy [] c: copy [append out 1 7] cb: grow-at 'exit reduce [do/trace c :cb out]", "[7 [1]]"},
    });
}

// A function left by return or exit answers its own value, not what its
// epilog event's call-back answered.
TEST(TracedReturn, AFunctionLeftByReturnAnswersItsOwnValue) {
    eval_value("other: func [[epilog] event code offset value ref frame] ['other]");
    EXPECT_EQ(eval("f: func [] [return 5] do/trace [f] :other"), "5");
    EXPECT_EQ(eval("g: func [] [exit] do/trace [g] :other"), "unset");
    EXPECT_EQ(eval("h: func [] [loop 3 [return 6]] do/trace [1 + h] :other"), "7");
}

std::string case_name(const ::testing::TestParamInfo<TableAndTracing>& info) {
    std::string name = eval_tables()[std::get<0>(info.param)]->name;
    for (char& ch : name)
        if (ch == '.') ch = '_';
    return name + "_" + tracing_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryTable, TracedTables,
                         ::testing::Combine(::testing::Range<size_t>(0, eval_tables().size()),
                                            ::testing::Values(Tracing::none, Tracing::recording,
                                                              Tracing::hostile)),
                         case_name);

}  // namespace
}  // namespace zel::test
