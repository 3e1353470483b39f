// Traced scans: the events a callback receives, its event mask, what its
// answers do (skip, drop, absorb, stop), the positions it is given and the
// positions it may set. The callback is a C++ function standing in for a
// Zel one, called through the lexer's callback runner.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/datatype.h"
#include "lexer/lexer.h"
#include "scalars/integer.h"
#include "scalars/pair.h"
#include "series/binary.h"
#include "tests/support/loaded.h"
#include "tests/support/runtime_env.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::lexer {
namespace {

struct Call {
    std::string event;
    std::string type;
    int line;
    std::string token;
    int64_t index;  // of the input
};

std::vector<Call> g_calls;
// Answers each call; may change the input (args[1]).
std::function<bool(const Call&, Cell* args)> g_answer;
Cell g_body;
bool g_has_body = false;

std::string type_text(const Cell& type) {
    switch (type_of(&type)) {
        case TYPE_DATATYPE:  // a datatype not registered yet shows its id
            return datatype::registered(test::type_named_by(type)) ? test::shown(type)
                                                                 : "#" + std::to_string(test::type_named_by(type));
        case TYPE_NONE: return "none";
        default: return symbol::c_string(test::symbol_of(type));
    }
}

void record_call(const Cell*, Cell* args, Cell* result) {
    Call call{symbol::c_string(test::symbol_of(args[0])), type_text(args[2]), integer::get(&args[3]), "",
              test::head_of(args[1])};
    if (type_of(&args[4]) == TYPE_PAIR)
        call.token = std::to_string(pair::x_of(&args[4])) + "x" + std::to_string(pair::y_of(&args[4]));
    else
        call.token = test::shown(args[4]);
    g_calls.push_back(call);
    bool answer = g_answer ? g_answer(call, args) : true;
    cell::set(result, TYPE_LOGIC, answer ? 1 : 0);
}

bool body_of(const Cell*, Cell* body) {
    if (g_has_body) *body = g_body;
    return g_has_body;
}

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        set_callback_runner(record_call, body_of);
        g_calls.clear();
        g_answer = nullptr;
        g_has_body = false;
        cell::set(&callback_, TYPE_NONE);
    }
    void TearDown() override { set_callback_runner(nullptr, nullptr); }

    // A traced load of a string source.
    Cell load(const char* text, unsigned flags = 0, int* type = nullptr) {
        source_ = test::text(text);
        Cell result;
        int t = scan_string(&result, &source_, -1, flags, nullptr, &callback_);
        if (type) *type = t;
        return result;
    }
    // Events as "event type line token".
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const Call& c : g_calls)
            out.push_back(c.event + " " + c.type + " " + std::to_string(c.line) + " " + c.token);
        return out;
    }
    void ask_for(const char* events) {
        g_body = test::loaded(std::string("[") + events + "] body");
        g_has_body = true;
    }

    Cell callback_;
    Cell source_;
};

TEST_F(Trace, EveryEventOfATokenStream) {
    Cell result = load("a [1] ;c\n{b}");
    EXPECT_EQ(test::shown(result), "[a [1] \"b\"]");
    // A delimiter ends its token without being part of it: its prescan
    // token is empty.
    const std::vector<std::string> expected = {
        "prescan word! 1 1x2",     "scan word! 1 1x2",       "load word! 1 a",
        "prescan block! 1 3x3",    "open block! 1 3x4",      "prescan integer! 1 4x5",
        "scan integer! 1 4x5",     "load integer! 1 1",      "prescan block! 1 5x5",
        "close block! 1 3x6",      "prescan comment 1 7x9",  "scan comment 1 7x9",
        "prescan string! 2 10x10", "open string! 2 10x11",   "close string! 2 10x13",
        "scan string! 2 10x13",    "load string! 2 \"b\"",
    };
    EXPECT_EQ(events(), expected);
    g_calls.clear();
    load("1 ");
    EXPECT_EQ(events().back(), "prescan eof 1 3x3");
}

TEST_F(Trace, BodyBlockChoosesTheEvents) {
    ask_for("open close error");
    load("[1] (2)");
    const std::vector<std::string> expected = {
        "open block! 1 1x2", "close block! 1 1x4", "open paren! 1 5x6", "close paren! 1 5x8"};
    EXPECT_EQ(events(), expected);

    g_calls.clear();
    g_body = test::loaded("print 1");  // a body not starting with a block wants everything
    load("x");
    EXPECT_EQ(events(), (std::vector<std::string>{"prescan word! 1 1x2", "scan word! 1 1x2", "load word! 1 x"}));
}

// A point literal is reported from its "(" to after its ")".
TEST_F(Trace, PointLiteralsAreWholeTokens) {
    ask_for("scan load");
    load("(1, 2) (1, 2, 3)");
    const std::vector<std::string> expected = {
        "scan point2D! 1 1x7", "load point2D! 1 (1, 2)", "scan point3D! 1 8x17",
        "load point3D! 1 (1, 2, 3)"};
    EXPECT_EQ(events(), expected);
}

TEST_F(Trace, AnswersSkipAndDrop) {
    // No to a prescan skips the token; no to a load drops the value.
    g_answer = [](const Call& c, Cell*) {
        if (c.event == "prescan") return c.token != "3x4";
        if (c.event == "load") return c.token != "5";
        return true;
    };
    EXPECT_EQ(test::shown(load("1 2 5 6")), "[1 6]");
}

TEST_F(Trace, RefusedCloseLeavesTheBlockOpen) {
    ask_for("close");
    int closes = 0;
    g_answer = [&](const Call&, Cell*) { return ++closes > 1; };
    Cell result = load("[1] 2]");
    EXPECT_EQ(test::shown(result), "[[1 2]]");
}

TEST_F(Trace, ErrorEventAnsweredYesStillRaises) {
    ask_for("error");
    ErrorThrow e = test::caught_error([&] { load("1 2a"); });
    EXPECT_EQ(e.id, ERR_syntax_invalid);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].type, "integer!");
    EXPECT_EQ(g_calls[0].token, "3x5");
}

// An error absorbed without moving the scan goes on one character after
// the start of the bad text, never reading it again.
TEST_F(Trace, AbsorbedErrorMovesOn) {
    ask_for("error");
    g_answer = [](const Call&, Cell*) { return false; };
    EXPECT_EQ(test::shown(load("1 ) 2 }")), "[1 2]");
    EXPECT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(test::shown(load("x #(foo) [1 (2) } 3]")), "[x [1 (2) 3]]");
    // A series left open at the end: absorbed, the scan delivers none.
    EXPECT_EQ(test::shown(load("[1 (2)")), "none");
}

// A callback may move the scan by moving its input: one character on skips
// a bad one. Positions count characters in a string source.
TEST_F(Trace, CallbackMovesTheScan) {
    ask_for("error");
    g_answer = [](const Call& c, Cell* args) {
        args[1] = test::at_head(args[1], int(c.index + 1));
        return false;
    };
    EXPECT_EQ(test::shown(load("\xC3\xA9t\xC3\xA9 } 7")), "[\xC3\xA9t\xC3\xA9 7]");
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].token, "5x6");  // characters, not bytes

    // A move past the text is clamped to its end.
    g_calls.clear();
    g_answer = [](const Call&, Cell* args) {
        args[1] = test::at_head(args[1], 1000);
        return false;
    };
    EXPECT_EQ(test::shown(load("1 } 2 3")), "[1]");

    // An input replaced by another series moves nothing.
    g_answer = [](const Call&, Cell* args) {
        args[1] = test::at_head(test::text("other"), 1);
        return false;
    };
    EXPECT_EQ(test::shown(load("1 } 2")), "[1 2]");
}

TEST_F(Trace, PositionsOfASourceNotAtItsHead) {
    ask_for("load");
    source_ = test::text("skip: 1 \xC3\xA9");
    source_ = test::at_head(source_, 6);
    Cell result;
    scan_string(&result, &source_, -1, 0, nullptr, &callback_);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].index, 7);  // the index is absolute, after the token
    EXPECT_EQ(g_calls[1].index, 9);
}

TEST_F(Trace, ScansWithoutLoadingNeverRaise) {
    int type = 0;
    load("[1 2a", SCAN_ONLY, &type);
    EXPECT_EQ(type, TYPE_ERROR);
    load("{open", PRESCAN, &type);
    EXPECT_EQ(type, TYPE_ERROR);
}

// A callback may load text itself while the scan that called it runs.
TEST_F(Trace, CallbackLoadsTextOfItsOwn) {
    ask_for("load");
    Cell inner;
    g_answer = [&](const Call& c, Cell*) {
        if (c.token == "2") {
            Cell text = test::text("7 [8]");
            scan_string(&inner, &text, -1, 0);
        }
        return true;
    };
    EXPECT_EQ(test::shown(load("1 2 [3]")), "[1 2 [3]]");
    EXPECT_EQ(test::shown(inner), "[7 [8]]");
}

// The call-back may change the binary being scanned, which replaces its
// buffer: the scan reads on from what the binary held when it began.
TEST_F(Trace, CallbackGrowingTheBinaryItScans) {
    ask_for("load");
    const char text[] = "1 [2 3] four";
    Cell source;
    binary::make_at(&source, int64_t(sizeof text - 1));
    Series* s = memory::series_of(test::node_of(source));
    std::memcpy(s->data(), text, sizeof text - 1);
    s->tail = s->offset + uint32_t(sizeof text - 1);
    g_answer = [&](const Call&, Cell*) {
        Series* old = memory::series_of(test::node_of(source));
        std::memset(binary::head(&source), '!', old->used());  // what was scanned is gone
        memory::expand_series(old, int64_t(old->used()) * 4 + 4096);
        return true;
    };
    Cell result;
    scan_binary(&result, &source, int64_t(sizeof text - 1), 0, nullptr, &callback_);
    EXPECT_EQ(test::shown(result), "[1 [2 3] four]");
}

TEST_F(Trace, WithoutARunnerATracedScanIsNotDone) {
    set_callback_runner(nullptr, nullptr);
    EXPECT_EQ(test::error_of([&] { load("1"); }), "internal/not-done");
}

}  // namespace
}  // namespace zel::lexer
