// A program run on a pseudo-terminal whose screen is emulated: the tests'
// way to see what a user sees. The child is started under forkpty at a
// chosen size with TERM=xterm-256color and HOME set to a fresh temporary
// folder (also its working folder); everything it writes is fed into a
// libvterm screen, and the screen's own answers (cursor-position reports)
// go back to the child as a terminal's would.
//
// Tests type keys (a short pause after each step, so that the program sees
// them as separate reads), wait for text on the screen with a deadline,
// read rows with their attributes, and after the child has ended check that
// the terminal's mode is as it was before it started. A child still running
// at the hard timeout, or when the session ends, is killed.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace zel::pty {

// One cell of the screen.
struct Cell {
    std::string text;  // UTF-8 of the character ("" for an empty cell)
    int width = 1;
    bool bold = false, reverse = false, underline = false;
    bool coloured = false;  // a foreground colour other than the default
};

class Session {
  public:
    // Starts `argv` (argv[0] the program) in `columns` x `rows` cells;
    // `prepare`, when given, is called with the home folder first. The hard
    // timeout counts from here.
    Session(const std::vector<std::string>& argv, int columns, int rows,
            const std::function<void(const std::string&)>& prepare = nullptr,
            std::chrono::milliseconds hard_timeout = std::chrono::seconds(60));
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& home() const { return home_; }

    // Writes bytes as typed keys, then lets the program take them (the
    // pause, during which output is still taken in).
    void type(const std::string& keys,
              std::chrono::milliseconds pause = std::chrono::milliseconds(60));
    // Waits until the predicate holds for the screen, or the deadline; the
    // answer is whether it held.
    bool wait_until(const std::function<bool()>& done,
                    std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Waits for the text to show anywhere on the screen.
    bool wait_for(const std::string& text,
                  std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Waits for the child to end: its exit status (128 + n for a signal), or
    // -1 when it did not end by the deadline (it is then killed).
    int wait_exit(std::chrono::milliseconds deadline = std::chrono::seconds(10));

    // The screen: one row's text (trailing blanks dropped), every row, the
    // cells of a row, the cursor (row, column from 0).
    std::string row(int r) const;
    std::vector<std::string> rows() const;
    std::string screen() const;  // the rows joined with line feeds, for failure messages
    std::vector<Cell> cells(int r) const;
    int cursor_row() const;
    int cursor_column() const;
    int columns() const { return columns_; }
    int rows_count() const { return rows_; }

    // A new window size: the terminal's and the emulated screen's.
    void resize(int columns, int rows);

    // After the child ended: whether the terminal's mode is the one it had
    // before the child started.
    bool mode_restored() const;

    // Takes in whatever output is waiting (at most `wait` for the first).
    void pump(std::chrono::milliseconds wait);

  private:
    void kill_child();
    pid_t pid_ = -1;
    int master_ = -1;
    int status_ = -1;
    bool ended_ = false;
    int columns_, rows_;
    std::string home_;
    termios initial_{};
    std::chrono::steady_clock::time_point hard_deadline_;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
};

}  // namespace zel::pty
