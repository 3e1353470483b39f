// Platform start-up and OS services: the argument vector, fault and
// interrupt handling, the big-stack interpreter thread with its depth guard,
// pages, current directory, time and date.
#include "foundation/platform.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/raise.h"

namespace zel::platform {

namespace {

int g_argc = 0;
char** g_argv = nullptr;
const char* g_no_args[] = {nullptr};

void (*g_terminal_restore)() = nullptr;

constexpr size_t STACK_HEADROOM = size_t(4) << 20;

// Alternate stack for the fault handlers, one per thread that runs Zel.
constexpr size_t ALT_STACK_SIZE = 64 * 1024;

// A thread that already has an alternate stack (a sanitizer's) keeps it. The
// stack is mapped, not malloc'd: it lives as long as the process.
bool install_alt_stack() {
    stack_t old;
    if (sigaltstack(nullptr, &old) == 0 && !(old.ss_flags & SS_DISABLE)) return true;
    void* p = ::mmap(nullptr, ALT_STACK_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    stack_t ss;
    ss.ss_sp = p;
    ss.ss_size = ALT_STACK_SIZE;
    ss.ss_flags = 0;
    return sigaltstack(&ss, nullptr) == 0;
}

// Async-signal-safe decimal and hex formatting for the fault report.
size_t put_dec(char* out, int n) {
    char tmp[12];
    size_t k = 0;
    unsigned v = n < 0 ? unsigned(-n) : unsigned(n);
    do {
        tmp[k++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    size_t len = 0;
    if (n < 0) out[len++] = '-';
    while (k) out[len++] = tmp[--k];
    return len;
}

void fault_handler(int signo, siginfo_t* info, void* context) {
    int number = signal_error_number(signo, info->si_code);
    uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(__x86_64__)
    if (context) address = uintptr_t(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#endif
    // A fault on the guard pages below the stack is a stack overflow.
    if (signo == SIGSEGV && g_stack_limit != 0) {
        uintptr_t fault = reinterpret_cast<uintptr_t>(info->si_addr);
        if (fault < g_stack_limit && fault + (size_t(64) << 20) > g_stack_limit) number = 19;
    }
    if (g_terminal_restore) g_terminal_restore();
    // Only async-signal-safe calls from here on.
    char report[160];
    size_t n = 0;
    auto put = [&](const char* s) {
        while (*s && n < sizeof report) report[n++] = *s++;
    };
    put("\n*** Runtime Error ");
    n += put_dec(report + n, number);
    put(": ");
    put(runtime_error_text(number));
    put("\n*** at: ");
    static const char hex[] = "0123456789ABCDEF";
    uint32_t a = uint32_t(address);
    for (int i = 7; i >= 0; i--) report[n++] = hex[(a >> (i * 4)) & 0xF];
    put("h\n");
    ssize_t ignored = ::write(1, report, n);
    (void)ignored;
    _exit(number);
}

// Ctrl-C ends the program: no evaluation is interrupted and resumed. The
// status is the one shells give a program that SIGINT ended (128 + 2), so
// that an interrupted run is never taken for a success.
void interrupt_handler(int) {
    if (g_terminal_restore) g_terminal_restore();
    _exit(128 + SIGINT);
}

void install_signal_handlers() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = fault_handler;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(s, &sa, nullptr);

    struct sigaction si;
    std::memset(&si, 0, sizeof si);
    si.sa_handler = interrupt_handler;
    sigemptyset(&si.sa_mask);
    sigaction(SIGINT, &si, nullptr);

    signal(SIGPIPE, SIG_IGN);
}

struct ThreadStart {
    int (*fn)(void*);
    void* arg;
    int result;
};

void* thread_main(void* p) {
    auto* start = static_cast<ThreadStart*>(p);
    install_alt_stack();
    pthread_attr_t attr;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
        g_stack_limit = reinterpret_cast<uintptr_t>(low) + STACK_HEADROOM;
    }
    // Floating point: every exception masked, round to nearest.
    std::fesetround(FE_TONEAREST);
    start->result = start->fn(start->arg);
    return nullptr;
}

}  // namespace

void startup(int argc, char** argv) {
    install_alt_stack();
    install_signal_handlers();
    g_argc = argc;
    g_argv = argv;
}

int argument_count() { return g_argv ? g_argc : 0; }
const char* const* arguments() { return g_argv ? g_argv : g_no_args; }

std::string command_line() {
    std::string text;
    const char* const* argv = arguments();
    for (int i = 0; i < argument_count(); i++) {
        std::string a = argv[i];
        if (i > 0) text += ' ';
        bool quote = a.empty() || a.find_first_of(" \t\"") != std::string::npos;
        text += quote ? "\"" + a + "\"" : a;
    }
    return text;
}

int run_on_big_stack(int (*fn)(void*), void* arg) {
    ThreadStart start{fn, arg, 0};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, BIG_STACK_SIZE);
    pthread_t thread;
    if (pthread_create(&thread, &attr, thread_main, &start) != 0) {
        // No big stack to be had: run on this one, still guarded.
        pthread_attr_destroy(&attr);
        thread_main(&start);
        return start.result;
    }
    pthread_attr_destroy(&attr);
    pthread_join(thread, nullptr);
    return start.result;
}

constinit thread_local uintptr_t g_stack_limit = 0;

void native_stack_overflow() { fire(ERR_internal_stack_overflow); }

void set_terminal_restore(void (*restore)()) { g_terminal_restore = restore; }

void restore_terminal() {
    if (g_terminal_restore) g_terminal_restore();
}

void init_os() {
    init_console_output();
    save_console_attributes();
}

// ---- OS services ----------------------------------------------------------------

void* alloc_pages(size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool free_pages(void* address, size_t size) { return ::munmap(address, size) == 0; }

void* grow_pages(void* address, size_t size, size_t new_size) {
    void* p = ::mremap(address, size, new_size, MREMAP_MAYMOVE);
    return p == MAP_FAILED ? nullptr : p;
}

std::string get_current_dir() {
    std::string dir(256, '\0');
    while (::getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir;
}

bool set_current_dir(const char* path) { return ::chdir(path) == 0; }

void wait(double seconds) {
    double ms = seconds * 1000.0;
    if (!(ms >= 1.0)) ms = 1.0;  // NaN and tiny waits sleep the minimum
    if (ms > 1e12) ms = 1e12;
    struct timespec ts;
    ts.tv_sec = time_t(ms / 1000.0);
    ts.tv_nsec = long((ms - double(ts.tv_sec) * 1000.0) * 1e6);
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

double get_time(bool precise) {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    double t = double(ts.tv_sec % 86400);
    if (precise) t += double(ts.tv_nsec) / 1e9;
    return t;
}

uint32_t get_date(bool utc) {
    time_t now = ::time(nullptr);
    struct tm tm;
    uint32_t zone = 0;
    if (utc) {
        ::gmtime_r(&now, &tm);
    } else {
        ::localtime_r(&now, &tm);
        long offset = tm.tm_gmtoff / 60;  // minutes east of UTC
        bool negative = offset < 0;
        long magnitude = negative ? -offset : offset;
        uint32_t hours = uint32_t(magnitude / 60) & 0x0F;
        if (negative) hours |= 0x10;
        zone = (hours << 2) | (uint32_t((magnitude % 60) / 15) & 3);
    }
    return (uint32_t(tm.tm_year + 1900) << 17) | (uint32_t(tm.tm_mon + 1) << 12) |
           (uint32_t(tm.tm_mday) << 7) | zone;
}

// Folds an angle in degrees into the range where the trigonometric function
// of `kind` (2 sine, 1 cosine, 0 tangent) is exact at its special values.
double degrees_to_radians(double x, int kind) {
    const double pi = 3.141592653589793;
    double r = std::fmod(x, 360.0);
    if (r > 180.0 || r < -180.0) r = r >= 0 ? r - 360.0 : r + 360.0;
    if (r > 90.0 || r < -90.0) {
        if (kind == 0) r = r >= 0 ? r - 180.0 : r + 180.0;
        else if (kind == 2) r = r >= 0 ? 180.0 - r : -180.0 - r;
    }
    return r * pi / 180.0;
}

}  // namespace zel::platform
