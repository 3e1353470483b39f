// The pty harness: forkpty, a poll loop feeding libvterm, and the screen
// read back cell by cell.
#include "tests/pty/pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "foundation/utf8.h"

namespace zel::pty {

namespace {

using Clock = std::chrono::steady_clock;

void append_utf8(std::string& out, uint32_t cp) {
    uint8_t bytes[4];
    int n = utf8::encode_shortest(cp, bytes);
    out.append(reinterpret_cast<const char*>(bytes), size_t(n));
}

int decode_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

Session::Session(const std::vector<std::string>& argv, int columns, int rows,
                 const std::function<void(const std::string&)>& prepare,
                 std::chrono::milliseconds hard_timeout)
    : columns_(columns), rows_(rows) {
    hard_deadline_ = Clock::now() + hard_timeout;
    char folder[] = "/tmp/zel-pty-XXXXXX";
    if (!mkdtemp(folder)) return;
    home_ = folder;
    if (prepare) prepare(home_);

    // The terminal's mode as a user's shell leaves it: canonical input with
    // echo and signal keys, CR read as LF, output processing on.
    termios mode{};
    cfmakeraw(&mode);
    mode.c_iflag = ICRNL | IXON | IUTF8;
    mode.c_oflag = OPOST | ONLCR;
    mode.c_cflag = CS8 | CREAD;
    mode.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
    mode.c_cc[VINTR] = 3;
    mode.c_cc[VEOF] = 4;
    mode.c_cc[VERASE] = 127;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    cfsetispeed(&mode, B38400);
    cfsetospeed(&mode, B38400);
    winsize size{};
    size.ws_col = uint16_t(columns);
    size.ws_row = uint16_t(rows);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = forkpty(&master_, nullptr, &mode, &size);
    if (pid < 0) return;
    if (pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        setenv("HOME", folder, 1);
        unsetenv("COLUMNS");
        unsetenv("LINES");
        if (chdir(folder) != 0) _exit(126);
        execv(args[0], args.data());
        _exit(127);
    }
    pid_ = pid;
    tcgetattr(master_, &initial_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    vt_ = vterm_new(rows, columns);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
}

Session::~Session() {
    kill_child();
    if (vt_) vterm_free(vt_);
    if (master_ >= 0) close(master_);
    if (!home_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
}

void Session::kill_child() {
    if (pid_ <= 0 || ended_) return;
    kill(pid_, SIGKILL);
    int status;
    if (waitpid(pid_, &status, 0) == pid_) status_ = decode_status(status);
    ended_ = true;
}

void Session::pump(std::chrono::milliseconds wait) {
    if (master_ < 0) return;
    if (Clock::now() > hard_deadline_) kill_child();
    // Never negative: poll would wait for ever.
    int timeout = int(std::max<int64_t>(0, wait.count()));
    for (;;) {
        pollfd p = {master_, POLLIN, 0};
        int r = poll(&p, 1, timeout);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        char buffer[4096];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return;  // EIO once the child's side is closed
        vterm_input_write(vt_, buffer, size_t(n));
        // What the screen answers (cursor reports) goes back to the child.
        char reply[256];
        size_t k;
        while ((k = vterm_output_read(vt_, reply, sizeof reply)) > 0) {
            size_t done = 0;
            while (done < k) {
                ssize_t w = write(master_, reply + done, k - done);
                if (w < 0 && errno == EINTR) continue;
                if (w < 0 && errno == EAGAIN && Clock::now() < hard_deadline_) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                if (w <= 0) break;
                done += size_t(w);
            }
        }
        timeout = 0;
    }
}

void Session::type(const std::string& keys, std::chrono::milliseconds pause) {
    size_t done = 0;
    while (done < keys.size() && master_ >= 0) {
        ssize_t w = write(master_, keys.data() + done, keys.size() - done);
        if (w < 0 && (errno == EINTR || errno == EAGAIN) && Clock::now() < hard_deadline_) {
            pump(std::chrono::milliseconds(5));
            continue;
        }
        if (w <= 0) break;
        done += size_t(w);
    }
    auto until = Clock::now() + pause;
    while (Clock::now() < until)
        pump(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
}

bool Session::wait_until(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    auto until = Clock::now() + deadline;
    for (;;) {
        pump(std::chrono::milliseconds(0));
        if (done()) return true;
        if (Clock::now() >= until) return false;
        pump(std::chrono::milliseconds(20));
    }
}

bool Session::wait_for(const std::string& text, std::chrono::milliseconds deadline) {
    return wait_until([&] { return screen().find(text) != std::string::npos; }, deadline);
}

int Session::wait_exit(std::chrono::milliseconds deadline) {
    if (pid_ <= 0) return -1;
    auto until = Clock::now() + deadline;
    while (!ended_) {
        int status;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = decode_status(status);
            ended_ = true;
            break;
        }
        if (Clock::now() >= until) {
            kill_child();
            return -1;
        }
        pump(std::chrono::milliseconds(20));
    }
    pump(std::chrono::milliseconds(0));
    return status_;
}

std::vector<Cell> Session::cells(int r) const {
    std::vector<Cell> out;
    for (int c = 0; c < columns_; c++) {
        VTermScreenCell cell;
        VTermPos pos = {r, c};
        Cell one;
        if (vterm_screen_get_cell(screen_, pos, &cell)) {
            for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i]; i++)
                append_utf8(one.text, cell.chars[i]);
            one.width = cell.width;
            one.bold = cell.attrs.bold;
            one.reverse = cell.attrs.reverse;
            one.underline = cell.attrs.underline != 0;
            one.coloured = !VTERM_COLOR_IS_DEFAULT_FG(&cell.fg);
        }
        out.push_back(one);
        if (one.width == 2) c++;
    }
    return out;
}

std::string Session::row(int r) const {
    std::string text;
    for (const Cell& c : cells(r)) text += c.text.empty() ? std::string(" ") : c.text;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::vector<std::string> Session::rows() const {
    std::vector<std::string> all;
    for (int r = 0; r < rows_; r++) all.push_back(row(r));
    return all;
}

std::string Session::screen() const {
    std::string all;
    for (int r = 0; r < rows_; r++) all += row(r) + "\n";
    return all;
}

int Session::cursor_row() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.row;
}

int Session::cursor_column() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.col;
}

void Session::resize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    vterm_set_size(vt_, rows, columns);
    winsize size{};
    size.ws_col = uint16_t(columns);
    size.ws_row = uint16_t(rows);
    ioctl(master_, TIOCSWINSZ, &size);
}

bool Session::mode_restored() const {
    termios now{};
    if (tcgetattr(master_, &now) != 0) return false;
    return now.c_iflag == initial_.c_iflag && now.c_oflag == initial_.c_oflag &&
           now.c_lflag == initial_.c_lflag &&
           std::memcmp(now.c_cc, initial_.c_cc, sizeof now.c_cc) == 0;
}

}  // namespace zel::pty
