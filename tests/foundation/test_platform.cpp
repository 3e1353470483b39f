// Platform layer: the escape dialect turned into standard terminal bytes,
// output ordering and hooks, and whole-process behaviour (fault reports,
// interrupts, redirected UTF-8 output) seen from a child process.
#include <signal.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using zel::test::ChildResult;
using zel::test::run_helper;

namespace {

void capture(void* context, const char* bytes, size_t n) {
    static_cast<std::string*>(context)->append(bytes, n);
}

// Collects everything written while alive; terminal mode as asked.
class Capture {
public:
    explicit Capture(bool console) {
        platform::set_console(console);
        platform::set_output_sink(capture, &text);
    }
    ~Capture() {
        platform::reset_output_sink();
        platform::set_console(false);
    }
    std::string text;
};

platform::ScreenInfo g_screen = {80, 25, 4, 3};
bool fake_screen(platform::ScreenInfo& info) {
    info = g_screen;
    return true;
}

std::string dialect(const std::string& in) {
    // Every case starts from the start-up attributes.
    {
        Capture quiet(true);
        platform::set_text_attribute(platform::DEFAULT_ATTRIBUTE);
    }
    Capture out(true);
    platform::write_text(in.data(), in.size(), 1, false);
    return out.text;
}

}  // namespace

TEST(EscapeDialect, TranslatedToStandardSequences) {
    platform::set_screen_query(fake_screen);
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        // Cursor: column first, counted from 0.
        {"\x1b[5;2H", "\x1b[3;6H"},
        {"\x1b[0;0f", "\x1b[1;1H"},
        {"\x1b[H", "\x1b[1;1H"},
        {"\x1b[3A", "\x1b[3A"},
        {"\x1b[2B\x1b[7C\x1b[1D", "\x1b[2B\x1b[7C\x1b[1D"},
        {"\x1b[0A", ""},  // a zero move does not move
        {"\x1b[s\x1b[u", "\x1b" "7" "\x1b" "8"},
        // Erase kinds.
        {"\x1b[J", "\x1b[2K\x1b[J"},
        {"\x1b[0J", ""},
        {"\x1b[1J", "\x1b[3;1H\x1b[1J\x1b[2K\x1b[4;5H"},
        {"\x1b[2J", "\x1b[2J\x1b[H"},
        {"\x1b[K", "\x1b[K"},
        {"\x1b[1K", "\x1b[1K\r"},
        {"\x1b[2K", "\x1b[2K\r"},
        {"\x1b[3K", ""},
        // Colours: console attribute words, restated whole.
        {"\x1b[31m", "\x1b[0;31m"},
        {"\x1b[34m", "\x1b[0;34m"},
        {"\x1b[44m", "\x1b[0;44m"},
        {"\x1b[0m", "\x1b[0m"},
        {"\x1b[1;33m", "\x1b[0;93;100m"},
        {"\x1b[4m", "\x1b[0;4m"},
        {"\x1b[7m", "\x1b[0;30;47m"},
        {"\x1b[31;44;1m", "\x1b[0;91;104m"},
        {"\x1b[99m", "\x1b[0m"},
        // Not a sequence, or text around one.
        {"\x1bX", "\x1bX"},
        {"a\x1b[32mb\x1b[0mc", "a\x1b[0;32mb\x1b[0mc"},
        {"\x1b[5;2", ""},  // cut off at the end of the text
    };
    for (const Case& c : cases) EXPECT_EQ(dialect(c.in), c.out) << "input: " << c.in + 1;
    platform::set_screen_query(nullptr);
}

TEST(EscapeDialect, EraseAboveAtTheTopRowErasesNothing) {
    g_screen = {80, 25, 7, 0};
    platform::set_screen_query(fake_screen);
    EXPECT_EQ(dialect("\x1b[1J"), "");
    g_screen = {80, 25, 4, 3};
    platform::set_screen_query(nullptr);
}

TEST(EscapeDialect, RedirectedOutputPassesThrough) {
    Capture out(false);
    const std::string in = "x\x1b[5;2H\x1b[31my\x1b[2J";
    platform::write_text(in.data(), in.size(), 1, true);
    EXPECT_EQ(out.text, in + "\n");
}

TEST(EscapeDialect, WideUnitsAreInterpretedToo) {
    Capture out(true);
    const uint16_t in[] = {0x1b, '[', '2', ';', '0', 'H', 0x4E2D};
    platform::write_text(in, sizeof in, 2, false);
    EXPECT_EQ(out.text, "\x1b[1;3H\xe4\xb8\xad");
}

TEST(Output, UnitsBecomeUtf8WithLineFeeds) {
    Capture out(false);
    const char latin1[] = {'a', char(0xE9)};
    platform::print_latin1_line(latin1, 2);
    const uint16_t wide[] = {0x20AC};
    platform::print_utf16(wide, 2);
    const uint32_t ucs[] = {0x1F600};
    platform::print_ucs4_line(ucs, 4);
    EXPECT_EQ(out.text, "a\xc3\xa9\n\xe2\x82\xac\xf0\x9f\x98\x80\n");
}

// A string may hold what UTF-8 cannot carry: a lone surrogate half ("^(D800)")
// or, in a code-point buffer, a number beyond the Unicode range. Each is
// written as U+FFFD, so the bytes out are always valid UTF-8.
TEST(Output, UnencodableCodePointsBecomeTheReplacementCharacter) {
    const std::string fffd = "\xef\xbf\xbd";
    Capture out(false);
    const uint16_t wide[] = {'a', 0xD800, 0xDFFF, 0xD7FF, 0xE000};
    platform::print_utf16(wide, sizeof wide);
    EXPECT_EQ(out.text, "a" + fffd + fffd + "\xed\x9f\xbf\xee\x80\x80");
    out.text.clear();
    const uint32_t ucs[] = {0xDBFF, 0x10FFFF, 0x110000, 'z'};
    platform::print_ucs4_line(ucs, sizeof ucs);
    EXPECT_EQ(out.text, fffd + "\xf4\x8f\xbf\xbf" + fffd + "z\n");
}

TEST(Output, LongTextArrivesWholeAndInOrder) {
    Capture out(false);
    std::string text(1100, 'q');
    text[0] = 'A';
    text[1099] = 'Z';
    platform::print_latin1_line(text.data(), text.size());
    platform::print_c_string("raw");
    platform::print_line({"n=", int32_t(42), ' ', true, ' ', 1.5, ' ', platform::PrintArg::hex(255)});
    EXPECT_EQ(out.text, text + "\nrawn=42 true 1.5 000000FF\n");
}

namespace {
std::string g_observed;
int g_printed = 0;
void observer(const char* text, size_t n, int) { g_observed.append(text, n); }
void printer(const Cell*, bool) { g_printed++; }
void printer2(const Cell*, bool) {}
}  // namespace

TEST(OutputHooks, ListsGrowAndRemoveTheFirstOccurrence) {
    platform::add_output_hooks(nullptr, observer);
    {
        Capture out(false);
        platform::print_c_string("seen");
        platform::print_integer(-7);
    }
    EXPECT_EQ(g_observed, "seen-7");
    platform::remove_output_hooks(nullptr, observer);
    platform::print_c_string("");
    EXPECT_EQ(g_observed, "seen-7");

    int before = platform::string_printer_count();
    platform::remove_output_hooks(printer2, nullptr);  // not registered: nothing changes
    EXPECT_EQ(platform::string_printer_count(), before);
    for (int i = before; i < 6; i++) platform::add_output_hooks(printer, nullptr);
    EXPECT_EQ(platform::string_printer_count(), 6);
    EXPECT_EQ(platform::string_printer_capacity(), 10);

    Node n = memory::alloc_chars(3, 1);
    Series* s = memory::series_of(n);
    std::memcpy(s->data(), "abc", 3);
    s->tail = 3;
    Cell str;
    cell::set(&str, TYPE_STRING, 1, n);  // head index 1: "bc"
    {
        Capture out(false);
        g_printed = 0;
        platform::print_string(&str, true);
        EXPECT_EQ(out.text, "bc\n");
        EXPECT_EQ(g_printed, 6 - before);
    }
    for (int i = before; i < 6; i++) platform::remove_output_hooks(printer, nullptr);
    EXPECT_EQ(platform::string_printer_count(), before);
}

TEST(FatalErrors, TextsAndSignalNumbers) {
    EXPECT_STREQ(platform::runtime_error_text(13), "integer divide by zero");
    EXPECT_STREQ(platform::runtime_error_text(6), "float denormal operan");
    EXPECT_STREQ(platform::runtime_error_text(94), "out of memory");
    EXPECT_STREQ(platform::runtime_error_text(101), "no value matched in SWITCH");
    EXPECT_STREQ(platform::runtime_error_text(50), "unknown error code!");
    struct Case {
        int signo, code, number;
    };
    const Case cases[] = {
        {SIGFPE, FPE_INTDIV, 13}, {SIGFPE, FPE_FLTDIV, 7}, {SIGFPE, SI_USER, 33},
        {SIGSEGV, SEGV_MAPERR, 1}, {SIGBUS, BUS_ADRALN, 2}, {SIGBUS, SI_USER, 34},
        {SIGILL, ILL_ILLOPC, 17}, {SIGILL, ILL_PRVOPC, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::signal_error_number(c.signo, c.code), c.number) << c.signo << "/" << c.code;
}

TEST(ChildProcess, DivideByZeroReportsRuntimeError13) {
    ChildResult r = run_helper("divide-by-zero");
    EXPECT_EQ(r.status, 13);
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("\n\\*\\*\\* Runtime Error 13: integer divide by zero\n\\*\\*\\* at: [0-9A-F]{8}h\n")))
        << r.out;
}

TEST(ChildProcess, SegmentationFaultReportsAccessViolation) {
    ChildResult r = run_helper("segv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("\n\\*\\*\\* Runtime Error 1: access violation\n\\*\\*\\* at: [0-9A-F]{8}h\n")))
        << r.out;
}

TEST(ChildProcess, UncaughtThrowIsRuntimeError95) {
    ChildResult r = run_helper("runtime-error");
    EXPECT_EQ(r.status, 95);
    EXPECT_EQ(r.out, "\n*** Runtime Error 95: no CATCH for THROW\n*** at: 12345678h\n");
}

TEST(ChildProcess, DepthGuardRaisesStackOverflowBeforeTheStackEnds) {
    ChildResult r = run_helper("deep-recursion");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "stack-overflow\n");
}

// Ctrl-C ends the program with the status shells give an interrupted one:
// never a success.
TEST(ChildProcess, InterruptEndsWithStatus130) {
    ChildResult r = run_helper("interrupt");
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "before\n");
}

TEST(ChildProcess, RedirectedOutputIsUtf8WithLineFeeds) {
    ChildResult r = run_helper("print");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "caf\xc3\xa9\n"
              "\xe2\x82\xac \xe4\xb8\xad\x1b[1mx\n"
              "raw"
              "\xf0\x9f\x98\x80!"
              " -12 true\n");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST(OsServices, DegreeFolding) {
    const double pi = 3.141592653589793;
    struct Case {
        double degrees;
        int kind;
        double radians;
    };
    const Case cases[] = {
        {150, 2, 30 * pi / 180},   // sine: 180 - r
        {-150, 2, -30 * pi / 180},
        {150, 1, 150 * pi / 180},  // cosine unchanged
        {135, 0, -45 * pi / 180},  // tangent: r - 180
        {390, 2, 30 * pi / 180},
        {-270, 1, 90 * pi / 180},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(platform::degrees_to_radians(c.degrees, c.kind), c.radians, 1e-15)
            << c.degrees << " kind " << c.kind;
}

TEST(OsServices, PackedDates) {
    uint32_t utc = platform::get_date(true);
    EXPECT_EQ(utc & 0x7F, 0u);  // no zone
    EXPECT_GE(utc >> 17, 2024u);
    uint32_t month = (utc >> 12) & 0x1F, day = (utc >> 7) & 0x1F;
    EXPECT_TRUE(month >= 1 && month <= 12);
    EXPECT_TRUE(day >= 1 && day <= 31);
    double t = platform::get_time(true);
    EXPECT_TRUE(t >= 0 && t < 86400);
    EXPECT_FALSE(platform::get_current_dir().empty());
}
