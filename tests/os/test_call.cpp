// call's worker from inside: argument splitting, mending malformed UTF-8,
// the shell flags, megabytes through all three streams at once, children
// not waited for leaving no zombie, descriptors closed on every path, and
// the capture limit. (Behaviour seen from Zel: tests/cases/call.cases.)
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os/call.h"
#include "tests/support/boot_env.h"
#include "tests/support/eval_env.h"

using namespace zel;

namespace {

// As the run-time's start-up does: a child that stops reading its input
// must not end the writer.
[[maybe_unused]] const bool g_sigpipe_ignored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// This process's children that ended and were not reaped.
int zombie_children() {
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    std::string me = std::to_string(getpid());
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (name) state ppid ...: the name may hold blanks, so read after
        // its closing parenthesis.
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (state == "Z" && ppid == me) count++;
    }
    closedir(proc);
    return count;
}

// Waits (without a time assertion: the children just have to end) until no
// zombie child is left, or a generous deadline passes.
int zombies_after_children_end() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int zombies = zombie_children();
    while (zombies != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        zombies = zombie_children();
    }
    return zombies;
}

int open_descriptors() {
    int count = 0;
    DIR* d = opendir("/proc/self/fd");
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') count++;
    closedir(d);
    return count - 1;  // the listing's own
}

std::string eval(const std::string& code) { return test::eval(code); }

}  // namespace

TEST(Call, SplitsArgumentsLikeAShell) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"ls -l  /tmp", {"ls", "-l", "/tmp"}},
        {"  lead\ttab\nline  ", {"lead", "tab", "line"}},
        {"a 'b c' \"d e\"", {"a", "b c", "d e"}},
        {"'it''s' x\"y\"z", {"its", "xyz"}},
        {"'' \"\"", {"", ""}},
        {R"(a\ b c\\d \'q)", {"a b", "c\\d", "'q"}},
        {R"("x\"y" "\$v" "\n" 'a\b')", {"x\"y", "$v", "\\n", "a\\b"}},
        {"é€ 😀", {"é€", "😀"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out;
        EXPECT_TRUE(call::split_arguments(c.line, out)) << c.line;
        EXPECT_EQ(out, c.args) << c.line;
    }
    for (const char* bad : {"'open", "\"open", "a \"b\\\""}) {
        std::vector<std::string> out;
        EXPECT_FALSE(call::split_arguments(bad, out)) << bad;
    }
}

TEST(Call, MendsMalformedUtf8) {
    const std::string R = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"a\xFF" "b", "a" + R + "b"},
        {"\x80", R},
        {"x\xE2\x82", "x" + R},               // cut short at the end: one mark
        {"\xE2(\xA1", R + "(" + R},           // the breaking byte starts anew
        {"\xC0\xAF", R + R},                  // overlong: refused by the automaton
        {"\xED\xA0\x80z", R + R + "z"},       // a surrogate
        {"\xF4\x90\x80\x80", R + R + R},      // above U+10FFFF
    };
    for (const auto& [in, expected] : cases) {
        std::vector<uint8_t> out;
        EXPECT_TRUE(call::replace_malformed_utf8(reinterpret_cast<const uint8_t*>(in.data()), int64_t(in.size()), out))
            << in;
        EXPECT_EQ(std::string(out.begin(), out.end()), expected) << in;
    }
    for (std::string good : {"", "plain", "é€😀\r\n", "\xEF\xBB\xBF" "bom"}) {
        std::vector<uint8_t> out;
        EXPECT_FALSE(
            call::replace_malformed_utf8(reinterpret_cast<const uint8_t*>(good.data()), int64_t(good.size()), out))
            << good;
    }
}

TEST(Call, ShellFlagsOfTheLastCall) {
    test::boot_environment();
    struct Case {
        const char* code;
        const char* result;
        bool used, error;
    };
    const Case cases[] = {
        {"call/wait \"true\"", "0", false, false},
        {"call/wait/shell \"exit 0\"", "0", true, false},
        {"call/wait/shell/error \"echo oops >&2\" copy \"\"", "0", true, true},
        {"call/wait/error \"sh -c 'echo oops >&2'\" copy \"\"", "0", false, false},
        {"call/wait \"no-such-program-for-zel\"", "127", true, false},
        {"call/wait/error \"no-such-program-for-zel\" copy \"\"", "127", true, true},
        {"call/wait \"true\"", "0", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(eval(c.code), c.result) << c.code;
        EXPECT_EQ(call::shell_used_q(), c.used) << c.code;
        EXPECT_EQ(call::shell_error_q(), c.error) << c.code;
    }
}

// A megabyte in, and a megabyte out on each of stdout and stderr while the
// input is still being written: the single poll loop serves all three.
TEST(Call, MegabytesThroughAllStreamsAtOnce) {
    test::boot_environment();
    eval("big: append/dup copy \"\" \"0123456789abcde^/\" 65536");
    EXPECT_EQ(eval("out: copy \"\" err: copy \"\" call/input/output/error \"tee /dev/stderr\" big out err"), "0");
    EXPECT_EQ(eval("reduce [length? out out = big err = big]"), "[1048576 true true]");
    // stderr filled first, before the child reads anything.
    EXPECT_EQ(eval("out: copy #{} err: copy #{} call/input/output/error {sh -c 'head -c 1048576 /dev/zero >&2; cat'} "
                   "big out err"),
              "0");
    EXPECT_EQ(eval("reduce [length? out length? err]"), "[1048576 1048576]");
    // A shell loop writing both streams line by line.
    EXPECT_EQ(eval("out: copy \"\" err: copy \"\" call/output/error {sh -c 'i=0; while [ $i -lt 16384 ]; do echo "
                   "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopq; echo "
                   "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopq >&2; i=$((i+1)); done'} out err"),
              "0");
    EXPECT_EQ(eval("reduce [length? out length? err]"), "[1048576 1048576]");
    eval("big: out: err: none");
}

// A child that never reads its input, or that dies while it is fed.
TEST(Call, ChildThatStopsReadingEndsTheWriting) {
    test::boot_environment();
    eval("big: append/dup copy #{} #{00} 4194304");
    EXPECT_EQ(eval("call/input \"true\" big"), "0");
    EXPECT_EQ(eval("call/input/output \"head -c 3\" big copy #{}"), "0");
    EXPECT_EQ(eval("call/input {sh -c 'kill -9 $$'} big"), "137");
    eval("big: none");
}

TEST(Call, ChildrenNotWaitedForLeaveNoZombie) {
    test::boot_environment();
    for (int i = 0; i < 300; i++) ASSERT_EQ(eval("0 < call \"true\""), "true") << i;
    EXPECT_EQ(zombies_after_children_end(), 0);
    // A waited call after them still gets its own child's status.
    EXPECT_EQ(eval("call/wait \"sh -c 'exit 6'\""), "6");
}

TEST(Call, DescriptorsClosedOnEveryPath) {
    test::boot_environment();
    int before = open_descriptors();
    const char* codes[] = {
        "call/wait \"true\"",
        "call/input/output/error \"cat\" \"x\" copy \"\" copy \"\"",
        "call/input \"cat\" %/no/such/folder/in.txt",
        "call/input/output/error \"no-such-program-for-zel\" \"x\" copy \"\" copy \"\"",
        "call/input/output {echo \"unclosed} \"x\" copy \"\"",
        "call/output \"echo lost\" %/no/such/folder/out.txt",
        "call/console \"true\"",
    };
    for (const char* code : codes) {
        eval(code);
        EXPECT_EQ(open_descriptors(), before) << code;
    }
}

// Output past the limit raises internal no-memory once the child is reaped.
TEST(Call, CaptureBeyondTheLimitRaisesNoMemory) {
    test::boot_environment();
    int64_t saved = call::set_capture_limit(10000);
    EXPECT_EQ(eval("call/output \"head -c 100000 /dev/zero\" copy #{}"), "error internal/no-memory");
    EXPECT_EQ(eval("call/error {sh -c 'head -c 100000 /dev/zero >&2'} copy \"\""), "error internal/no-memory");
    EXPECT_EQ(eval("out: copy #{} call/output \"head -c 10000 /dev/zero\" out length? out"), "10000");
    call::set_capture_limit(saved);
    EXPECT_EQ(zombie_children(), 0);
}
