// The line editor's terminal-free parts: the key decoder (terminal input
// bytes to key codes), the layout of text on rows of a given width, and the
// editor itself (keys, history, completion, redrawing), which reaches the
// terminal and the Zel values only through the hooks it is given.
//
// Key codes: a character's code point (control keys their control codes:
// Ctrl-A 1 ... Ctrl-Z 26, Escape 27, Backspace 8 or 127, Tab 9, Enter 13);
// for keys without a character the negative codes below; 0 for any other
// key.
//
// Positions on the screen are offsets in cells from column 0 of the row the
// prompt starts on, every row counted `columns` wide.
//
// Relies on: the Unicode display widths, the UTF-8 encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace zel::line_editor {

constexpr int32_t KEY_UP = -20;
constexpr int32_t KEY_DOWN = -21;
constexpr int32_t KEY_RIGHT = -22;
constexpr int32_t KEY_LEFT = -23;
constexpr int32_t KEY_END = -24;
constexpr int32_t KEY_HOME = -25;
constexpr int32_t KEY_INSERT = -26;
constexpr int32_t KEY_DELETE = -27;
constexpr int32_t KEY_PAGE_UP = -28;
constexpr int32_t KEY_PAGE_DOWN = -29;
// Not a key: the terminal's answer to a cursor-position query; its row and
// column (from 1) are the decoder's `report_row` and `report_column`.
constexpr int32_t KEY_CURSOR_REPORT = INT32_MIN;

constexpr uint32_t REPLACEMENT = 0xFFFD;

// ---- Key decoding -------------------------------------------------------------------------

// Bytes to key codes, a byte at a time, so that a sequence split across
// reads decodes as one. UTF-8 becomes code points (a malformed sequence
// U+FFFD, the byte that broke it starting afresh); LF counts as Enter (13).
// ESC [ and ESC O begin control sequences: A B C D H F the arrows, Home and
// End; ESC [ n ~ the editing keys (1 and 7 Home, 4 and 8 End, 2 Insert,
// 3 Delete, 5 Page Up, 6 Page Down); ESC [ row ; column R a cursor report;
// modifier parameters are dropped; any other complete sequence is 0. ESC
// and another byte (an Alt key) is 0. A lone ESC stays pending until the
// next byte or `timeout`.
class KeyDecoder {
  public:
    void feed(uint8_t byte, std::vector<int32_t>& keys);
    void feed(const char* bytes, size_t n, std::vector<int32_t>& keys) {
        for (size_t i = 0; i < n; i++) feed(uint8_t(bytes[i]), keys);
    }
    // True after a lone ESC: the reader waits a short time for more bytes,
    // then calls timeout, which makes it Escape (27).
    bool escape_pending() const { return state_ == State::escape; }
    void timeout(std::vector<int32_t>& keys);
    int report_row = 0, report_column = 0;

  private:
    enum class State { ground, utf8, escape, csi, ss3 };
    void finish_csi(uint8_t final, std::vector<int32_t>& keys);
    State state_ = State::ground;
    uint32_t code_ = 0;
    int needed_ = 0;
    uint32_t minimum_ = 0;
    std::string params_;
};

// ---- Layout -------------------------------------------------------------------------------

// The columns a character takes: a tab 4, U+1F300-U+1F5FF 2, every other
// its display width.
int char_columns(uint32_t cp);

// Lays out text[0, n) from offset `at`: appends what is written (UTF-8; a
// tab as four spaces; masked: "*" for each character, "****" for a tab) to
// `out` when given, and answers the offset after it. An escape sequence
// (ESC, "[" or "(", digits and ";", one final character) is written as it
// is and takes no cells; a character of width 2 that would start in the
// last column starts on the next row, leaving that cell empty.
int64_t lay_out(const char32_t* text, size_t n, int64_t at, int columns, bool masked,
                std::string* out);

// ---- The editor ---------------------------------------------------------------------------

// What Tab finds: nothing, a new line (the cursor at `cursor`), or several
// candidates (the line to pre-fill the next read with, and the candidates
// to show).
struct Completion {
    enum Kind { none, line, several } kind = none;
    std::u32string text;
    size_t cursor = 0;
    std::vector<std::u32string> candidates;
};

struct Hooks {
    // The next key, -1 when the input has ended (or failed for good).
    std::function<int32_t()> read_key;
    // Bytes to the terminal.
    std::function<void(const std::string&)> write;
    // The history: its length, and entry i (0 the newest) into `out`; false
    // for an entry that is no text.
    std::function<int()> history_count;
    std::function<bool(int, std::u32string&)> history_entry;
    std::function<Completion(const std::u32string&, size_t)> complete;
};

// How a read ended.
enum class Ending { enter, escape, quit, candidates, end_of_input };

class Editor {
  public:
    explicit Editor(Hooks hooks) : hooks_(std::move(hooks)) {}

    // One read: the prompt, then keys until the line is returned. `columns`
    // and `rows` the screen's size; `column` and `row` (from 0) where the
    // prompt starts (row -1: not known). The line (pre-filled from the text
    // carried over by the last completion) is left in `line`.
    Ending edit(const std::u32string& prompt, bool hidden, int columns, int rows, int column,
                int row, std::u32string& line);

    // The screen's new size while a read waits: the line is drawn again.
    void resize(int columns, int rows);

    // The text the next read starts with, and its cursor.
    const std::u32string& carried() const { return saved_; }

  private:
    void refresh(bool redraw);
    void insert(uint32_t cp);
    void move_to(int64_t offset);
    void place(int64_t row, int col);
    void tab();

    Hooks hooks_;
    std::u32string prompt_, line_, saved_;
    size_t cursor_ = 0, saved_cursor_ = 0;
    bool hidden_ = false, ended_ = false;
    int columns_ = 80, rows_ = 24;
    int start_column_ = 0;
    int64_t start_row_ = 0;      // screen row of the prompt's row; may go above the screen
    int64_t row_ = 0, col_ = 0;  // the terminal's cursor: rows below the start row, column
    int64_t end_ = 0;            // offset after the whole line
    int hist_index_ = -1;
    std::string out_;
};

}  // namespace zel::line_editor
