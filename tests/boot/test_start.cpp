// Start-up as a whole process: the outermost catch and the status each way
// of ending gives, damaged boot images, and zel itself on a script with
// arguments, with --catch, and on piped input; zel writing into a pipe that
// closes, interrupted, and reading standard input as a file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/child_process.h"

namespace zel::test {
namespace {

struct ModeCase {
    const char* mode;
    int status;
    const char* output;  // a part of standard output
};

TEST(OutermostCatch, StatusOfEachWayOfEnding) {
    const ModeCase cases[] = {
        {"boot-status", 7, ""},
        {"boot-quit-throw", 0, ""},
        {"boot-other-throw", 95, "*** Runtime Error 95: no CATCH for THROW"},
        {"boot-error", 254, "*** Math Error: attempt to divide by zero"},
    };
    for (const ModeCase& c : cases) {
        ChildResult r = run_helper(c.mode);
        EXPECT_EQ(r.status, c.status) << c.mode << "\n" << r.out;
        EXPECT_NE(r.out.find(c.output), std::string::npos) << c.mode << "\n" << r.out;
    }
}

TEST(BootImage, ADamagedImageEndsTheProcessWithAFailureStatus) {
    for (const char* mode : {"boot-bad-header", "boot-truncated"}) {
        ChildResult r = run_helper(mode);
        EXPECT_NE(r.status, 0) << mode << "\n" << r.out;
        EXPECT_GT(r.status, 0) << mode << ": ended by a signal\n" << r.out;
        EXPECT_FALSE(r.out.empty()) << mode << ": no reason given";
    }
}

// ---- zel itself -----------------------------------------------------------------------------

// zel with the arguments, standard input from the text, in a fresh folder.
ChildResult run_zel(const std::vector<std::string>& args, const std::string& input = "") {
    char dir[] = "/tmp/zel-start-XXXXXX";
    if (!mkdtemp(dir)) return {-1, ""};
    std::string in_path = std::string(dir) + "/stdin", out_path = std::string(dir) + "/stdout";
    std::ofstream(in_path, std::ios::binary) << input;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir) != 0) _exit(126);
        setenv("HOME", dir, 1);
        freopen(in_path.c_str(), "rb", stdin);
        freopen(out_path.c_str(), "wb", stdout);
        std::vector<char*> argv{const_cast<char*>(ZEL_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZEL_BINARY, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream f(out_path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    std::string command = std::string("rm -rf ") + dir;
    (void)std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ss.str()};
}

// A script file in the temporary folder, named by its absolute path; the
// process id keeps test runs side by side (several builds) apart.
std::string script_file(const char* name, const std::string& text) {
    std::string path = "/tmp/" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(ZelProgram, ScriptArgumentsReachTheSystemObject) {
    std::string path = script_file("zel-start-args.zel",
                                   "Zel []\nprint mold system/script/args\nprint mold system/options/args\n");
    ChildResult r = run_zel({path, "one", "two words"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "{one \"two words\"}\n[\"one\" \"two words\"]\n");
    r = run_zel({path});
    EXPECT_EQ(r.out, "none\n[]\n");
    unlink(path.c_str());
}

TEST(ZelProgram, TheFactsOfThePlatformAndTheBuild) {
    std::string path = script_file("zel-start-facts.zel",
                                   "Zel []\n"
                                   "print [system/platform system/build/config/format system/build/config/target]\n"
                                   "print [tuple? system/version  file? system/options/path]\n"
                                   "print system/options/cache\n"
                                   "print [object? system/console  type? :_boot-routine  type? :_boot-class]\n");
    ChildResult r = run_zel({path});
    EXPECT_EQ(r.status, 0) << r.out;
    // HOME is the folder zel runs in: the cache folder is .zel/ there.
    EXPECT_EQ(r.out.substr(0, 31), "Linux ELF x86-64\ntrue true\n/tmp") << r.out;
    EXPECT_NE(r.out.find("/.zel/\ntrue unset unset\n"), std::string::npos) << r.out;
    unlink(path.c_str());
}

TEST(ZelProgram, AFailedScriptWithCatchLeavesTheConsoleRunning) {
    std::string path = script_file("zel-start-catch.zel", "Zel []\nprint \"before\"\n1 / 0\n");
    ChildResult r = run_zel({"--catch", path}, "print 40 + 2\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("before\n*** Math Error: attempt to divide by zero"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("42\n"), std::string::npos) << r.out;
    r = run_zel({path}, "print 40 + 2\n");
    EXPECT_EQ(r.status, 254) << r.out;
    EXPECT_EQ(r.out.find("42"), std::string::npos) << r.out;
    unlink(path.c_str());
}

// A directive that fails stops the script before it runs: its message and
// "(halted)", then the console's loop with --catch, status 0 without.
TEST(ZelProgram, AFailedExpansionWithCatchLeavesTheConsoleRunning) {
    std::string path = script_file("zel-start-expand.zel", "Zel []\nprint \"body\"\n#if true\n");
    ChildResult r = run_zel({"--catch", path}, "print 40 + 2\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("*** Preprocessor Error: Syntax error\n*** Where: #if true\n(halted)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("42\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("body"), std::string::npos) << r.out;
    r = run_zel({path}, "print 40 + 2\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("42"), std::string::npos) << r.out;
    unlink(path.c_str());
}

TEST(ZelProgram, QuitEndsWithItsStatusFromTheConsole) {
    ChildResult r = run_zel({}, "print 1\nquit/return 3\nprint 2\n");
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.out.find("1\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("2\n"), std::string::npos) << r.out;
    r = run_zel({}, "");
    EXPECT_EQ(r.status, 0) << r.out;
}

// A folder where the settings file goes makes every save fail, even for
// root: quit still ends with its status, from a script and from the console.
TEST(ZelProgram, QuitKeepsItsStatusWhenTheSettingsCannotBeSaved) {
    const std::string block = "make-dir/deep append copy cli-console-ctx/settings/cfg-path \"/\"\n";
    std::string path = script_file("zel-start-quit-cfg.zel", "Zel []\n" + block + "print 1\nquit/return 5\nprint 2\n");
    for (const auto& [args, input, status] :
         std::vector<std::tuple<std::vector<std::string>, std::string, int>>{
             {{path}, "", 5}, {{}, block + "print 1\nquit/return 7\nprint 2\n", 7}, {{}, block + "print 1\nq\n", 0}}) {
        ChildResult r = run_zel(args, input);
        EXPECT_EQ(r.status, status) << r.out;
        EXPECT_NE(r.out.find("1\n*** Console settings not saved: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("2\n"), std::string::npos) << r.out;
    }
    unlink(path.c_str());
}

// ---- zel on pipes and signals ----------------------------------------------------------------

// zel with the arguments, its standard input and output on the descriptors
// given (closed here in the parent).
pid_t spawn_zel(const std::vector<std::string>& args, int in, int out) {
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        std::vector<char*> argv{const_cast<char*>(ZEL_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZEL_BINARY, argv.data());
        _exit(127);
    }
    close(in);
    close(out);
    return pid;
}

int dev_null() { return open("/dev/null", O_RDONLY | O_CLOEXEC); }

// Reads from the descriptor until `text` has arrived or the output ends
// (with no text: to the end).
std::string read_until(int fd, const std::string& text) {
    std::string got;
    char chunk[256];
    while (text.empty() || got.find(text) == std::string::npos) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        got.append(chunk, size_t(n));
    }
    return got;
}

constexpr int STILL_RUNNING = -1000;

// The exit status (-signal when a signal ended it); a process still running
// after 20 seconds is killed and STILL_RUNNING answered.
int wait_status(pid_t pid) {
    for (int i = 0; i < 2000; i++) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return STILL_RUNNING;
}

// A reader that goes away ends the program at once, with the status of a
// death by SIGPIPE: `forever [print 1]` into `head -1` ends.
TEST(ZelPipes, OutputIntoAClosedPipeEndsTheProgramWith141) {
    std::string path = script_file("zel-pipe-forever.zel", "Zel []\nforever [print 1]\n");
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    pid_t pid = spawn_zel({path}, dev_null(), out[1]);
    EXPECT_EQ(read_until(out[0], "1\n").substr(0, 2), "1\n");
    close(out[0]);
    EXPECT_EQ(wait_status(pid), 141);
    unlink(path.c_str());
}

// Any other failed write to standard output ends it too, with a failure.
TEST(ZelPipes, AFailedWriteEndsTheProgramWithAFailure) {
    std::string path = script_file("zel-pipe-full.zel", "Zel []\nprint 1\nquit/return 0\n");
    pid_t pid = spawn_zel({path}, dev_null(), open("/dev/full", O_WRONLY | O_CLOEXEC));
    EXPECT_EQ(wait_status(pid), 1);
    unlink(path.c_str());
}

// Ctrl-C ends a running script with the status shells give an interrupted
// program: never a success.
TEST(ZelPipes, AnInterruptEndsTheProgramWith130) {
    std::string path = script_file("zel-interrupt.zel", "Zel []\nprint \"ready\"\nforever []\n");
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    pid_t pid = spawn_zel({path}, dev_null(), out[1]);
    EXPECT_EQ(read_until(out[0], "ready\n"), "ready\n");
    kill(pid, SIGINT);
    EXPECT_EQ(wait_status(pid), 130);
    close(out[0]);
    unlink(path.c_str());
}

// Standard input as a file: a pipe reports no size, and its bytes can be
// read only once.
TEST(ZelPipes, ReadingStandardInputFromAPipe) {
    struct Case {
        const char* code;
        const char* input;
        const char* output;
    };
    const Case cases[] = {
        {"print mold read %/dev/stdin", "hello\nworld", "\"hello^/world\"\n"},
        {"print mold read/lines %/dev/stdin", "a\r\nb\n", "[\"a\" \"b\"]\n"},
        {"print mold read/seek %/dev/stdin 3", "0123456", "\"3456\"\n"},
        {"print mold read/part %/dev/stdin 2 print mold read %/dev/stdin", "abcdef", "\"ab\"\n\"cdef\"\n"},
        {"print mold read %/dev/stdin", "", "\"\"\n"},
    };
    std::string path = script_file("zel-read-stdin.zel", "");
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary) << "Zel []\n" << c.code << "\n";
        int in[2], out[2];
        ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        ASSERT_EQ(write(in[1], c.input, strlen(c.input)), ssize_t(strlen(c.input)));
        close(in[1]);
        pid_t pid = spawn_zel({path}, in[0], out[1]);
        std::string got = read_until(out[0], "");
        close(out[0]);
        EXPECT_EQ(wait_status(pid), 0) << c.code;
        EXPECT_EQ(got, c.output) << c.code;
    }
    unlink(path.c_str());
}

}  // namespace
}  // namespace zel::test
