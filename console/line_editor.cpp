// The line editor's terminal-free parts: key decoding, layout, and the
// editing of one line over the hooks the terminal module gives.
//
// The editor keeps track of where the terminal's cursor stands (rows below
// the prompt's row, column) and moves it with relative sequences only, so
// that nothing depends on knowing the prompt's absolute row; that row is
// kept only to see when the text scrolls the screen. A redraw erases with
// ESC [ J and writes the prompt and the line in one write.
//
// Relies on: the Unicode display widths, the UTF-8 encoder.
#include "console/line_editor.h"

#include <algorithm>
#include <cstdio>

#include "foundation/utf8.h"
#include "series/unicode_width.h"

namespace zel::line_editor {

// ---- Key decoding -------------------------------------------------------------------------

void KeyDecoder::feed(uint8_t b, std::vector<int32_t>& keys) {
    switch (state_) {
        case State::ground:
            break;
        case State::utf8:
            if ((b & 0xC0) == 0x80) {
                code_ = (code_ << 6) | (b & 0x3F);
                if (--needed_ > 0) return;
                state_ = State::ground;
                bool bad =
                    code_ < minimum_ || code_ > 0x10FFFF || (code_ >= 0xD800 && code_ <= 0xDFFF);
                keys.push_back(bad ? int32_t(REPLACEMENT) : int32_t(code_));
                return;
            }
            // The sequence is broken: the byte that broke it starts afresh.
            keys.push_back(int32_t(REPLACEMENT));
            state_ = State::ground;
            break;
        case State::escape:
            if (b == '[') {
                state_ = State::csi;
                params_.clear();
                return;
            }
            if (b == 'O') {
                state_ = State::ss3;
                return;
            }
            state_ = State::ground;
            if (b == 0x1B) {  // Escape pressed twice: the first is a key of its own
                keys.push_back(27);
                state_ = State::escape;
                return;
            }
            keys.push_back(0);  // an Alt key
            if (b < 0x80) return;
            break;
        case State::csi:
            if (b >= 0x20 && b <= 0x3F) {
                if (params_.size() < 16)
                    params_ += char(b);
                else
                    params_ = "?";  // too long to be a key: decodes as 0
                return;
            }
            state_ = State::ground;
            if (b >= 0x40 && b <= 0x7E) {
                finish_csi(b, keys);
                return;
            }
            keys.push_back(0);  // a broken sequence; the byte starts afresh
            break;
        case State::ss3:
            state_ = State::ground;
            if (b >= 0x40 && b <= 0x7E) {
                finish_csi(b, keys);
                return;
            }
            keys.push_back(0);
            break;
    }
    if (b == 0x1B) {
        state_ = State::escape;
        return;
    }
    if (b < 0x80) {
        keys.push_back(b == '\n' ? 13 : int32_t(b));
        return;
    }
    if (b >= 0xC2 && b <= 0xDF)
        needed_ = 1, code_ = b & 0x1F, minimum_ = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        needed_ = 2, code_ = b & 0x0F, minimum_ = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        needed_ = 3, code_ = b & 0x07, minimum_ = 0x10000;
    else {
        keys.push_back(int32_t(REPLACEMENT));
        return;
    }
    state_ = State::utf8;
}

void KeyDecoder::finish_csi(uint8_t final, std::vector<int32_t>& keys) {
    // Parameters: numbers separated by ";"; anything else (private markers,
    // intermediates) makes a sequence that is no key of ours.
    int numbers[2] = {0, 0};
    int count = 0;
    bool plain = true;
    if (!params_.empty()) {
        count = 1;
        for (char c : params_) {
            if (c == ';') {
                count++;
            } else if (c >= '0' && c <= '9') {
                if (count <= 2)
                    numbers[count - 1] = std::min(numbers[count - 1] * 10 + (c - '0'), 100000);
            } else {
                plain = false;
            }
        }
    }
    params_.clear();
    int32_t key = 0;
    if (plain) {
        switch (final) {
            case 'A':
                key = KEY_UP;
                break;
            case 'B':
                key = KEY_DOWN;
                break;
            case 'C':
                key = KEY_RIGHT;
                break;
            case 'D':
                key = KEY_LEFT;
                break;
            case 'H':
                key = KEY_HOME;
                break;
            case 'F':
                key = KEY_END;
                break;
            case 'R':
                if (count == 2) {
                    report_row = numbers[0];
                    report_column = numbers[1];
                    key = KEY_CURSOR_REPORT;
                }
                break;
            case '~':
                switch (numbers[0]) {
                    case 1:
                    case 7:
                        key = KEY_HOME;
                        break;
                    case 4:
                    case 8:
                        key = KEY_END;
                        break;
                    case 2:
                        key = KEY_INSERT;
                        break;
                    case 3:
                        key = KEY_DELETE;
                        break;
                    case 5:
                        key = KEY_PAGE_UP;
                        break;
                    case 6:
                        key = KEY_PAGE_DOWN;
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;
        }
    }
    keys.push_back(key);
}

void KeyDecoder::timeout(std::vector<int32_t>& keys) {
    if (state_ != State::escape) return;
    state_ = State::ground;
    keys.push_back(27);
}

// ---- Layout -------------------------------------------------------------------------------

int char_columns(uint32_t cp) {
    if (cp == '\t') return 4;
    if (cp >= 0x1F300 && cp <= 0x1F5FF) return 2;
    return unicode::char_width(cp);
}

namespace {

void put_utf8(std::string* out, uint32_t cp) {
    if (!out) return;
    uint8_t bytes[4];
    int n = utf8::encode_shortest(cp, bytes);
    out->append(reinterpret_cast<const char*>(bytes), size_t(n));
}

// The end of the escape sequence at text[i] (ESC, then "[" or "("), or i
// when none starts there.
size_t sequence_end(const char32_t* text, size_t n, size_t i) {
    if (text[i] != 0x1B || i + 1 >= n || (text[i + 1] != '[' && text[i + 1] != '(')) return i;
    size_t j = i + 2;
    while (j < n && ((text[j] >= '0' && text[j] <= '9') || text[j] == ';')) j++;
    return j < n ? j + 1 : j;
}

}  // namespace

int64_t lay_out(const char32_t* text, size_t n, int64_t at, int columns, bool masked,
                std::string* out) {
    for (size_t i = 0; i < n; i++) {
        uint32_t cp = text[i];
        if (masked) {
            int w = cp == '\t' ? 4 : 1;
            if (out) out->append(size_t(w), '*');
            at += w;
            continue;
        }
        if (size_t end = sequence_end(text, n, i); end != i) {
            for (; i < end; i++) put_utf8(out, text[i]);
            i--;
            continue;
        }
        if (cp == '\t') {
            if (out) out->append(4, ' ');
            at += 4;
            continue;
        }
        // Other control characters would move the terminal's cursor where
        // the layout does not follow: they show as "?".
        if (cp < 0x20 || cp == 0x7F) cp = '?';
        int w = char_columns(cp);
        if (w == 2 && columns > 1 && at % columns == columns - 1) at++;
        put_utf8(out, cp);
        at += w;
    }
    return at;
}

// ---- The editor ---------------------------------------------------------------------------

namespace {

void append_number(std::string& out, const char* before, int64_t n, char final) {
    char s[32];
    int k = std::snprintf(s, sizeof s, "%s%lld%c", before, static_cast<long long>(n), final);
    out.append(s, size_t(k));
}

}  // namespace

void Editor::place(int64_t row, int col) {
    // Rows above the screen's top cannot be reached: moves stop at row 0.
    int64_t from = std::max<int64_t>(0, start_row_ + row_);
    int64_t to = std::max<int64_t>(0, start_row_ + row);
    if (to < from)
        append_number(out_, "\x1b[", from - to, 'A');
    else if (to > from)
        append_number(out_, "\x1b[", to - from, 'B');
    if (col != col_ || to != from) {
        out_ += '\r';
        if (col > 0) append_number(out_, "\x1b[", col, 'C');
    }
    row_ = row;
    col_ = col;
}

void Editor::move_to(int64_t offset) { place(offset / columns_, int(offset % columns_)); }

namespace {

// After writing text that ended at `at`: a text that filled its last row
// leaves the cursor waiting at that row's end; a line end takes it to the
// next row (scrolling at the screen's bottom).
void settle(std::string& out, int64_t at, int64_t written_from, int columns, int64_t& row,
            int64_t& col) {
    if (at > written_from && at % columns == 0) out += "\r\n";
    row = at / columns;
    col = at % columns;
}

}  // namespace

void Editor::refresh(bool redraw) {
    int64_t p;
    if (redraw) {
        place(0, start_column_);
        out_ += "\x1b[J";
        p = lay_out(prompt_.data(), prompt_.size(), start_column_, columns_, false, &out_);
        int64_t c = lay_out(line_.data(), cursor_, p, columns_, hidden_, &out_);
        end_ = lay_out(line_.data() + cursor_, line_.size() - cursor_, c, columns_, hidden_, &out_);
        settle(out_, end_, start_column_, columns_, row_, col_);
        if (start_row_ + row_ >= rows_) start_row_ = rows_ - 1 - row_;
    } else {
        p = lay_out(prompt_.data(), prompt_.size(), start_column_, columns_, false, nullptr);
        end_ = lay_out(line_.data(), line_.size(), p, columns_, hidden_, nullptr);
    }
    int64_t c = lay_out(line_.data(), cursor_, p, columns_, hidden_, nullptr);
    // A wide character that starts in the last column is drawn on the next
    // row: the cursor stands there, on it.
    if (cursor_ < line_.size() && !hidden_ && char_columns(line_[cursor_]) == 2 &&
        c % columns_ == columns_ - 1)
        c++;
    move_to(c);
    hooks_.write(out_);
    out_.clear();
}

void Editor::insert(uint32_t cp) {
    if (cursor_ < line_.size()) {
        line_.insert(cursor_, 1, char32_t(cp));
        cursor_++;
        refresh(true);
        return;
    }
    // At the end: the character alone is written, and the cursor follows.
    int64_t from = row_ * columns_ + col_;
    line_.push_back(char32_t(cp));
    cursor_++;
    end_ = lay_out(line_.data() + cursor_ - 1, 1, from, columns_, hidden_, &out_);
    settle(out_, end_, from, columns_, row_, col_);
    if (start_row_ + row_ >= rows_) start_row_ = rows_ - 1 - row_;
    hooks_.write(out_);
    out_.clear();
}

void Editor::tab() {
    Completion found = hooks_.complete ? hooks_.complete(line_, cursor_) : Completion{};
    switch (found.kind) {
        case Completion::none:
            insert('\t');
            return;
        case Completion::line:
            saved_ = line_;
            saved_cursor_ = cursor_;
            line_ = found.text;
            cursor_ = std::min(found.cursor, line_.size());
            refresh(true);
            return;
        case Completion::several:
            saved_ = found.text;
            saved_cursor_ = std::min(found.cursor, saved_.size());
            line_.clear();
            for (const std::u32string& c : found.candidates) line_ += c + U" ";
            cursor_ = line_.size();
            refresh(true);
            ended_ = true;
            return;
    }
}

void Editor::resize(int columns, int rows) {
    columns_ = std::max(1, columns);
    rows_ = std::max(1, rows);
    col_ = std::min<int64_t>(col_, columns_ - 1);
    start_column_ = std::min(start_column_, columns_ - 1);
    if (start_row_ + row_ >= rows_) start_row_ = rows_ - 1 - row_;
    refresh(true);
}

Ending Editor::edit(const std::u32string& prompt, bool hidden, int columns, int rows, int column,
                    int row, std::u32string& line) {
    prompt_ = prompt;
    hidden_ = hidden;
    ended_ = false;
    columns_ = std::max(1, columns);
    rows_ = std::max(1, rows);
    start_column_ = std::clamp(column, 0, columns_ - 1);
    // Not known: taken as the bottom row, where a console usually reads.
    start_row_ = row >= 0 ? std::min(row, rows_ - 1) : rows_ - 1;
    row_ = 0;
    col_ = start_column_;
    hist_index_ = -1;
    line_ = saved_;
    cursor_ = std::min(saved_cursor_, line_.size());
    refresh(true);

    Ending ending = Ending::enter;
    for (;;) {
        int32_t key = hooks_.read_key();
        if (key == -1) {
            ending = Ending::end_of_input;
            break;
        }
        if (key == 9) {
            tab();
            if (ended_) {
                line_.clear();
                ending = Ending::candidates;
                break;
            }
            continue;
        }
        if (key == 13) {
            saved_.clear();
            saved_cursor_ = 0;
            break;
        }
        if (key == 27) {
            saved_.clear();
            saved_cursor_ = 0;
            line_.push_back(0x1B);
            ending = Ending::escape;
            break;
        }
        if (key == 3) {
            line_ = U"q";
            ending = Ending::quit;
            break;
        }
        if (key == 4 && line_.empty()) {
            line_ = U"q";
            ending = Ending::quit;
            break;
        }
        switch (key) {
            case 8:
            case 127:
                if (cursor_ == 0) break;
                cursor_--;
                line_.erase(cursor_, 1);
                if (cursor_ == line_.size()) {
                    refresh(false);
                    hooks_.write("\x1b[J");
                } else {
                    refresh(true);
                }
                break;
            case 2:
            case KEY_LEFT:
                if (cursor_ > 0) cursor_--, refresh(false);
                break;
            case 6:
            case KEY_RIGHT:
                if (cursor_ < line_.size()) cursor_++, refresh(false);
                break;
            case 16:
            case KEY_UP: {
                // Entries that are no text are passed over.
                int count = hooks_.history_count();
                int i = hist_index_ + 1;
                std::u32string entry;
                while (i < count && !hooks_.history_entry(i, entry)) i++;
                if (i < count) {
                    hist_index_ = i;
                    line_ = entry;
                } else {
                    line_.clear();
                }
                cursor_ = line_.size();
                refresh(true);
                break;
            }
            case 14:
            case KEY_DOWN: {
                std::u32string entry;
                while (hist_index_ >= 0 && !hooks_.history_entry(hist_index_, entry)) hist_index_--;
                if (hist_index_ < 0) {
                    line_.clear();
                } else {
                    line_ = entry;
                    hist_index_--;
                }
                cursor_ = line_.size();
                refresh(true);
                break;
            }
            case 1:
            case KEY_HOME:
                cursor_ = 0, refresh(true);
                break;
            case 5:
            case KEY_END:
                cursor_ = line_.size(), refresh(true);
                break;
            case 4:
            case KEY_DELETE:
                if (cursor_ < line_.size()) line_.erase(cursor_, 1), refresh(true);
                break;
            case 11:
                if (cursor_ < line_.size()) line_.erase(cursor_), refresh(true);
                break;
            default:
                if (key >= 32) insert(uint32_t(key));
                break;
        }
    }
    // The line end goes after the line's last row, wherever the cursor was.
    if (end_ > start_column_ && end_ % columns_ == 0) {
        move_to(end_);
    } else {
        if (row_ != end_ / columns_) place(end_ / columns_, 0);
        out_ += "\r\n";
    }
    hooks_.write(out_);
    out_.clear();
    line = line_;
    return ending;
}

}  // namespace zel::line_editor
