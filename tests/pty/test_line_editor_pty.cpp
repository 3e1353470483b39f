// The console's line editor on a real (pseudo-)terminal: keys typed, the
// screen read back. Each table runs its cases in one console, one line per
// case, and checks the result the console shows for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pty/pty_session.h"

namespace {

using zel::pty::Session;
using namespace std::chrono_literals;

namespace key {
const std::string UP = "\x1b[A", DOWN = "\x1b[B", RIGHT = "\x1b[C", LEFT = "\x1b[D";
const std::string HOME = "\x1b[H", HOME_1 = "\x1b[1~", HOME_SS3 = "\x1bOH";
const std::string END = "\x1b[F", END_4 = "\x1b[4~", END_SS3 = "\x1bOF";
const std::string DELETE = "\x1b[3~", BACKSPACE = "\x7f", ENTER = "\r", TAB = "\t", ESCAPE = "\x1b";
const std::string CTRL_A = "\x01", CTRL_B = "\x02", CTRL_C = "\x03", CTRL_D = "\x04",
                  CTRL_E = "\x05";
const std::string CTRL_F = "\x06", CTRL_K = "\x0b", CTRL_N = "\x0e", CTRL_P = "\x10";
}  // namespace key

// A console under the harness, at its first prompt.
class Console {
  public:
    explicit Console(int columns = 80, int rows = 24,
                     const std::vector<std::string>& argv = {ZEL_BINARY},
                     const std::function<void(const std::string&)>& prepare = nullptr)
        : s(argv, columns, rows, prepare) {
        EXPECT_TRUE(s.started());
        EXPECT_TRUE(at_prompt()) << s.screen();
    }

    // Waits for the prompt on the cursor's row with nothing typed after it.
    bool at_prompt(const std::string& prompt = ">>") {
        return s.wait_until(
            [&] { return s.row(s.cursor_row()) == prompt && s.cursor_column() == 3; });
    }
    // Types each step as keys of its own.
    void keys(const std::vector<std::string>& steps) {
        for (const std::string& k : steps) s.type(k);
    }
    // The text on the cursor's row.
    std::string line() { return s.row(s.cursor_row()); }
    // Waits for the cursor's row to read `text`.
    bool line_is(const std::string& text) {
        return s.wait_until([&] { return line() == text; }, 5s);
    }
    // Waits for `text` on the row above a fresh prompt.
    bool shows_before_prompt(const std::string& text) {
        return s.wait_until([&] {
            int r = s.cursor_row();
            return r > 0 && s.row(r) == ">>" && s.row(r - 1) == text;
        });
    }
    // Ends the console with the keys (quit by default): its status is 0 and
    // the terminal's mode is as it was.
    void quit(const std::vector<std::string>& ending = {"quit", key::ENTER}) {
        keys(ending);
        EXPECT_EQ(s.wait_exit(), 0) << s.screen();
        EXPECT_TRUE(s.mode_restored());
    }

    Session s;
};

struct EditCase {
    const char* name;
    std::vector<std::string> keys;  // before Enter
    const char* shown;              // the console's result line
};

TEST(LineEditorPty, EditingKeys) {
    const EditCase cases[] = {
        {"typing at the end", {"\"ab", "c\""}, "== \"abc\""},
        {"typing in the middle", {"\"a2\"", key::LEFT, key::LEFT, "b"}, "== \"ab2\""},
        {"left then right",
         {"\"abd\"", key::LEFT, key::LEFT, key::LEFT, key::RIGHT, "c"},
         "== \"abcd\""},
        {"home and end (CSI)", {"bce", key::HOME, "\"a", key::END, "\""}, "== \"abce\""},
        {"home and end (CSI ~)", {"bcf", key::HOME_1, "\"a", key::END_4, "\""}, "== \"abcf\""},
        {"home and end (SS3)", {"bcg", key::HOME_SS3, "\"a", key::END_SS3, "\""}, "== \"abcg\""},
        {"ctrl-a and ctrl-e", {"bch", key::CTRL_A, "\"a", key::CTRL_E, "\""}, "== \"abch\""},
        {"ctrl-b and ctrl-f",
         {"\"aci\"", key::CTRL_B, key::CTRL_B, key::CTRL_B, key::CTRL_F, "b"},
         "== \"acbi\""},
        {"ctrl-k",
         {"\"abj\" 1 2 3", key::LEFT, key::LEFT, key::LEFT, key::LEFT, key::LEFT, key::LEFT,
          key::CTRL_K},
         "== \"abj\""},
        {"backspace at the end", {"\"abkx", key::BACKSPACE, "\""}, "== \"abk\""},
        {"backspace at the start", {"\"abl\"", key::HOME, key::BACKSPACE}, "== \"abl\""},
        {"backspace in the middle",
         {"\"abxm\"", key::LEFT, key::LEFT, key::BACKSPACE},
         "== \"abm\""},
        {"delete", {"\"axbn\"", key::HOME, key::RIGHT, key::RIGHT, key::DELETE}, "== \"abn\""},
        {"delete at the end", {"\"abo\"", key::DELETE}, "== \"abo\""},
        {"ctrl-d in the middle",
         {"\"axbp\"", key::HOME, key::RIGHT, key::RIGHT, key::CTRL_D},
         "== \"abp\""},
        {"ctrl-d at the end of a line", {"\"abq\"", key::CTRL_D}, "== \"abq\""},
        {"insert and page keys ignored",
         {"\"ab", "\x1b[2~", "\x1b[5~", "\x1b[6~", "\x1b[1;5C", "r\""},
         "== \"abr\""},
        {"a key split across reads", {"\"abt\"", "\x1b[", "D", "x"}, "== \"abtx\""},
        {"a modifier dropped",
         {"\"abu\"", "\x1b[1;5D", "\x1b[1;2D", "\x1b[1;3C", "x"},
         "== \"abux\""},
        {"utf-8 text", {"\"é", "€", "\xf0\x9f\x8d\x8e\""}, "== \"é€🍎\""},
    };
    Console c;
    for (const EditCase& e : cases) {
        SCOPED_TRACE(e.name);
        c.keys(e.keys);
        c.keys({key::ENTER});
        EXPECT_TRUE(c.shows_before_prompt(e.shown)) << c.s.screen();
    }
    c.quit();
}

TEST(LineEditorPty, HistoryUpAndDown) {
    Console c;
    for (const char* n : {"1", "2", "3"}) {
        c.keys({n, key::ENTER});
        EXPECT_TRUE(c.shows_before_prompt(std::string("== ") + n)) << c.s.screen();
    }
    struct Step {
        std::string key;
        const char* line;
    };
    // Newest first; one Up past the oldest empties the line; Down after two
    // Ups shows the same entry again, then the newer; Down at the start
    // empties the line.
    const Step steps[] = {
        {key::UP, ">> 3"},   {key::UP, ">> 2"},   {key::UP, ">> 1"},     {key::UP, ">>"},
        {key::ENTER, ">>"},  {key::UP, ">> 3"},   {key::CTRL_P, ">> 2"}, {key::DOWN, ">> 2"},
        {key::DOWN, ">> 3"}, {key::CTRL_N, ">>"}, {key::DOWN, ">>"},
    };
    for (const Step& step : steps) {
        c.keys({step.key});
        EXPECT_TRUE(c.line_is(step.line)) << "after " << step.line << "\n" << c.s.screen();
    }
    c.quit();
}

TEST(LineEditorPty, WhatEnterAddsToTheHistory) {
    Console c;
    c.keys({"\"ABC\"", key::ENTER});
    ASSERT_TRUE(c.shows_before_prompt("== \"ABC\"")) << c.s.screen();
    c.keys({"\"ABC\"", key::ENTER});  // the same as the newest: not added
    ASSERT_TRUE(c.at_prompt());
    c.keys({key::ENTER});  // empty: not added
    ASSERT_TRUE(c.at_prompt());
    c.keys({"pw: ask/hide uppercase \"word: \"", key::ENTER});
    ASSERT_TRUE(c.s.wait_for("WORD:")) << c.s.screen();
    c.keys({"se", "cret", key::ENTER});  // hidden: not added
    ASSERT_TRUE(c.shows_before_prompt("== \"secret\"")) << c.s.screen();
    c.keys({"\"abc\"", key::ENTER});  // differs in case: added
    ASSERT_TRUE(c.shows_before_prompt("== \"abc\"")) << c.s.screen();
    for (const char* expected : {">> \"abc\"", ">> pw: ask/hide uppercase \"word: \"", ">> \"ABC\"", ">>"}) {
        c.keys({key::UP});
        EXPECT_TRUE(c.line_is(expected)) << c.s.screen();
    }
    c.keys({key::ENTER});
    c.quit();
}

// Entries of a hand-edited settings file that are no text are passed over.
TEST(LineEditorPty, HistoryEntriesThatAreNoTextArePassedOver) {
    Console c(80, 24, {ZEL_BINARY}, [](const std::string& home) {
        std::filesystem::create_directories(home + "/.zel/Zel-Console");
        std::ofstream(home + "/.zel/Zel-Console/console-cfg.zel")
            << "Zel []\nbuffer-lines: 10000\nhistory: [\"newest\" 42 [x] \"oldest\"]\n";
    });
    const std::pair<std::string, const char*> steps[] = {
        {key::UP, ">> newest"},   {key::UP, ">> oldest"},   {key::UP, ">>"},
        {key::DOWN, ">> oldest"}, {key::DOWN, ">> newest"}, {key::DOWN, ">>"},
    };
    for (const auto& [k, line] : steps) {
        c.keys({k});
        EXPECT_TRUE(c.line_is(line)) << "expected " << line << "\n" << c.s.screen();
    }
    c.quit({key::CTRL_C});
}

TEST(LineEditorPty, HiddenInputEchoesStars) {
    Console c;
    // The prompt is made when the line runs, so waiting for it never
    // matches the echo of the typed line itself.
    c.keys({"pw: ask/hide uppercase \"word: \"", key::ENTER});
    ASSERT_TRUE(c.s.wait_for("WORD:")) << c.s.screen();
    c.keys({"qq", key::TAB});  // no candidate: a tab, shown as four
    EXPECT_TRUE(c.line_is("WORD: ******")) << c.s.screen();
    c.keys({key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"qq^-\"")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, CtrlCAtThePromptQuits) {
    Console c;
    c.quit({"1 + ", key::CTRL_C});
}

TEST(LineEditorPty, CtrlCInsideAnOpenBlockIsALine) {
    Console c;
    c.keys({"[", key::ENTER});
    ASSERT_TRUE(c.s.wait_until([&] { return c.line() == "[" && c.s.cursor_column() == 5; }))
        << c.s.screen();
    c.keys({key::CTRL_C});
    ASSERT_TRUE(c.s.wait_until([&] {
        return c.s.row(c.s.cursor_row() - 1) == "[" && c.line() == "[";
    })) << c.s.screen();
    c.keys({"]", key::ENTER});
    EXPECT_TRUE(c.s.wait_until([&] {
        int r = c.s.cursor_row();
        return r > 2 && c.line() == ">>" && c.s.row(r - 3) == "== [" && c.s.row(r - 2) == "    q" &&
               c.s.row(r - 1) == "]";
    })) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, CtrlDOnAnEmptyLineQuits) {
    Console c;
    c.quit({key::CTRL_D});
}

TEST(LineEditorPty, EscapeAbandonsTheLine) {
    Console c;
    c.keys({"print 1", key::ESCAPE});
    EXPECT_TRUE(c.shows_before_prompt("(escape)")) << c.s.screen();
    // Inside an open block too: the block is dropped.
    c.keys({"[1", key::ENTER, "2", key::ESCAPE});
    EXPECT_TRUE(c.s.wait_until([&] {
        return c.s.row(c.s.cursor_row() - 1) == "(escape)" && c.line() == ">>";
    })) << c.s.screen();
    c.quit();
}

struct TabCase {
    const char* name;
    std::vector<std::string> keys;  // ending with the Tab
    const char* line;               // the cursor's row after it
    int column;                     // the cursor's column
};

TEST(LineEditorPty, TabCompletion) {
    Console c;
    {
        std::ofstream(c.s.home() + "/alpha-file.txt") << "x";
        std::ofstream(c.s.home() + "/beta-one.txt") << "x";
        std::ofstream(c.s.home() + "/beta-two.txt") << "x";
    }
    const TabCase cases[] = {
        {"no candidate: a tab", {"\"qq", key::TAB}, ">> \"qq", 10},
        {"one candidate", {"upperc", key::TAB}, ">> uppercase", 12},
        {"the word itself: a tab", {"print", key::TAB}, ">> print", 12},
        {"a path into an object", {"system/con", key::TAB}, ">> system/console", 17},
        {"a file name", {"%alp", key::TAB}, ">> %alpha-file.txt", 18},
        {"in the middle of a line",
         {"x: upperc \"a\"", key::LEFT, key::LEFT, key::LEFT, key::LEFT, key::TAB},
         ">> x: uppercase \"a\"",
         15},
        {"after an opening bracket", {"[lowerc", key::TAB}, ">> [lowercase", 13},
    };
    for (const TabCase& t : cases) {
        SCOPED_TRACE(t.name);
        c.keys(t.keys);
        EXPECT_TRUE(c.s.wait_until([&] {
            return c.line() == t.line && c.s.cursor_column() == t.column;
        })) << c.s.screen()
            << "cursor column " << c.s.cursor_column();
        c.keys({key::CTRL_A, key::CTRL_K, key::ENTER});
        ASSERT_TRUE(c.at_prompt()) << c.s.screen();
    }
    // After the completion the line goes on being edited.
    c.keys({"x: upperc \"a\"", key::LEFT, key::LEFT, key::LEFT, key::LEFT, key::TAB, key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"A\"")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, TabWithSeveralCandidates) {
    Console c;
    {
        std::ofstream(c.s.home() + "/beta-one.txt") << "x";
        std::ofstream(c.s.home() + "/beta-two.txt") << "x";
    }
    struct Several {
        const char* typed;
        const char* listed;     // the row showing the candidates
        const char* prefilled;  // the next prompt's line
    };
    const Several cases[] = {
        {"pri", ">> prin print", ">> prin"},
        {"append/", ">> dup only part", ">> append/"},
        {"%bet", ">> beta-one.txt beta-two.txt", ">> %beta-"},
    };
    for (const Several& t : cases) {
        SCOPED_TRACE(t.typed);
        c.keys({t.typed, key::TAB});
        EXPECT_TRUE(c.s.wait_until([&] {
            int r = c.s.cursor_row();
            return r > 0 && c.s.row(r - 1) == t.listed && c.line() == t.prefilled &&
                   c.s.cursor_column() == int(std::string(t.prefilled).size());
        })) << c.s.screen();
        c.keys({key::CTRL_A, key::CTRL_K, key::ENTER});
        ASSERT_TRUE(c.at_prompt()) << c.s.screen();
    }
    // The pre-filled line is edited on: "prin" becomes "print 7".
    c.keys({"pri", key::TAB});
    ASSERT_TRUE(c.line_is(">> prin")) << c.s.screen();
    c.keys({"t 7", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("7")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, ACompletionErrorCountsAsNoCandidate) {
    Console c;
    c.keys({"zel-complete-ctx/zel-complete-file: func [s c] [1 / 0]", key::ENTER});
    ASSERT_TRUE(c.at_prompt()) << c.s.screen();
    c.keys({"\"%x", key::TAB, "\"", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"%x^-\"")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, AColouredPromptTakesNoColumns) {
    Console c;
    c.keys({"system/console/prompt: \"^[[31m>>^[[0m \"", key::ENTER});
    ASSERT_TRUE(c.at_prompt()) << c.s.screen();
    c.keys({"abc", key::LEFT});
    EXPECT_TRUE(c.s.wait_until([&] { return c.line() == ">> abc" && c.s.cursor_column() == 5; }))
        << c.s.screen();
    std::vector<zel::pty::Cell> row = c.s.cells(c.s.cursor_row());
    EXPECT_TRUE(row[0].coloured && row[1].coloured);
    EXPECT_FALSE(row[3].coloured);
    c.keys({key::CTRL_A, key::CTRL_K, key::ENTER});
    c.quit();
}

TEST(LineEditorPty, AWideCharacterAtTheLastColumnStartsTheNextRow) {
    Console c(20, 10);
    // ">> " and 16 characters: the cursor stands in the last column.
    c.keys({"\"aaaaaaaaaaaaaa", "a"});
    ASSERT_TRUE(c.s.wait_until([&] { return c.s.cursor_column() == 19; })) << c.s.screen();
    int r = c.s.cursor_row();
    c.keys({"\xf0\x9f\x8d\x8e"});
    EXPECT_TRUE(c.s.wait_until([&] {
        return c.s.cursor_row() == r + 1 && c.s.cursor_column() == 2;
    })) << c.s.screen();
    EXPECT_EQ(c.s.row(r), ">> \"aaaaaaaaaaaaaaa");
    EXPECT_EQ(c.s.row(r + 1), "🍎");
    // Back over it: the cursor stands on the wide character, on its row.
    c.keys({key::LEFT});
    EXPECT_TRUE(c.s.wait_until([&] {
        return c.s.cursor_row() == r + 1 && c.s.cursor_column() == 0;
    })) << c.s.screen();
    c.keys({key::END, "\"", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"aaaaaaaaaaaa...")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, ALongLineOnTheBottomRow) {
    Console c(20, 6);
    // Move the prompt to the bottom row.
    for (int i = 0; i < 4; i++) c.keys({key::ENTER});
    ASSERT_TRUE(c.s.wait_until([&] { return c.s.cursor_row() == 5 && c.line() == ">>"; }))
        << c.s.screen();
    // 3 + 30 cells: two rows, the screen scrolls once.
    c.keys({"\"abcdefghijklmnopqrstuvwxyz12\""});
    ASSERT_TRUE(c.s.wait_until([&] { return c.s.row(5) == "qrstuvwxyz12\""; })) << c.s.screen();
    EXPECT_EQ(c.s.row(4), ">> \"abcdefghijklmnop");
    EXPECT_EQ(c.s.row(3), ">>");
    // Home: the cursor goes to the line's first row; an insertion there
    // redraws both rows in place.
    c.keys({key::HOME, key::RIGHT, "X"});
    EXPECT_TRUE(c.s.wait_until([&] { return c.s.row(4) == ">> \"Xabcdefghijklmno"; }))
        << c.s.screen();
    EXPECT_EQ(c.s.row(5), "pqrstuvwxyz12\"");
    EXPECT_EQ(c.s.cursor_row(), 4);
    EXPECT_EQ(c.s.cursor_column(), 5);
    c.keys({key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"Xabcdefghijk...")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, AResizeWhileReading) {
    Console c(40, 10);
    c.keys({"\"abcdefghijklmnopqrstuvwxyz"});
    ASSERT_TRUE(c.line_is(">> \"abcdefghijklmnopqrstuvwxyz")) << c.s.screen();
    int r = c.s.cursor_row();
    c.s.resize(20, 10);
    c.keys({"\""});
    // The line is drawn again at the new width.
    EXPECT_TRUE(c.s.wait_until([&] {
        return c.s.row(r) == ">> \"abcdefghijklmnop" && c.s.row(r + 1) == "qrstuvwxyz\"";
    })) << c.s.screen();
    c.keys({key::ENTER});
    ASSERT_TRUE(c.at_prompt()) << c.s.screen();
    c.keys({"system/console/size", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== 20x10")) << c.s.screen();
    c.quit();
}

TEST(LineEditorPty, InputAndAskReadFromTheTerminal) {
    Console c;
    c.keys({"x: input", key::ENTER});
    ASSERT_TRUE(c.s.wait_until([&] { return c.line().empty() && c.s.cursor_column() == 0; }))
        << c.s.screen();
    c.keys({"some text", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"some text\"")) << c.s.screen();
    c.keys({"ask uppercase \"Name? \"", key::ENTER});
    ASSERT_TRUE(c.s.wait_for("NAME?")) << c.s.screen();
    c.keys({"Ann", key::ENTER});
    EXPECT_TRUE(c.shows_before_prompt("== \"Ann\"")) << c.s.screen();
    // A read that starts in the middle of a row starts where the cursor is.
    c.keys({"prin \"Name: \" ask \"\"", key::ENTER});
    ASSERT_TRUE(c.s.wait_until([&] { return c.line() == "Name:" && c.s.cursor_column() == 6; }))
        << c.s.screen();
    c.keys({"Bo", key::LEFT, key::LEFT, "x", key::ENTER});
    EXPECT_TRUE(c.s.wait_until([&] {
        int r = c.s.cursor_row();
        return r > 1 && c.s.row(r - 2) == "Name: xBo" && c.s.row(r - 1) == "== \"xBo\"";
    })) << c.s.screen();
    c.quit();
}

// Standard output redirected: the prompt and the echo still reach the
// terminal; what the program prints goes to the file.
TEST(LineEditorPty, PromptAndEchoGoToTheTerminalOfStandardInput) {
    Console c(80, 24, {"/bin/sh", "-c", std::string("exec ") + ZEL_BINARY + " > out.txt"});
    c.keys({"print \"to the file\"", key::ENTER});
    EXPECT_TRUE(c.s.wait_until([&] {
        int r = c.s.cursor_row();
        return r > 0 && c.s.row(r - 1) == ">> print \"to the file\"" && c.line() == ">>";
    })) << c.s.screen();
    c.quit();
    std::ifstream file(c.s.home() + "/out.txt");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("to the file\n"), std::string::npos) << text.str();
    EXPECT_EQ(c.s.screen().find("to the file\n"), std::string::npos) << c.s.screen();
}

// call/console: the child shares the terminal, in the mode the terminal had
// before the console started (its line editing, its echo).
TEST(CallPty, AChildSharesTheTerminal) {
    Console c;
    c.keys({"call/console {sh -c 'read x; echo got-$x'}", key::ENTER});
    c.keys({"abc", key::ENTER});
    EXPECT_TRUE(c.s.wait_for("got-abc")) << c.s.screen();
    EXPECT_TRUE(c.shows_before_prompt("== 0")) << c.s.screen();
    c.quit();
}

}  // namespace
