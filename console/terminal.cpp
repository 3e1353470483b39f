// The line reader: standard input read a byte at a time, so that nothing
// past the line is taken from a pipe that a child process may read next.
//
// Relies on: strings, the UTF-8 decoder (sequence sizes), pair!, the
// platform layer, the routine table.
#include "console/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/stack.h"
#include "interpreter/routine.h"
#include "scalars/pair.h"
#include "scalars/simple_types.h"
#include "series/string.h"
#include "series/unicode.h"

namespace zel::terminal {

namespace {

constexpr uint32_t REPLACEMENT = 0xFFFD;

// The line and the history of the read to come, as ask hands them over.
// They are marked from here: a read that comes without a new hand-over
// still finds its string alive.
Cell g_line{TYPE_NONE, 0, 0, 0};
Cell g_history{TYPE_NONE, 0, 0, 0};

void mark_handed_over() {
    collector::mark_value(&g_line);
    collector::mark_value(&g_history);
}
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

using routine::MachineValue;

MachineValue set_buffer_history(const MachineValue* a) {
    g_line = *a[0].cell;
    g_history = *a[1].cell;
    return MachineValue{.cell = nullptr};
}

// _read-input prompt hidden?: on a terminal the prompt is shown; the line
// read goes into the string given to _set-buffer-history.
MachineValue read_input(const MachineValue* a) {
    if (isatty(0)) {
        int limit = -1;
        const char* prompt = unicode::to_utf8(a[0].cell, limit);
        platform::write_raw(prompt, size_t(limit));
    }
    if (type_of(&g_line) == TYPE_STRING) stdin_readline(&g_line);
    return MachineValue{.cell = nullptr};
}

MachineValue end_of_input(const MachineValue*) { return MachineValue{.integer = end_of_input_q()}; }

MachineValue terminal_size(const MachineValue*) {
    int32_t columns, rows;
    size(columns, rows);
    pair::make_at(stack::arguments(), columns, rows);
    return MachineValue{.cell = nullptr};
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
    columns = w.ws_col;
    rows = w.ws_row;
}

void register_routines() {
    g_line = g_history = none::g_none;
    collector::add_mark_callback(mark_handed_over, "the terminal's line and history");
    routine::register_code("_set-buffer-history", set_buffer_history, routine::RESULT_OWN, true);
    routine::register_code("_read-input", read_input, routine::RESULT_OWN, true);
    routine::register_code("_end-of-input?", end_of_input, routine::RESULT_LOGIC, true);
    routine::register_code("_terminal-size", terminal_size, routine::RESULT_OWN, true);
}

}  // namespace zel::terminal
