// Start-up as a whole process: the outermost catch and the status each way
// of ending gives, damaged boot images, and zel itself on a script with
// arguments, with --catch, and on piped input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
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

TEST(ZelProgram, QuitEndsWithItsStatusFromTheConsole) {
    ChildResult r = run_zel({}, "print 1\nquit/return 3\nprint 2\n");
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.out.find("1\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("2\n"), std::string::npos) << r.out;
    r = run_zel({}, "");
    EXPECT_EQ(r.status, 0) << r.out;
}

}  // namespace
}  // namespace zel::test
