// The line editor's terminal-free parts: the key decoder over byte strings,
// the layout over widths and positions, and the editor driven by scripted
// keys (what it writes is checked where the screen cannot show it).
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "console/line_editor.h"

namespace {

namespace le = zel::line_editor;
using Keys = std::vector<int32_t>;

Keys decode(const std::vector<std::string>& reads, bool time_out_at_end = false) {
    le::KeyDecoder d;
    Keys keys;
    for (const std::string& r : reads) d.feed(r.data(), r.size(), keys);
    if (time_out_at_end) d.timeout(keys);
    return keys;
}

TEST(KeyDecoder, Sequences) {
    struct Case {
        const char* bytes;
        Keys keys;
    };
    const Case cases[] = {
        {"a", {'a'}},
        {"\r", {13}},
        {"\n", {13}},  // pasted text: a line feed is Enter
        {"\x7f\x08\t\x01\x03", {127, 8, 9, 1, 3}},
        {"\x1b[A\x1b[B\x1b[C\x1b[D", {le::KEY_UP, le::KEY_DOWN, le::KEY_RIGHT, le::KEY_LEFT}},
        {"\x1bOA\x1bOD\x1bOH\x1bOF", {le::KEY_UP, le::KEY_LEFT, le::KEY_HOME, le::KEY_END}},
        {"\x1b[H\x1b[F", {le::KEY_HOME, le::KEY_END}},
        {"\x1b[1~\x1b[7~\x1b[4~\x1b[8~", {le::KEY_HOME, le::KEY_HOME, le::KEY_END, le::KEY_END}},
        {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
         {le::KEY_INSERT, le::KEY_DELETE, le::KEY_PAGE_UP, le::KEY_PAGE_DOWN}},
        // Modifiers are dropped.
        {"\x1b[1;5A\x1b[1;2D\x1b[3;5~", {le::KEY_UP, le::KEY_LEFT, le::KEY_DELETE}},
        // Other complete sequences are 0; the text after them goes on.
        {"\x1b[15~x", {0, 'x'}},
        {"\x1bOPx", {0, 'x'}},
        {"\x1b[?1;2cx", {0, 'x'}},
        {"\x1b[200~", {0}},
        {"\x1b"
         "b",
         {0}},  // an Alt key
        {"\x1b\x1b[A", {27, le::KEY_UP}},
        // UTF-8, and what is not.
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x8d\x8e", {0xE9, 0x20AC, 0x1F34E}},
        {"\xc3x", {int32_t(le::REPLACEMENT), 'x'}},
        {"\xff\x80x", {int32_t(le::REPLACEMENT), int32_t(le::REPLACEMENT), 'x'}},
        {"\xc0\xaf", {int32_t(le::REPLACEMENT), int32_t(le::REPLACEMENT)}},
        {"\xed\xa0\x80", {int32_t(le::REPLACEMENT)}},  // a surrogate
        {"\xe2\x82\x1b[A", {int32_t(le::REPLACEMENT), le::KEY_UP}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        EXPECT_EQ(decode({c.bytes}), c.keys);
    }
}

TEST(KeyDecoder, SplitAcrossReads) {
    EXPECT_EQ(decode({"\x1b", "[", "A"}), Keys{le::KEY_UP});
    EXPECT_EQ(decode({"\x1b[", "3", "~"}), Keys{le::KEY_DELETE});
    EXPECT_EQ(decode({"\x1b[1;", "5C"}), Keys{le::KEY_RIGHT});
    EXPECT_EQ(decode({"\xf0\x9f", "\x8d", "\x8e"}), Keys{0x1F34E});
}

TEST(KeyDecoder, ALoneEscapeWaitsForTheTimeout) {
    le::KeyDecoder d;
    Keys keys;
    d.feed("\x1b", 1, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(d.escape_pending());
    d.timeout(keys);
    EXPECT_EQ(keys, Keys{27});
    EXPECT_FALSE(d.escape_pending());
    // A timeout with nothing pending, or inside a sequence, gives nothing.
    keys.clear();
    d.timeout(keys);
    d.feed("\x1b[", 2, keys);
    d.timeout(keys);
    d.feed("B", 1, keys);
    EXPECT_EQ(keys, Keys{le::KEY_DOWN});
}

TEST(KeyDecoder, CursorReports) {
    le::KeyDecoder d;
    Keys keys;
    d.feed("x\x1b[12;40Ry", 10, keys);
    EXPECT_EQ(keys, (Keys{'x', le::KEY_CURSOR_REPORT, 'y'}));
    EXPECT_EQ(d.report_row, 12);
    EXPECT_EQ(d.report_column, 40);
    // One number is no report.
    keys.clear();
    d.feed("\x1b[5R", 4, keys);
    EXPECT_EQ(keys, Keys{0});
}

int64_t lay(const std::u32string& text, int64_t at, int columns, bool masked = false,
            std::string* out = nullptr) {
    return le::lay_out(text.data(), text.size(), at, columns, masked, out);
}

TEST(Layout, Widths) {
    struct Case {
        std::u32string text;
        int64_t at;
        int columns;
        int64_t end;
    };
    const Case cases[] = {
        {U"abc", 0, 80, 3},
        {U"abc", 78, 80, 81},               // wraps: row 1, column 1
        {U"a\tb", 0, 80, 6},                // a tab is four
        {U"\U0001F34E", 0, 80, 2},          // U+1F300-U+1F5FF: two
        {U"\U0001F34E", 79, 80, 82},        // wide at the last column: starts on the next row
        {U"\U0001F34E", 78, 80, 80},        // wide in the last two columns: fits
        {U"\u4E2D", 79, 80, 82},            // East Asian wide: the same
        {U"e\u0301", 0, 80, 1},             // a combining mark takes nothing
        {U"\x1b[31m>>\x1b[0m ", 0, 80, 3},  // colour sequences take nothing
        {U"\x1b(B", 5, 80, 5},
        {U"\x1b[", 0, 80, 0},  // a sequence cut short at the end
        {U"ab", 0, 1, 2},      // one column a row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text.begin(), c.text.end())));
        EXPECT_EQ(lay(c.text, c.at, c.columns), c.end);
    }
}

TEST(Layout, WhatIsWritten) {
    std::string out;
    lay(U"a\tb", 0, 80, false, &out);
    EXPECT_EQ(out, "a    b");
    out.clear();
    EXPECT_EQ(lay(U"a\t\U0001F34E", 0, 80, true, &out), 6);  // masked: a star each, four for a tab
    EXPECT_EQ(out, "******");
    out.clear();
    lay(U"\x1b[1;32mok", 0, 80, false, &out);
    EXPECT_EQ(out, "\x1b[1;32mok");
    out.clear();
    EXPECT_EQ(lay(U"a\rb\x01", 0, 80, false, &out), 4);  // control characters show as "?"
    EXPECT_EQ(out, "a?b?");
}

// The editor over scripted keys; the terminal's output is collected.
struct Script {
    std::deque<int32_t> keys;
    std::string written;
    std::vector<std::u32string> history;
    std::vector<bool> text;  // whether each history entry is text
    le::Completion completion;
    std::u32string completed_line;
    size_t completed_at = 0;

    le::Hooks hooks() {
        return le::Hooks{
            [this] {
                if (keys.empty()) return int32_t(-1);
                int32_t k = keys.front();
                keys.pop_front();
                return k;
            },
            [this](const std::string& s) { written += s; },
            [this] { return int(history.size()); },
            [this](int i, std::u32string& out) {
                if (!text.empty() && !text[size_t(i)]) return false;
                out = history[size_t(i)];
                return true;
            },
            [this](const std::u32string& line, size_t at) {
                completed_line = line;
                completed_at = at;
                return completion;
            },
        };
    }
};

std::u32string run(Script& s, std::initializer_list<int32_t> keys, le::Ending* ending = nullptr) {
    s.keys.insert(s.keys.end(), keys);
    le::Editor editor(s.hooks());
    std::u32string line;
    le::Ending e = editor.edit(U">> ", false, 80, 24, 0, 0, line);
    if (ending) *ending = e;
    return line;
}

TEST(Editor, HistoryEntriesThatAreNoTextArePassedOver) {
    Script s;
    s.history = {U"new", U"", U"old"};
    s.text = {true, false, true};
    EXPECT_EQ(run(s, {le::KEY_UP, le::KEY_UP, 13}), U"old");
    EXPECT_EQ(run(s, {le::KEY_UP, le::KEY_UP, le::KEY_DOWN, le::KEY_DOWN, 13}), U"new");
    EXPECT_EQ(run(s, {le::KEY_UP, le::KEY_UP, le::KEY_UP, 13}), U"");
}

TEST(Editor, TabCallsTheCompletionAtTheCursor) {
    Script s;
    s.completion.kind = le::Completion::line;
    s.completion.text = U"print x";
    s.completion.cursor = 5;
    EXPECT_EQ(run(s, {'p', 'r', ' ', 'x', le::KEY_LEFT, le::KEY_LEFT, 9, '!', 13}), U"print! x");
    EXPECT_EQ(s.completed_line, U"pr x");
    EXPECT_EQ(s.completed_at, 2u);
}

TEST(Editor, SeveralCandidatesPrefillTheNextRead) {
    Script s;
    s.completion.kind = le::Completion::several;
    s.completion.text = U"prin";
    s.completion.cursor = 4;
    s.completion.candidates = {U"prin", U"print"};
    le::Editor editor(s.hooks());
    s.keys = {'p', 'r', 'i', 9};
    std::u32string line;
    EXPECT_EQ(editor.edit(U">> ", false, 80, 24, 0, 0, line), le::Ending::candidates);
    EXPECT_EQ(line, U"");
    EXPECT_NE(s.written.find("prin print "), std::string::npos);
    s.keys = {'t', 13};
    EXPECT_EQ(editor.edit(U">> ", false, 80, 24, 0, 1, line), le::Ending::enter);
    EXPECT_EQ(line, U"print");
    // Enter emptied the carried text.
    s.keys = {13};
    editor.edit(U">> ", false, 80, 24, 0, 2, line);
    EXPECT_EQ(line, U"");
}

TEST(Editor, EndOfInputEndsTheRead) {
    Script s;
    le::Ending ending;
    EXPECT_EQ(run(s, {'a', 'b'}, &ending), U"ab");
    EXPECT_EQ(ending, le::Ending::end_of_input);
}

TEST(Editor, TypingAtTheEndWritesOnlyTheCharacter) {
    Script s;
    run(s, {'a', 'b', 13});
    // The first redraw, then "a" and "b" written alone, then the line end.
    EXPECT_EQ(s.written, "\x1b[J>> ab\r\n");
}

TEST(Editor, ALineFillingItsRowEndsOnTheNextRow) {
    Script s;
    s.keys = {'a', 'b', 'c', 13};
    le::Editor editor(s.hooks());
    std::u32string line;
    editor.edit(U">> ", false, 6, 24, 0, 0, line);
    // "c" fills the row: the cursor goes to the next row at once, and the
    // line end adds no empty row.
    EXPECT_EQ(s.written, "\x1b[J>> abc\r\n");
}

}  // namespace
