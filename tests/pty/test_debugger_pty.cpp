// The debugger at a real (pseudo-)terminal: its stops on the screen, its
// prompt read by the line editor, and a console history left without the
// commands typed at that prompt.
#include <gtest/gtest.h>

#include <string>

#include "tests/pty/pty_session.h"

namespace {

using zel::pty::Session;
using namespace std::chrono_literals;

const std::string ENTER = "\r", UP = "\x1b[A";

// Waits for the prompt alone on the cursor's row, the cursor after it.
bool prompt_is(Session& s, const std::string& prompt) {
    return s.wait_until([&] {
        return s.row(s.cursor_row()) == prompt && s.cursor_column() == int(prompt.size()) + 1;
    });
}

// The row holding the text, searched upwards from the cursor's (-1 when none).
int row_of(Session& s, const std::string& text) {
    for (int r = s.cursor_row(); r >= 0; r--)
        if (s.row(r) == text) return r;
    return -1;
}

TEST(DebuggerPty, StopsThenContinueAndTheHistoryWithoutTheCommands) {
    Session s({ZEL_BINARY}, 80, 24);
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(prompt_is(s, ">>")) << s.screen();

    s.type("debug [a: 1 print a]" + ENTER);
    ASSERT_TRUE(prompt_is(s, "debug>")) << s.screen();
    EXPECT_GE(row_of(s, "-----> EVAL a:"), 0) << s.screen();
    EXPECT_GE(row_of(s, "Input: a: 1 print a"), 0) << s.screen();
    EXPECT_GE(row_of(s, "-empty stack-"), 0) << s.screen();

    // Enter alone goes on to the next stop.
    s.type(ENTER);
    ASSERT_TRUE(s.wait_for("-----> PUSH a:")) << s.screen();
    ASSERT_TRUE(prompt_is(s, "debug>")) << s.screen();
    EXPECT_GE(row_of(s, "Stack: a:"), 0) << s.screen();
    s.type(ENTER);
    ASSERT_TRUE(s.wait_for("-----> EVAL 1")) << s.screen();
    ASSERT_TRUE(prompt_is(s, "debug>")) << s.screen();

    // Continue: no more stops, the code's own output, the console's prompt.
    s.type("c" + ENTER);
    ASSERT_TRUE(prompt_is(s, ">>")) << s.screen();
    int r = s.cursor_row();
    EXPECT_EQ(s.row(r - 1), "1") << s.screen();
    EXPECT_EQ(s.row(r - 2), "debug> c") << s.screen();
    EXPECT_EQ(row_of(s, "-----> PUSH 1"), -1) << s.screen();

    // The line that ran the debugger is the newest entry: "c" is gone.
    s.type(UP);
    EXPECT_TRUE(s.wait_until([&] { return s.row(s.cursor_row()) == ">> debug [a: 1 print a]"; }, 5s))
        << s.screen();
    s.type(UP);
    EXPECT_TRUE(s.wait_until([&] { return s.row(s.cursor_row()) == ">>"; }, 5s)) << s.screen();

    s.type(ENTER);
    ASSERT_TRUE(prompt_is(s, ">>")) << s.screen();
    s.type("quit" + ENTER);
    EXPECT_EQ(s.wait_exit(), 0) << s.screen();
    EXPECT_TRUE(s.mode_restored());
}

}  // namespace
