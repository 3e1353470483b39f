// Text output: the one output buffer, the write paths by unit width, the
// low-level typed print, the output hooks, and the escape dialect turned
// into standard terminal sequences.
#include <sys/ioctl.h>
#include <unistd.h>

#include <poll.h>
#include <signal.h>
#include <termios.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/utf8.h"

namespace zel::platform {

// ---- The output buffer --------------------------------------------------------

namespace {

constexpr size_t OUT_SIZE = 1024;
constexpr size_t OUT_FLUSH_AT = 1020;  // leaves room for one whole UTF-8 character

uint8_t g_out[OUT_SIZE];
size_t g_out_used = 0;
bool g_console = false;
bool g_console_known = false;

OutputSink g_sink = nullptr;
void* g_sink_context = nullptr;

// The errno of the write that failed, or 0 when every byte went out.
int write_all(int fd, const char* bytes, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, bytes, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += w;
        n -= size_t(w);
    }
    return 0;
}

// Standard output that takes no more bytes ends the program at once: a
// program whose output is lost has nothing left to do (`forever [print 1]`
// into `head -1` would otherwise run for ever). A reader that went away
// (a closed pipe) gives the status of a death by SIGPIPE, as shells expect;
// any other failure the plain failure status. Nothing is reported: the
// stream a report would go to is the one that failed.
void write_stdout(const char* bytes, size_t n) {
    if (int error = write_all(1, bytes, n)) {
        g_out_used = 0;
        quit(error == EPIPE ? 128 + SIGPIPE : 1);
    }
}

void flush() {
    if (g_out_used == 0) return;
    if (g_sink)
        g_sink(g_sink_context, reinterpret_cast<const char*>(g_out), g_out_used);
    else
        write_stdout(reinterpret_cast<const char*>(g_out), g_out_used);
    g_out_used = 0;
}

void put_bytes(const void* bytes, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (n > 0) {
        if (g_out_used >= OUT_FLUSH_AT) flush();
        size_t room = OUT_SIZE - g_out_used;
        size_t k = n < room ? n : room;
        std::memcpy(g_out + g_out_used, p, k);
        g_out_used += k;
        p += k;
        n -= k;
    }
}

void put_str(const char* s) { put_bytes(s, std::strlen(s)); }

void put_code_point(uint32_t cp) {
    if (g_out_used >= OUT_FLUSH_AT) flush();
    g_out_used += utf8::encode(cp, g_out + g_out_used);
}

}  // namespace

void init_console_output() {
    g_console = ::isatty(1) == 1;
    g_console_known = true;
}

bool console() {
    if (!g_console_known) init_console_output();
    return g_console;
}

void set_console(bool on) {
    g_console = on;
    g_console_known = true;
}

void set_output_sink(OutputSink sink, void* context) {
    flush();
    g_sink = sink;
    g_sink_context = context;
}

void reset_output_sink() { set_output_sink(nullptr, nullptr); }

// Every unit is encoded as UTF-8. On a terminal an ESC starts the escape
// dialect, unless `escapes` is off (code-point text is written as it stands,
// like the wide-character console path it replaces).
static void write_units(const uint8_t* text, size_t bytes, int unit, bool newline, bool escapes) {
    if (unit != 1 && unit != 2 && unit != 4) return;
    size_t units = bytes / size_t(unit);
    bool interpret = escapes && console();
    for (size_t i = 0; i < units;) {
        uint32_t u = memory::unit_value(text + i * unit, unit);
        if (u == 27 && interpret) {
            size_t used = emulate_csi(text + i * unit, units - i, unit);
            if (used > 0) {
                i += used;
                continue;
            }
        }
        put_code_point(u);
        i++;
    }
    if (newline) put_bytes("\n", 1);
    flush();
}

void write_text(const void* text, size_t bytes, int unit, bool newline) {
    write_units(static_cast<const uint8_t*>(text), bytes, unit, newline, true);
}

void print_latin1(const char* text, size_t bytes) { write_text(text, bytes, 1, false); }
void print_latin1_line(const char* text, size_t bytes) { write_text(text, bytes, 1, true); }
void print_utf16(const uint16_t* text, size_t bytes) { write_text(text, bytes, 2, false); }
void print_utf16_line(const uint16_t* text, size_t bytes) { write_text(text, bytes, 2, true); }
void print_ucs4_line(const uint32_t* text, size_t bytes) {
    write_units(reinterpret_cast<const uint8_t*>(text), bytes, 4, true, false);
}

void write_raw(const char* bytes, size_t n) {
    put_bytes(bytes, n);
    flush();
}

void write_stderr(const char* text, size_t n) {
    flush();
    (void)write_all(2, text, n);  // nowhere to report a failing standard error
}

void print_c_string(const char* s) {
    size_t n = std::strlen(s);
    write_raw(s, n);
    notify_raw_output(s, n, 0);
}

void print_char(char c) {
    char s[2] = {c, 0};
    print_c_string(s);
}

// ---- Low-level typed print ------------------------------------------------------

static void format_number(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
static void format_number(const char* fmt, ...) {
    char scratch[64];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(scratch, sizeof scratch, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    size_t len = size_t(n) < sizeof scratch ? size_t(n) : sizeof scratch - 1;
    write_raw(scratch, len);
    notify_raw_output(scratch, len, 0);
}

void print_integer(int32_t n) { format_number("%i", n); }
void print_hex(uint32_t n) { format_number("%08X", n); }
void print_hex_byte(uint8_t n) { format_number("%02X", unsigned(n)); }
void print_float64(double d) { format_number("%.16g", d); }
void print_float32(float f) { format_number("%.7g", double(f)); }

void print(std::initializer_list<PrintArg> list) {
    gui_before_print();
    for (const PrintArg& a : list) {
        switch (a.kind) {
            case PrintArg::LOGIC: print_c_string(a.b ? "true" : "false"); break;
            case PrintArg::INTEGER: print_integer(a.i); break;
            case PrintArg::CHAR: print_char(a.c); break;
            case PrintArg::FLOAT32: print_float32(a.f); break;
            case PrintArg::FLOAT64: print_float64(a.d); break;
            case PrintArg::STRING: print_c_string(a.s ? a.s : ""); break;
            case PrintArg::HEX: print_hex(a.h); break;
        }
    }
    gui_after_print();
    flush();
}

void print_line(std::initializer_list<PrintArg> list) {
    print(list);
    write_raw("\n", 1);
}

// ---- Console control: standard terminal sequences ------------------------------

namespace {

int g_default_attribute = DEFAULT_ATTRIBUTE;
int g_attribute = DEFAULT_ATTRIBUTE;
ScreenQuery g_screen_query = nullptr;

void put_csi(int a, char final) {
    char s[24];
    int n = std::snprintf(s, sizeof s, "\x1b[%d%c", a, final);
    put_bytes(s, size_t(n));
}

// Asks the terminal for the cursor position (the status report ESC [ 6 n)
// and waits at most 100 ms for the answer on standard input.
bool read_cursor(int& column, int& row) {
    if (::isatty(0) != 1 || ::isatty(1) != 1) return false;
    struct termios saved, raw;
    if (::tcgetattr(0, &saved) != 0) return false;
    raw = saved;
    raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(0, TCSANOW, &raw) != 0) return false;
    flush();
    write_stdout("\x1b[6n", 4);
    char reply[32];
    size_t got = 0;
    bool done = false;
    while (!done && got < sizeof reply - 1) {
        struct pollfd p = {0, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) break;
        ssize_t r = ::read(0, reply + got, 1);
        if (r <= 0) break;
        done = reply[got] == 'R';
        got++;
    }
    ::tcsetattr(0, TCSANOW, &saved);
    reply[got] = 0;
    int r = 0, c = 0;
    if (!done || std::sscanf(reply, "\x1b[%d;%dR", &r, &c) != 2) return false;
    row = r - 1;
    column = c - 1;
    return true;
}

bool default_screen_query(ScreenInfo& info) {
    struct winsize ws;
    info.width = 80;
    info.height = 25;
    info.column = info.row = -1;
    if (::ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) {
        info.width = ws.ws_col;
        info.height = ws.ws_row;
    }
    read_cursor(info.column, info.row);
    return true;
}

// The dialect's colour nibble (bit 0 blue, 1 green, 2 red, 3 bright) as an
// ANSI colour index (bit 0 red, 1 green, 2 blue).
int ansi_colour(int nibble) { return ((nibble & 1) << 2) | (nibble & 2) | ((nibble & 4) >> 2); }

}  // namespace

void set_screen_query(ScreenQuery query) { g_screen_query = query; }

bool query_screen(ScreenInfo& info) {
    return g_screen_query ? g_screen_query(info) : default_screen_query(info);
}

void save_console_attributes() { g_default_attribute = g_attribute; }

// The attribute word becomes one SGR sequence that states it whole: nibbles
// equal to the start-up attribute's nibbles stay the terminal's own colours.
void set_text_attribute(int attribute) {
    g_attribute = attribute & 0xFFFF;
    if (g_attribute == g_default_attribute) {
        put_str("\x1b[0m");
        return;
    }
    char s[48];
    int fg = g_attribute & 0x0F, bg = (g_attribute >> 4) & 0x0F;
    int n = std::snprintf(s, sizeof s, "\x1b[0");
    if (g_attribute & 0x8000) n += std::snprintf(s + n, sizeof s - n, ";4");
    if (fg != (g_default_attribute & 0x0F))
        n += std::snprintf(s + n, sizeof s - n, ";%d", (fg & 8 ? 90 : 30) + ansi_colour(fg));
    if (bg != ((g_default_attribute >> 4) & 0x0F))
        n += std::snprintf(s + n, sizeof s - n, ";%d", (bg & 8 ? 100 : 40) + ansi_colour(bg));
    std::snprintf(s + n, sizeof s - n, "m");
    put_str(s);
}

int sgr_attribute(int attribute, int code) {
    static const int fg_bits[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    static const int bg_bits[8] = {0x00, 0x40, 0x20, 0x60, 0x10, 0x50, 0x30, 0x70};
    if (attribute == -1) attribute = g_attribute;
    if (code == 0) return g_default_attribute;
    if (code == 1) return attribute | 0x88;
    if (code == 4) return attribute | 0x8000;
    if (code == 7) return (attribute & ~0xFF) | ((attribute & 0x0F) << 4) | ((attribute & 0xF0) >> 4);
    if (code >= 30 && code <= 37) return (attribute & 0xF8) + fg_bits[code - 30];
    if (code == 39) return attribute | 0x08;
    if (code >= 40 && code <= 47) return (attribute & 0x8F) + bg_bits[code - 40];
    if (code == 49) return attribute | 0x80;
    return attribute;
}

// Erase kinds of the dialect:
//   0 start of the cursor's row to the end of the screen
//   1 the rows above the cursor's row
//   2 the whole screen, cursor to the top left
//   3 the whole cursor row, cursor to its start
//   4 cursor to the end of its row
//   5 start of the cursor's row up to the cursor, cursor to the row start
void erase_console(int kind) {
    switch (kind) {
        case 0: put_str("\x1b[2K\x1b[J"); break;
        case 1: {
            ScreenInfo info;
            if (!query_screen(info) || info.row < 0) {
                // Without the cursor row, erasing above it cannot be done
                // exactly; erasing nothing loses no text.
                break;
            }
            if (info.row == 0) break;
            char s[64];
            int n = std::snprintf(s, sizeof s, "\x1b[%d;1H\x1b[1J\x1b[2K\x1b[%d;%dH", info.row,
                                  info.row + 1, info.column + 1);
            put_bytes(s, size_t(n));
            break;
        }
        case 2: put_str("\x1b[2J\x1b[H"); break;
        case 3: put_str("\x1b[2K\r"); break;
        case 4: put_str("\x1b[K"); break;
        case 5: put_str("\x1b[1K\r"); break;
        default: break;
    }
}

void set_cursor(int column, int row) {
    char s[32];
    int n = std::snprintf(s, sizeof s, "\x1b[%d;%dH", row + 1, column + 1);
    put_bytes(s, size_t(n));
}

void save_cursor() { put_str("\x1b" "7"); }
void restore_cursor() { put_str("\x1b" "8"); }

// Relative moves by n cells; the terminal stops at the screen edges as the
// dialect asks. A zero move is no move (the standard sequence would move one).
void move_cursor(char direction, int n) {
    if (n > 0) put_csi(n, direction);
}

static void screen_report() {
    ScreenInfo info;
    query_screen(info);
    char s[96];
    print_line({"Screen buffer info:"});
    std::snprintf(s, sizeof s, "   size______ %dx%d", info.width, info.height);
    print_line({s});
    std::snprintf(s, sizeof s, "   cursor____ %dx%d", info.column, info.row);
    print_line({s});
    std::snprintf(s, sizeof s, "   attribute_ %04X %04X", unsigned(g_attribute),
                  unsigned(g_default_attribute));
    print_line({s});
    std::snprintf(s, sizeof s, "   left______ 0 top: 0");
    print_line({s});
    std::snprintf(s, sizeof s, "   right_____ %d bottom: %d", info.width - 1, info.height - 1);
    print_line({s});
    std::snprintf(s, sizeof s, "   max_______ %dx%d", info.width, info.height);
    print_line({s});
}

// The dialect's state machine. Numbers accumulate modulo 65,535; the
// sequence ends with the unit that completed an action or stopped it, and
// that unit is counted as consumed. A sequence cut off by the end of the
// text consumes what was read.
size_t emulate_csi(const uint8_t* text, size_t units, int unit) {
    if (units < 2 || (memory::unit_value(text + unit, unit) & 0xFF) != '[') return 0;
    int state = 1;
    int n = 0, m = 0;
    int building = -1;  // attribute being built by a list of codes
    size_t i = 2;
    for (; i < units; i++) {
        int c = int(memory::unit_value(text + i * unit, unit) & 0xFF);
        bool digit = c >= '0' && c <= '9';
        switch (state) {
            case 1:
                if (digit) {
                    n = c - '0';
                    state = 2;
                    continue;
                }
                if (c == ';') continue;
                if (c == 's') save_cursor();
                else if (c == 'u') restore_cursor();
                else if (c == 'K') erase_console(4);
                else if (c == 'J') erase_console(0);
                else if (c == 'H' || c == 'f') set_cursor(0, 0);
                else if (c == '?') screen_report();
                return i + 1;
            case 2:
                if (digit) {
                    n = (n * 10 + (c - '0')) % 65535;
                    continue;
                }
                if (c == ';') {
                    state = 3;
                    continue;
                }
                if (c == 'm') {
                    int a = building >= 0 ? building : g_attribute;
                    set_text_attribute(sgr_attribute(a, n));
                } else if (c == 'A' || c == 'B' || c == 'C' || c == 'D') {
                    move_cursor(char(c), n);
                } else if (c == 'J') {
                    if (n == 1) erase_console(1);
                    else if (n == 2) erase_console(2);
                } else if (c == 'K') {
                    if (n == 1) erase_console(5);
                    else if (n == 2) erase_console(3);
                }
                return i + 1;
            case 3:
                if (digit) {
                    m = c - '0';
                    state = 4;
                    continue;
                }
                if (c == ';') continue;
                return i + 1;
            case 4:
                if (digit) {
                    m = (m * 10 + (c - '0')) % 65535;
                    continue;
                }
                if (c == 'm') {
                    int a = building >= 0 ? building : g_attribute;
                    set_text_attribute(sgr_attribute(sgr_attribute(a, n), m));
                    return i + 1;
                }
                if (c == ';') {
                    int a = building >= 0 ? building : g_attribute;
                    building = sgr_attribute(sgr_attribute(a, n), m);
                    n = m = 0;
                    state = 1;
                    continue;
                }
                if (c == 'H' || c == 'f') set_cursor(n, m);
                return i + 1;
        }
    }
    return i;
}

// ---- Output hooks ---------------------------------------------------------------

namespace {

template <typename Fn>
struct HookList {
    Fn* items = nullptr;
    int count = 0;
    int capacity = 0;

    void init() {
        items = static_cast<Fn*>(memory::heap_alloc(5 * int64_t(sizeof(Fn))));
        count = 0;
        capacity = 5;
    }
    void add(Fn fn) {
        if (!fn) return;
        if (!items) init();
        if (count == capacity) {
            Fn* bigger = static_cast<Fn*>(memory::heap_alloc((capacity + 5) * int64_t(sizeof(Fn))));
            std::memcpy(static_cast<void*>(bigger), items, sizeof(Fn) * size_t(count));
            memory::heap_free(items);
            items = bigger;
            capacity += 5;
        }
        items[count++] = fn;
    }
    void remove(Fn fn) {
        if (!fn) return;
        for (int i = 0; i < count; i++) {
            if (items[i] == fn) {
                std::memmove(static_cast<void*>(items + i), items + i + 1,
                             sizeof(Fn) * size_t(count - i - 1));
                count--;
                return;
            }
        }
    }
};

HookList<StringPrinter> g_printers;
HookList<RawObserver> g_observers;
bool g_hooks_installed = false;

void (*g_gui_before)() = nullptr;
void (*g_gui_after)() = nullptr;

}  // namespace

void init_output_hooks() {
    g_printers.init();
    g_observers.init();
    g_printers.add(print_string_default);
    g_hooks_installed = true;
}

void add_output_hooks(StringPrinter printer, RawObserver observer) {
    g_printers.add(printer);
    g_observers.add(observer);
}

void remove_output_hooks(StringPrinter printer, RawObserver observer) {
    g_printers.remove(printer);
    g_observers.remove(observer);
}

int string_printer_count() { return g_printers.count; }
int string_printer_capacity() { return g_printers.capacity; }

void print_string(const Cell* string, bool newline) {
    if (!g_hooks_installed) {
        print_string_default(string, newline);
        return;
    }
    for (int i = 0; i < g_printers.count; i++) g_printers.items[i](string, newline);
}

void notify_raw_output(const char* text, size_t length, int flag) {
    for (int i = 0; i < g_observers.count; i++) g_observers.items[i](text, length, flag);
}

void set_gui_print_hooks(void (*before)(), void (*after)()) {
    g_gui_before = before;
    g_gui_after = after;
}
void gui_before_print() {
    if (g_gui_before) g_gui_before();
}
void gui_after_print() {
    if (g_gui_after) g_gui_after();
}

// A string cell: payload 1 the head index in units, payload 2 the node.
void print_string_default(const Cell* string, bool newline) {
    gui_before_print();
    Series* s = memory::series_of(string->data2);
    int unit = s->unit();
    uint64_t start = uint64_t(s->offset) + uint64_t(string->data1) * uint64_t(unit);
    size_t bytes = start < s->tail ? size_t(s->tail - start) : 0;
    const uint8_t* text = s->data() + start;
    switch (unit) {
        case 1: write_text(text, bytes, 1, newline); break;
        case 2: write_text(text, bytes, 2, newline); break;
        case 4:
            write_units(text, bytes, 4, newline, false);
            break;
        default:
            print_line({"Error: unknown string encoding: ", int32_t(unit)});
            break;
    }
    gui_after_print();
}

}  // namespace zel::platform
