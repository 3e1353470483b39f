// The terminal module: the piped reader (standard input read a byte at a
// time, so that nothing past the line is taken from a pipe that a child
// process may read next), and on a terminal the line editor's hooks: keys
// from a poll loop over fd 0, output to the terminal of standard input
// (also when standard output is redirected), the history block, and the
// completion call.
//
// Relies on: strings, blocks, the evaluator (call_with), the UTF-8 decoder,
// pair!, logic!, the platform layer, simple-io, the routine table.
#include "console/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string>

#include "console/line_editor.h"
#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "interpreter/routine.h"
#include "os/file.h"
#include "scalars/integer.h"
#include "scalars/pair.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::terminal {

namespace {

using line_editor::REPLACEMENT;

// The line and the history of the read to come, as ask hands them over.
// They are marked from here: a read that comes without a new hand-over
// still finds its string alive.
Cell g_line{TYPE_NONE, 0, 0, 0};
Cell g_history{TYPE_NONE, 0, 0, 0};
// What the completion answered, held while it is read.
Cell g_completion{TYPE_NONE, 0, 0, 0};

void mark_handed_over() {
    collector::mark_value(&g_line);
    collector::mark_value(&g_history);
    collector::mark_value(&g_completion);
}

// ---- Piped input ------------------------------------------------------------------------------

bool g_ended = false;
// One byte read ahead: the byte that broke a UTF-8 sequence starts the next
// character.
int g_pending = -1;

// The next byte of standard input, or -1 at its end (or on a failed read).
int read_byte() {
    if (g_pending >= 0) {
        int b = g_pending;
        g_pending = -1;
        return b;
    }
    uint8_t b;
    for (;;) {
        ssize_t n = ::read(0, &b, 1);
        if (n == 1) return b;
        if (n < 0 && errno == EINTR) continue;
        g_ended = true;
        return -1;
    }
}

// The next character: -1 at the end of input.
int32_t read_char() {
    int lead = read_byte();
    if (lead < 0) return -1;
    if (lead < 0x80) return lead;
    int size = lead >= 0xF8 ? 0 : unicode::utf8_char_size_q(uint8_t(lead));
    if (size == 0) return REPLACEMENT;
    uint8_t bytes[4] = {uint8_t(lead)};
    for (int i = 1; i < size; i++) {
        int b = read_byte();
        if (b < 0) return REPLACEMENT;
        if ((b & 0xC0) != 0x80) {
            g_pending = b;
            return REPLACEMENT;
        }
        bytes[i] = uint8_t(b);
    }
    int32_t cp;
    const uint8_t* end = unicode::fast_decode_utf8_char(bytes, cp, bytes + size);
    return end && cp >= 0 ? cp : int32_t(REPLACEMENT);
}

// ---- The terminal -----------------------------------------------------------------------------

bool g_console = false;
int g_out = -1;  // where prompt and echo go: the terminal of standard input
termios g_saved;
volatile sig_atomic_t g_raw = 0;
volatile sig_atomic_t g_resized = 0;

void restore_mode() {
    if (g_raw) {
        ::tcsetattr(0, TCSANOW, &g_saved);
        g_raw = 0;
    }
}

// Raw input for the time of one read; the saved mode comes back when the
// read ends, however it ends.
struct RawMode {
    bool on = false;
    RawMode() {
        if (::tcgetattr(0, &g_saved) != 0) return;
        termios raw = g_saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~tcflag_t(IXON | ICRNL | INLCR | ISTRIP | BRKINT);
        raw.c_oflag |= OPOST | ONLCR;
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        if (::tcsetattr(0, TCSANOW, &raw) != 0) return;
        g_raw = 1;
        on = true;
    }
    ~RawMode() { restore_mode(); }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;
};

// The window-size signal may be taken by any thread of the process (the
// evaluator runs on one of its own): besides the flag, the handler writes
// a byte to a pipe that the read's poll watches, so that the poll wakes
// whichever thread the signal went to.
int g_wake[2] = {-1, -1};

void on_resize(int) {
    g_resized = 1;
    if (g_wake[1] >= 0) {
        int saved = errno;
        char b = 1;
        ssize_t ignored = ::write(g_wake[1], &b, 1);
        (void)ignored;
        errno = saved;
    }
}

// The window-size signal is caught only while a read waits, and without
// restarting calls. Between reads it keeps its old action, so it
// interrupts nothing else.
struct ResizeWatch {
    struct sigaction old;
    ResizeWatch() {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = on_resize;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGWINCH, &sa, &old);
    }
    ~ResizeWatch() { ::sigaction(SIGWINCH, &old, nullptr); }
    ResizeWatch(const ResizeWatch&) = delete;
    ResizeWatch& operator=(const ResizeWatch&) = delete;
};

void write_all(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(g_out, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

int32_t g_columns = 80, g_rows = 24;

void take_size() {
    int32_t columns, rows;
    size(columns, rows);
    if (columns > 0) g_columns = columns;
    if (rows > 0) g_rows = rows;
    // system/console/size follows the terminal.
    Cell system = word::load("system");
    Cell* value = context::get(&system);
    if (!value || type_of(value) != TYPE_OBJECT) return;
    Cell* console = context::get_by_symbol(symbol::make("console"), value->data1);
    if (!console || type_of(console) != TYPE_OBJECT) return;
    Cell* field = context::get_by_symbol(symbol::make("size"), console->data1);
    if (field) pair::make_at(field, g_columns, g_rows);
}

line_editor::KeyDecoder g_decoder;
std::deque<int32_t> g_keys;
// The terminal answered a cursor-position query once: it is asked again at
// every read. One that never answered is not asked again.
bool g_reports = false, g_asked = false;

int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Waits up to `timeout` ms (-1: no limit) for input and decodes what came
// into the queue. False at the end of input; true otherwise (also when the
// wait ended on a signal or the timeout).
bool pump(int timeout) {
    pollfd p[2] = {{0, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
    int r = ::poll(p, g_wake[0] >= 0 ? 2 : 1, timeout);
    if (r < 0) return errno == EINTR || errno == EAGAIN;
    if (p[1].revents & POLLIN) {
        char drain[64];
        while (::read(g_wake[0], drain, sizeof drain) > 0) {
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) return true;
    }
    std::vector<int32_t> keys;
    if (r == 0) {
        g_decoder.timeout(keys);
    } else {
        char buffer[256];
        ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n == 0) return false;
        if (n < 0) return errno == EINTR || errno == EAGAIN;
        g_decoder.feed(buffer, size_t(n), keys);
    }
    g_keys.insert(g_keys.end(), keys.begin(), keys.end());
    return true;
}

// Where the cursor stands (from 0), asked of the terminal; keys that come
// before the answer wait in the queue. False when no answer came in time.
bool cursor_position(int& column, int& row) {
    if (g_asked && !g_reports) return false;
    g_asked = true;
    write_all("\x1b[6n");
    size_t seen = g_keys.size();
    int64_t deadline = now_ms() + 1000;
    for (;;) {
        for (size_t i = seen; i < g_keys.size(); i++) {
            if (g_keys[i] != line_editor::KEY_CURSOR_REPORT) continue;
            g_keys.erase(g_keys.begin() + int64_t(i));
            row = g_decoder.report_row - 1;
            column = g_decoder.report_column - 1;
            g_reports = true;
            return true;
        }
        seen = g_keys.size();
        int64_t left = deadline - now_ms();
        if (left <= 0 ||
            !pump(int(std::min<int64_t>(left, g_decoder.escape_pending() ? 30 : left))))
            return false;
    }
}

line_editor::Editor* g_editor = nullptr;

int32_t read_key() {
    for (;;) {
        if (g_resized) {
            g_resized = 0;
            take_size();
            g_editor->resize(g_columns, g_rows);
            continue;
        }
        if (!g_keys.empty()) {
            int32_t key = g_keys.front();
            g_keys.pop_front();
            if (key == line_editor::KEY_CURSOR_REPORT) continue;  // a late answer
            return key;
        }
        if (!pump(g_decoder.escape_pending() ? 30 : -1)) {
            g_ended = true;
            return -1;
        }
    }
}

// ---- Values ------------------------------------------------------------------------------------

std::u32string text_of(const Cell* str, int from) {
    std::u32string text;
    Series* s = string::buffer_of(str);
    int unit = s->unit();
    int n = string::abs_length_q(str);
    const uint8_t* p = s->data() + s->offset;
    for (int i = std::max(0, from); i < n; i++)
        text.push_back(char32_t(string::get_char(p + size_t(i) * unit, unit)));
    return text;
}

bool any_string(const Cell* value) {
    int t = type_of(value);
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG ||
           t == TYPE_EMAIL || t == TYPE_REF;
}

// The handed-over string holds `text`, its head at its start.
void store_line(const std::u32string& text) {
    g_line.data1 = 0;
    Series* s = string::buffer_of(&g_line);
    string::truncate(s, 0);
    for (char32_t c : text) s = string::append_char(s, uint32_t(c));
}

int history_count() { return type_of(&g_history) == TYPE_BLOCK ? block::length_q(&g_history) : 0; }

bool history_entry(int i, std::u32string& out) {
    if (i < 0 || i >= history_count()) return false;
    const Cell* entry = block::head(&g_history) + i;
    if (type_of(entry) != TYPE_STRING) return false;
    out = text_of(entry, int(entry->data1));
    return true;
}

// Tab: zel-complete-input on the line positioned at the cursor, in console
// mode. An error raised inside it counts as no candidate.
line_editor::Completion complete(const std::u32string& line, size_t cursor) {
    line_editor::Completion found;
    store_line(line);
    Cell name = word::load("zel-complete-input");
    Cell* function = context::get(&name);
    if (!function || type_of(function) != TYPE_FUNCTION) return found;
    Cell callable = *function;
    Cell arguments[2] = {g_line, logic::g_true};
    arguments[0].data1 = uint32_t(cursor);
    // Run as under try: whatever leaves the completion early (an error, a
    // throw) leaves no candidate, and the stacks as they were.
    Cell* top = stack::g_top;
    Cell* base = stack::g_arguments;
    frames::CallFrame* frame_top = frames::g_frame_top;
    g_completion = none::g_none;
    frames::mark_try(&name);
    uint32_t code = exits::catching(CATCH_TRY, [&]() -> exits::Exit {
        if (exits::Exit e = interpreter::call_with(&callable, arguments, 2, &name)) return e;
        g_completion = *(stack::top() - 1);
        return {};
    });
    frames::set_frame_top(frame_top);
    stack::g_arguments = base;
    stack::g_top = top;
    if (code) {
        exits::end_throw();
        g_completion = none::g_none;
    }
    Cell result = g_completion;
    g_completion = none::g_none;
    if (type_of(&result) != TYPE_BLOCK) return found;
    int n = block::length_q(&result);
    if (n == 0) return found;
    const Cell* items = block::head(&result);
    if (!any_string(items)) return found;
    found.text = text_of(items, 0);
    found.cursor = std::min<size_t>(items->data1, found.text.size());
    if (n == 1) {
        found.kind = line_editor::Completion::line;
        return found;
    }
    found.kind = line_editor::Completion::several;
    for (int i = 1; i < n; i++)
        if (any_string(items + i))
            found.candidates.push_back(text_of(items + i, int(items[i].data1)));
    return found;
}

// ---- The routines ------------------------------------------------------------------------------

using routine::MachineValue;

MachineValue set_buffer_history(const MachineValue* a) {
    g_line = *a[0].cell;
    g_history = *a[1].cell;
    return MachineValue{.cell = nullptr};
}

// Enter: the very string read goes before the newest entry, unless the read
// was hidden, the line is empty or it equals the newest entry.
void add_to_history(const std::u32string& line, bool hidden) {
    if (hidden || line.empty() || type_of(&g_history) != TYPE_BLOCK) return;
    std::u32string newest;
    if (history_count() > 0 && history_entry(0, newest) && newest == line) return;
    block::insert_value(&g_history, &g_line, false, false);
}

void edit(const Cell* prompt, bool hidden) {
    RawMode raw;
    if (!raw.on) {
        stdin_readline(&g_line);
        return;
    }
    ResizeWatch watch;
    g_resized = 0;
    take_size();
    int column = 0, row = -1;
    if (!cursor_position(column, row)) column = 0, row = -1;
    static line_editor::Editor editor(
        line_editor::Hooks{read_key, write_all, history_count, history_entry, complete});
    g_editor = &editor;
    std::u32string line;
    line_editor::Ending ending = editor.edit(text_of(prompt, int(prompt->data1)), hidden, g_columns,
                                             g_rows, column, row, line);
    store_line(line);
    if (ending == line_editor::Ending::enter) add_to_history(line, hidden);
}

// _read-input prompt hidden?: the line read goes into the string given to
// _set-buffer-history.
MachineValue read_input(const MachineValue* a) {
    if (type_of(&g_line) != TYPE_STRING) return MachineValue{.cell = nullptr};
    if (g_console)
        edit(a[0].cell, logic::get(a[1].cell));
    else
        stdin_readline(&g_line);
    return MachineValue{.cell = nullptr};
}

MachineValue terminate_console(const MachineValue*) { return MachineValue{.cell = nullptr}; }

MachineValue input_stdin(const MachineValue*) {
    Cell* result = stack::arguments();
    string::make_at(result, 256);
    stdin_readline(result);
    return MachineValue{.cell = nullptr};
}

// read-stdin buffer buflen: bytes of standard input into the binary from its
// head. Never more than the buffer has room for from there, and the tail
// only moves past what was read: bytes that were never written are not
// shown.
MachineValue read_stdin(const MachineValue* a) {
    Cell* buffer = a[0].cell;
    Series* s = string::buffer_of(buffer);
    int64_t at = int64_t(s->offset) + int64_t(buffer->data1);
    int64_t room = std::max<int64_t>(0, int64_t(s->capacity) - at);
    int64_t want = std::min<int64_t>(integer::get(a[1].cell), room);
    if (want <= 0) return MachineValue{.cell = nullptr};
    int64_t got = simple_io::read_data(0, s->data() + at, want);
    if (got <= 0) {
        if (got == 0) g_ended = true;
        return MachineValue{.cell = nullptr};
    }
    s = string::buffer_of(buffer);
    s->tail = uint32_t(std::max<int64_t>(s->tail, at + got));
    return MachineValue{.cell = nullptr};
}

MachineValue end_of_input(const MachineValue*) { return MachineValue{.integer = end_of_input_q()}; }

MachineValue terminal_size(const MachineValue*) {
    int32_t columns, rows;
    size(columns, rows);
    pair::make_at(stack::arguments(), columns, rows);
    return MachineValue{.cell = nullptr};
}

void open_terminal() {
    g_console = ::isatty(0) == 1;
    if (!g_console) return;
    int mode = ::fcntl(0, F_GETFL);
    if (mode >= 0 && (mode & O_ACCMODE) == O_RDWR) {
        g_out = 0;
    } else {
        const char* name = ::ttyname(0);
        g_out = name ? ::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
        if (g_out < 0) g_out = 1;
    }
    if (::pipe2(g_wake, O_NONBLOCK | O_CLOEXEC) != 0) g_wake[0] = g_wake[1] = -1;
    platform::set_terminal_restore(restore_mode);
}

}  // namespace

bool stdin_readline(Cell* line) {
    bool any = false;
    for (;;) {
        int32_t cp = read_char();
        if (cp < 0) return any;
        any = true;
        if (cp == '\n') return true;
        string::append_char(string::buffer_of(line), uint32_t(cp));
    }
}

bool end_of_input_q() { return g_ended; }

void size(int32_t& columns, int32_t& rows) {
    columns = rows = 0;
    winsize w;
    if (!isatty(0) || ioctl(0, TIOCGWINSZ, &w) != 0) return;
    columns = w.ws_col > 0 ? w.ws_col : 80;
    rows = w.ws_row;
}

void register_routines() {
    g_line = g_history = g_completion = none::g_none;
    open_terminal();
    collector::add_mark_callback(mark_handed_over, "the terminal's line and history");
    routine::register_code("_set-buffer-history", set_buffer_history, routine::RESULT_OWN, true);
    routine::register_code("_read-input", read_input, routine::RESULT_OWN, true);
    routine::register_code("_terminate-console", terminate_console, routine::RESULT_OWN, true);
    routine::register_code("input-stdin", input_stdin, routine::RESULT_OWN, true);
    routine::register_code("read-stdin", read_stdin, routine::RESULT_OWN, true);
    routine::register_code("_end-of-input?", end_of_input, routine::RESULT_LOGIC, true);
    routine::register_code("_terminal-size", terminal_size, routine::RESULT_OWN, true);
}

}  // namespace zel::terminal
