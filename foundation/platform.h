// Platform layer: the run-time's only contact with the OS for text output,
// start-up, faults and a few services.
//
// Output is UTF-8 on fd 1, whether a terminal or redirected, lines ending
// with LF. Every path goes through one buffer that is flushed before the
// path returns, so printed strings and raw writes never reorder.
//
// Escape sequences: on a terminal, the run-time's own escape dialect
// (ESC [ col ; row H counted from 0, its erase kinds, console colour
// attributes) is interpreted by `emulate_csi` and turned into standard
// terminal sequences. Redirected output passes every byte through as is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "foundation/cell.h"

namespace zel::platform {

// ---- Start-up ---------------------------------------------------------------

// Installs the fault handlers, keeps the argument vector (UTF-8 already on
// Linux). Call first.
void startup(int argc, char** argv);
int argument_count();
const char* const* arguments();
// The argument vector as one command line, the way a shell would need it
// typed: arguments between single blanks, each one that is empty or holds a
// blank, a tab or a double quote between double quotes (a double quote
// inside cannot be told from the closing one by a plain split).
std::string command_line();

// Runs `fn` on a thread with a large stack, with the fault handlers' alternate
// stack set up for it, and answers its result. The depth guard is armed for
// that thread.
int run_on_big_stack(int (*fn)(void*), void* arg);
// Under AddressSanitizer it is kept well below the size up to which the
// sanitizer clears the poison of the frames an exception leaves (64 MB):
// beyond it, every throw would leave stale poison behind in the stack. Its
// frames being several times larger, recursion there overflows after some
// thousands of levels, which keeps the cost of the tests that recurse until
// the overflow, run under the collector stress, what it was.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t BIG_STACK_SIZE = size_t(24) << 20;
#else
constexpr size_t BIG_STACK_SIZE = size_t(512) << 20;
#endif

// Depth guard of the thread running the interpreter: the lowest stack
// address it may reach before raising stack-overflow (0: no guard).
// constinit: no dynamic initialisation, so no per-access guard call.
extern constinit thread_local uintptr_t g_stack_limit;
[[noreturn]] void native_stack_overflow();

// The depth guard: true while the current thread's native stack has headroom.
// Inline: the evaluator checks it at every block and call.
inline bool stack_has_room() {
    return g_stack_limit == 0 || reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) > g_stack_limit;
}
// Raises internal stack-overflow when the native stack is nearly used up.
inline void check_native_stack() {
    if (!stack_has_room()) [[unlikely]]
        native_stack_overflow();
}

// Called by the OS-facing parts that change the terminal (raw mode): the
// routine runs on every exit path, faults and interrupts included.
void set_terminal_restore(void (*restore)());
void restore_terminal();

void init_os();
void init_console_output();

// ---- Text output ------------------------------------------------------------

// Units: 1 = Latin-1 bytes, 2 = UCS-2 units, 4 = code points.
void write_text(const void* text, size_t bytes, int unit, bool newline);
void print_latin1(const char* text, size_t bytes);
void print_latin1_line(const char* text, size_t bytes);
void print_utf16(const uint16_t* text, size_t bytes);
void print_utf16_line(const uint16_t* text, size_t bytes);
void print_ucs4_line(const uint32_t* text, size_t bytes);
void print_c_string(const char* s);
void print_char(char c);
// Writes UTF-8 bytes as they are (already encoded text), no escape handling.
void write_raw(const char* bytes, size_t n);
// Writes a message to standard error, flushing standard output first so
// the two streams stay in order when they share a terminal.
void write_stderr(const char* text, size_t n);

// Low-level typed print used by fatal paths and debugging aids.
struct PrintArg {
    enum Kind { LOGIC = 1, INTEGER = 2, CHAR = 3, FLOAT32 = 4, FLOAT64 = 5, STRING = 6, HEX = 7 };
    Kind kind;
    union {
        bool b;
        int32_t i;
        char c;
        float f;
        double d;
        const char* s;
        uint32_t h;
    };
    PrintArg(bool v) : kind(LOGIC), b(v) {}
    PrintArg(int32_t v) : kind(INTEGER), i(v) {}
    PrintArg(char v) : kind(CHAR), c(v) {}
    PrintArg(float v) : kind(FLOAT32), f(v) {}
    PrintArg(double v) : kind(FLOAT64), d(v) {}
    PrintArg(const char* v) : kind(STRING), s(v) {}
    static PrintArg hex(uint32_t v) {
        PrintArg a(int32_t(0));
        a.kind = HEX;
        a.h = v;
        return a;
    }
};
void print(std::initializer_list<PrintArg> list);
void print_line(std::initializer_list<PrintArg> list);
void print_integer(int32_t n);
void print_hex(uint32_t n);
void print_hex_byte(uint8_t n);
void print_float64(double d);
void print_float32(float f);

// Where output bytes go: fd 1 by default. Tests redirect it to a string.
using OutputSink = void (*)(void* context, const char* bytes, size_t n);
void set_output_sink(OutputSink sink, void* context);
void reset_output_sink();

// ---- Terminal ---------------------------------------------------------------

// 1 when standard output is a terminal: escape sequences are interpreted.
bool console();
void set_console(bool on);  // tests and forced modes

// Interprets the escape sequence at `text` (which starts with ESC), `units`
// units available, each `unit` bytes wide. Answers the units consumed, 0 when
// the unit after ESC is not '['. The console operations it calls write
// standard terminal sequences to the output.
size_t emulate_csi(const uint8_t* text, size_t units, int unit);

// Console attributes: the 16-bit colour word of the dialect (foreground in
// bits 0-3, background in bits 4-7, 0x8000 underline).
constexpr int DEFAULT_ATTRIBUTE = 0x07;
void save_console_attributes();
void set_text_attribute(int attribute);
int sgr_attribute(int attribute, int code);
void erase_console(int kind);
void set_cursor(int column, int row);
void save_cursor();
void restore_cursor();
void move_cursor(char direction, int n);

// Terminal queries; tests replace them to stay deterministic.
struct ScreenInfo {
    int width, height;   // screen size in cells
    int column, row;     // cursor, from 0; -1 when unknown
};
using ScreenQuery = bool (*)(ScreenInfo& info);
void set_screen_query(ScreenQuery query);  // null restores the default
bool query_screen(ScreenInfo& info);

// ---- OS services --------------------------------------------------------------

void* alloc_pages(size_t size);  // null on failure
bool free_pages(void* address, size_t size);
// Grows a mapping made by alloc_pages to new_size bytes: the kernel keeps or
// moves its pages, copying none; answers the mapping's address, null when
// refused (the old mapping then stays as it was).
void* grow_pages(void* address, size_t size, size_t new_size);
std::string get_current_dir();
bool set_current_dir(const char* path);
void wait(double seconds);
double get_time(bool precise);
uint32_t get_date(bool utc);
double degrees_to_radians(double value, int kind);

// ---- Output hooks -----------------------------------------------------------

using StringPrinter = void (*)(const Cell* string, bool newline);
using RawObserver = void (*)(const char* text, size_t length, int flag);
void init_output_hooks();
void add_output_hooks(StringPrinter printer, RawObserver observer);
void remove_output_hooks(StringPrinter printer, RawObserver observer);
void print_string(const Cell* string, bool newline);
void notify_raw_output(const char* text, size_t length, int flag);
int string_printer_count();
int string_printer_capacity();
// The default printer writes the string through the text paths above.
void print_string_default(const Cell* string, bool newline);

// Called around every low-level print, for the terminal GUI to erase and
// restore its inline screen. Empty until the GUI installs them.
void set_gui_print_hooks(void (*before)(), void (*after)());
void gui_before_print();
void gui_after_print();

// ---- Fatal run-time errors ----------------------------------------------------

const char* runtime_error_text(int number);
// Prints the "*** Runtime Error" report, frees the tracked heap and exits
// with the number as status; number 0 quits quietly with status 0.
[[noreturn]] void runtime_error(int number, uintptr_t address);
// Ends the process with the status (taken modulo 256 by the OS), the
// terminal restored and the tracked heap freed.
[[noreturn]] void quit(int status);
// Maps a fault signal and its si_code to a run-time error number.
int signal_error_number(int signo, int code);
// A lower layer needed a service that a module above registers at start-up
// before it was registered: a fault of the start-up order, never something
// a script can cause. Writes "*** Start-up Error: <service> used before its
// module registered it" on standard error and quits with status 98.
[[noreturn]] void missing_hook(const char* service);

}  // namespace zel::platform
