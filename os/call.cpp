// Child processes: the worker of the `call` native (see call.h).
//
// Relies on: posix_spawnp, pipe2, poll and waitpid; strings, binaries and
// the UTF-8 decoder; the collector (the scratch string's root).
#include "os/call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "os/workers.h"
#include "scalars/integer.h"
#include "series/binary.h"
#include "series/file.h"
#include "series/string.h"
#include "series/unicode.h"

extern char** environ;

namespace zel::call {

namespace {

// ---- State kept between calls -----------------------------------------------------------

// Captured text is decoded here before it goes into its target, so the
// target widens at most once. Kept small between calls.
constexpr int SCRATCH_UNITS = 100 * 1024;
Cell g_scratch{};

bool g_shell_used = false;
bool g_shell_error = false;
int64_t g_capture_limit = SERIES_MAX_BYTES;

void mark_scratch() { collector::mark_value(&g_scratch); }

void ensure_scratch() {
    bool usable = type_of(&g_scratch) == TYPE_STRING &&
                  string::buffer_of(&g_scratch)->capacity <= SCRATCH_UNITS * 4;
    if (!usable) string::make_at(&g_scratch, SCRATCH_UNITS);
    else string::reset(&g_scratch);
}

// ---- Children not waited for ------------------------------------------------------------

// Their pids, reaped by the SIGCHLD handler as they end. A slot holds 0
// (free), a pid, or -1 while one reaper has claimed it. Reapers run in the
// handler (on any thread) and on the interpreter thread; a reaper that finds
// its child still running puts the pid back and looks again when a SIGCHLD
// came meanwhile, since that signal's handler skipped the claimed slot.
constexpr int UNWAITED_SLOTS = 4096;
std::atomic<pid_t> g_unwaited[UNWAITED_SLOTS];
std::atomic<uint32_t> g_sigchld_count{0};
bool g_handler_installed = false;

void reap_slot(int i) {
    for (;;) {
        pid_t pid = g_unwaited[i].load();
        if (pid <= 0 || !g_unwaited[i].compare_exchange_strong(pid, -1)) return;
        uint32_t seen = g_sigchld_count.load();
        pid_t done = waitpid(pid, nullptr, WNOHANG);
        if (done != 0) {  // reaped, or no longer ours to wait for
            g_unwaited[i].store(0);
            return;
        }
        g_unwaited[i].store(pid);
        if (g_sigchld_count.load() == seen) return;
    }
}

void reap_all() {
    for (int i = 0; i < UNWAITED_SLOTS; i++) reap_slot(i);
}

void on_sigchld(int) {
    int saved = errno;
    g_sigchld_count.fetch_add(1);
    reap_all();
    errno = saved;
}

void install_sigchld_handler() {
    if (g_handler_installed) return;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_sigchld;
    sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGCHLD, &sa, nullptr);
    g_handler_installed = true;
}

// The child may have ended before its pid was stored, its SIGCHLD then
// finding nothing to reap: the slot is tried at once too.
void reap_pid_when_done(pid_t pid) {
    install_sigchld_handler();
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < UNWAITED_SLOTS; i++) {
            pid_t expected = 0;
            if (g_unwaited[i].compare_exchange_strong(expected, pid)) {
                reap_slot(i);
                return;
            }
        }
        reap_all();  // full: free the slots of children already gone
    }
    // More than UNWAITED_SLOTS children still running: this one stays a
    // zombie once it ends, until the process ends.
}

// ---- Descriptors and buffers --------------------------------------------------------------

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset(int f = -1) {
        if (fd >= 0) ::close(fd);
        fd = f;
    }
    bool open() const { return fd >= 0; }
};

// A descriptor the child gets as 0, 1 or 2 must not already be one of
// them: dup2 onto itself would leave its close-on-exec flag set.
bool lift_above_standard(Fd& f) {
    if (f.fd > 2) return true;
    int moved = fcntl(f.fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0) return false;
    f.reset(moved);
    return true;
}

// A pipe whose ends close on exec; the parent's end is non-blocking for the
// poll loop.
bool make_pipe(Fd& parent_end, Fd& child_end, bool parent_reads) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    Fd r(ends[0]), w(ends[1]);
    Fd& parent = parent_reads ? r : w;
    Fd& child = parent_reads ? w : r;
    if (fcntl(parent.fd, F_SETFL, O_NONBLOCK) != 0) return false;
    parent_end.reset(parent.fd);
    parent.fd = -1;
    child_end.reset(child.fd);
    child.fd = -1;
    return lift_above_standard(child_end);
}

// What one stream of a child is: capture buffers start at 4 KB and double.
struct Capture {
    uint8_t* data = nullptr;
    int64_t size = 0;
    int64_t capacity = 0;
    bool overflow = false;
    bool discarding = false;  // the last read went to the throw-away area
    Capture() = default;
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    ~Capture() { std::free(data); }

    // Room for the next read: at the end of the buffer, or a throw-away
    // area once the limit is reached (the child is still drained, so that
    // it ends); bytes that land there are the overflow.
    uint8_t* room(int64_t& n) {
        static uint8_t discard[65536];
        if (!overflow && size == capacity && capacity < g_capture_limit) {
            int64_t grown = std::min(capacity ? capacity * 2 : 4096, g_capture_limit);
            auto* p = static_cast<uint8_t*>(std::realloc(data, size_t(grown)));
            if (p) data = p, capacity = grown;
        }
        discarding = overflow || size == capacity;
        if (discarding) {
            n = sizeof discard;
            return discard;
        }
        n = capacity - size;
        return data + size;
    }
    void got(int64_t n) {
        if (discarding) overflow = true;
        else size += n;
    }
};

// ---- Feeding and draining -----------------------------------------------------------------

// Writes the input and reads both outputs as each becomes ready. A child
// that stops reading (it ended, or closed its input) ends the writing:
// SIGPIPE is ignored by the run-time, so the write answers EPIPE.
// With a deadline (monotonic milliseconds, -1 for none), false once it
// passes.
int64_t now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool serve(Fd& in, const uint8_t* input, int64_t input_size, Fd& out, Capture& out_cap, Fd& err, Capture& err_cap,
           int64_t deadline = -1) {
    if (in.open() && input_size == 0) in.reset();
    while (in.open() || out.open() || err.open()) {
        pollfd fds[3];
        Fd* owners[3];
        int n = 0;
        if (in.open()) fds[n] = {in.fd, POLLOUT, 0}, owners[n++] = &in;
        if (out.open()) fds[n] = {out.fd, POLLIN, 0}, owners[n++] = &out;
        if (err.open()) fds[n] = {err.fd, POLLIN, 0}, owners[n++] = &err;
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - now_ms();
            if (left <= 0) return false;
            wait = int(left);
        }
        int ready = poll(fds, nfds_t(n), wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) continue;
        for (int i = 0; i < n; i++) {
            if (!fds[i].revents) continue;
            Fd& f = *owners[i];
            if (&f == &in) {
                ssize_t w = ::write(f.fd, input, size_t(std::min<int64_t>(input_size, 65536)));
                if (w > 0) input += w, input_size -= w;
                else if (w < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (w <= 0 || input_size == 0) f.reset();
                continue;
            }
            Capture& c = &f == &out ? out_cap : err_cap;
            int64_t room = 0;
            uint8_t* p = c.room(room);
            ssize_t r = ::read(f.fd, p, size_t(room));
            if (r > 0) c.got(r);
            else if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            else f.reset();
        }
    }
    return true;
}

// The exit status, or 128 + the signal that ended the child.
int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// ---- Starting the child -----------------------------------------------------------------

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        // The run-time ignores SIGPIPE, and an ignored signal stays ignored
        // across exec: the child gets the usual dispositions back.
        sigset_t defaults, empty;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        sigemptyset(&empty);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &empty);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

int spawn(std::vector<std::string>& args, SpawnSetup& setup, pid_t& pid) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
}

std::vector<std::string> through_shell(const std::string& command) { return {"/bin/sh", "-c", command}; }

// How one redirected value reaches the child: bytes to write or a capture,
// or a file.
bool is_file(const Cell* value) { return value && type_of(value) == TYPE_FILE; }
bool is_data(const Cell* value) { return value && type_of(value) != TYPE_FILE; }

// Output and error files are appended to, created when missing.
int open_append(Cell* file) {
    const char* path = file::to_os_path(file);
    int fd;
    do fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

struct Outputs {
    Capture out, err;
};

// Starts the child and serves it: the exit status (waiting), the pid, or
// -1 when it could not be started.
int64_t start(const std::string& command, bool as_file, bool wait, bool console, bool shell, Cell* in, Cell* out,
              Cell* err, Outputs& captured) {
    g_shell_error = false;
    g_shell_used = shell;
    std::vector<std::string> args;
    if (shell) args = through_shell(command);
    else if (as_file) args = {command.find('/') == std::string::npos ? "./" + command : command};  // no PATH search
    else if (!split_arguments(command, args) || args.empty()) return -1;

    SpawnSetup setup;
    Fd null_device, in_child, in_parent, out_child, out_parent, err_child, err_parent;
    const uint8_t* input = nullptr;
    int64_t input_size = 0;

    auto need_null = [&]() {
        if (!null_device.open()) {
            null_device.reset(::open("/dev/null", O_RDWR | O_CLOEXEC));
            if (null_device.open() && !lift_above_standard(null_device)) null_device.reset();
        }
        return null_device.open();
    };

    // Input: a file read from, or a pipe fed from the data; otherwise the
    // parent's own.
    if (is_file(in)) {
        in_child.reset(::open(file::to_os_path(in), O_RDONLY | O_CLOEXEC));
        if (!in_child.open() || !lift_above_standard(in_child)) return -1;
    } else if (is_data(in)) {
        if (!make_pipe(in_parent, in_child, false)) return -1;
    }
    if (in_child.open()) posix_spawn_file_actions_adddup2(&setup.actions, in_child.fd, 0);

    // Output and error: a file appended to (the null device when it cannot
    // be opened), a pipe to capture, the parent's own with /console, else
    // the null device.
    struct Stream {
        Cell* value;
        Fd& child;
        Fd& parent;
        int number;
    } streams[2] = {{out, out_child, out_parent, 1}, {err, err_child, err_parent, 2}};
    for (Stream& s : streams) {
        if (is_file(s.value)) {
            s.child.reset(open_append(s.value));
            if (s.child.open() && !lift_above_standard(s.child)) s.child.reset();
        } else if (is_data(s.value)) {
            if (!make_pipe(s.parent, s.child, true)) return -1;
        } else if (console) {
            continue;
        }
        int fd = s.child.open() ? s.child.fd : need_null() ? null_device.fd : -1;
        if (fd < 0) return -1;
        posix_spawn_file_actions_adddup2(&setup.actions, fd, s.number);
    }

    pid_t pid = 0;
    int failure = spawn(args, setup, pid);
    if (failure == ENOENT && !shell) {
        g_shell_used = true;
        args = through_shell(command);
        failure = spawn(args, setup, pid);
    }
    if (failure != 0) return -1;

    // The child holds its ends now: the parent's copies must go, or the
    // pipes never report their end.
    in_child.reset();
    out_child.reset();
    err_child.reset();
    null_device.reset();

    bool waiting = wait || console || in || out || err;
    if (!waiting) {
        reap_when_done(pid);
        return pid;
    }
    if (in_parent.open()) {
        // Taken last: no allocation may come between this and the writing.
        if (type_of(in) == TYPE_BINARY) {
            input = binary::head(in);
            input_size = binary::length_q(in);
        } else {
            int limit = -1;
            input = reinterpret_cast<const uint8_t*>(unicode::to_utf8(in, limit));
            input_size = limit;
        }
    }
    serve(in_parent, input, input_size, out_parent, captured.out, err_parent, captured.err);
    int status = wait_for(pid);
    g_shell_error = g_shell_used && captured.err.size > 0;
    return status;
}

// Captured bytes into the target at its head: raw into a binary, decoded
// as UTF-8 text into a string (a byte-order mark skipped, CR LF and lone CR
// turned into LF, malformed sequences into U+FFFD).
void deliver(Cell* target, const Capture& c) {
    if (!target || type_of(target) == TYPE_FILE || c.size == 0) return;
    if (type_of(target) == TYPE_BINARY) {
        binary::insert_bytes(target, 0, c.data, c.size);
        return;
    }
    std::vector<uint8_t> mended;
    const uint8_t* bytes = c.data;
    int64_t n = c.size;
    if (replace_malformed_utf8(bytes, n, mended)) bytes = mended.data(), n = int64_t(mended.size());
    ensure_scratch();
    g_scratch.data2 = unicode::load_utf8_buffer(bytes, n, g_scratch.data2, nullptr, true);
    string::concatenate(target, &g_scratch, -1, 0, true, string::CONCAT_INSERT);
    if (string::buffer_of(&g_scratch)->capacity > SCRATCH_UNITS * 4) string::make_at(&g_scratch, SCRATCH_UNITS);
}

void run(Cell* cmd, bool wait, bool /*show: no windows here*/, bool console, bool shell, Cell* in, Cell* out,
         Cell* err, Cell* result) {
    reap_all();
    int limit = -1;
    std::string command = unicode::to_utf8(cmd, limit);
    Outputs captured;
    int64_t status = start(command, type_of(cmd) == TYPE_FILE, wait, console, shell, in, out, err, captured);
    // The child is reaped by now: a capture past the limit can be reported.
    if (captured.out.overflow || captured.err.overflow) fire(ERR_internal_no_memory);
    deliver(out, captured.out);
    deliver(err, captured.err);
    integer::make_at(result, int32_t(status));
}

}  // namespace

void reap_when_done(pid_t pid) { reap_pid_when_done(pid); }

int run_tool(const std::vector<std::string>& arguments, const std::string& input, std::string* output,
             int timeout_ms) {
    std::vector<std::string> args = arguments;
    SpawnSetup setup;
    Fd in_parent, in_child, out_parent, out_child, err_parent;
    Capture out_capture, err_capture;
    if (!make_pipe(in_parent, in_child, false)) return -1;
    posix_spawn_file_actions_adddup2(&setup.actions, in_child.fd, 0);
    // A tool that keeps serving after it answered (xclip, wl-copy) holds
    // only the null device, never a pipe this side would wait on.
    if (output) {
        if (!make_pipe(out_parent, out_child, true)) return -1;
        posix_spawn_file_actions_adddup2(&setup.actions, out_child.fd, 1);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (spawn(args, setup, pid) != 0) return -1;
    in_child.reset();
    out_child.reset();
    int64_t deadline = now_ms() + timeout_ms;
    bool served = serve(in_parent, reinterpret_cast<const uint8_t*>(input.data()), int64_t(input.size()), out_parent,
                        out_capture, err_parent, err_capture, deadline);
    int status = 0;
    for (;;) {
        pid_t done = served ? waitpid(pid, &status, WNOHANG) : 0;
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return -1;
        if (!served || now_ms() >= deadline) {
            kill(pid, SIGKILL);
            wait_for(pid);
            return -1;
        }
        usleep(2000);
    }
    if (output && out_capture.data) output->assign(reinterpret_cast<const char*>(out_capture.data), size_t(out_capture.size));
    if (out_capture.overflow) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

void init() {
    collector::add_mark_callback(mark_scratch, "call's scratch string");
    string::make_at(&g_scratch, SCRATCH_UNITS);
    workers::g_call = run;
}

bool shell_used_q() { return g_shell_used; }
bool shell_error_q() { return g_shell_error; }

int64_t set_capture_limit(int64_t bytes) {
    int64_t previous = g_capture_limit;
    g_capture_limit = bytes;
    return previous;
}

bool split_arguments(const std::string& line, std::vector<std::string>& out) {
    out.clear();
    size_t i = 0, n = line.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (i < n) {
        while (i < n && blank(line[i])) i++;
        if (i == n) break;
        std::string arg;
        while (i < n && !blank(line[i])) {
            char c = line[i++];
            if (c == '\'') {
                size_t close = line.find('\'', i);
                if (close == std::string::npos) return false;
                arg.append(line, i, close - i);
                i = close + 1;
            } else if (c == '"') {
                for (;;) {
                    if (i == n) return false;
                    char d = line[i++];
                    if (d == '"') break;
                    if (d == '\\' && i < n && std::strchr("\"\\$`", line[i])) d = line[i++];
                    arg += d;
                }
            } else if (c == '\\') {
                if (i < n) arg += line[i++];
            } else {
                arg += c;
            }
        }
        out.push_back(std::move(arg));
    }
    return true;
}

void make_lenient_string(Cell* cell, const uint8_t* p, int64_t n) {
    std::vector<uint8_t> clean;
    if (replace_malformed_utf8(p, n, clean)) {
        p = clean.data();
        n = int64_t(clean.size());
    }
    string::make_from_utf8(cell, p, n);
}

bool replace_malformed_utf8(const uint8_t* p, int64_t n, std::vector<uint8_t>& out) {
    static const uint8_t REPLACEMENT[3] = {0xEF, 0xBF, 0xBD};
    const uint8_t* end = p + n;
    const uint8_t* clean = p;  // first byte not yet copied
    bool changed = false;
    while (p < end) {
        uint64_t word;  // eight ASCII bytes at a time, the common case
        if (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ull) == 0)) {
            p += 8;
            continue;
        }
        if (*p < 0x80) {
            p++;
            continue;
        }
        int32_t cp = 0;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, cp, end);
        if (cp >= 0) {
            p = next;
            continue;
        }
        if (!changed) out.reserve(size_t(n) + 16), changed = true;
        out.insert(out.end(), clean, p);
        out.insert(out.end(), REPLACEMENT, REPLACEMENT + 3);
        // A byte that broke the sequence without being a continuation byte
        // may begin the next character.
        bool keep_last = next - p > 1 && (next[-1] & 0xC0) != 0x80;
        p = keep_last ? next - 1 : next;
        clean = p;
    }
    if (!changed) return false;
    out.insert(out.end(), clean, end);
    return true;
}

}  // namespace zel::call
