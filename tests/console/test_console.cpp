// The console's start-up pieces: paths and files, loading, transcode,
// component paths of pairs and tuples, and the console's gathering of
// multi-line input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "os/file.h"
#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

TEST(Paths, LocalNamesBecomeZelFiles) {
    expect_results({
        {"to-zel-file {D:\\Users\\x}", "%/D/Users/x"},
        {"to-zel-file {a\\\\b}", "%a/b"},
        {"to-zel-file {D:\\a:b}", "%D/a"},
        {"to-zel-file \"\"", "%\"\""},
        {"to-zel-file \"D:\"", "%/D/"},
        {"to-zel-file \"a/:b\"", "%a/"},
        {"to-zel-file {dir\\\\}", "%dir/"},
    });
}

TEST(Paths, SplitCleanAndSuffix) {
    expect_results({
        {"split-path %a/b/c.txt", "[%a/b/ %c.txt]"},
        {"split-path %a/b/", "[%a/ %b/]"},
        {"split-path %x", "[%./ %x]"},
        {"split-path %/", "[%/ none]"},
        {"split-path %..", "[%../ none]"},
        {"clean-path/only %a/../b", "%a/../b"},
        {"clean-path %/D/x/../y/", "%/D/y/"},
        {"clean-path/dir %/D/x", "%/D/x/"},
        {"clean-path %/D/w/a/../b/./c", "%/D/w/b/c"},
        {"suffix? %archive.tar.gz", "%.gz"},
        {"suffix? %noext", "none"},
        {"suffix? %a.b/c", "none"},
        {"reduce [dir? %a/ dir? %a dir? %\"\"]", "[true false false]"},
        {"dirize %\"\"", "%/"},
        {"%dir/ / \"x\"", "error script/expect-arg"},
        {"d: %dir/ d/file", "%dir/file"},
        {"d: %dir d/file", "%dir/file"},
    });
}

TEST(Loading, TextBecomesValues) {
    expect_results({
        {"load \"1\"", "1"},
        {"load \"1 2\"", "[1 2]"},
        {"load/all \"1\"", "[1]"},
        {"load \"\"", "[]"},
        {"load/part \"abc\" 0", "[]"},
        {"s: \"abc\" load/part s s", "[]"},
        {"load \"Zel [] print 1\"", "[Zel [] print 1]"},
        {"load/next \"1 2\" 'p", "1"},
        {"load/next \"1 2\" 'p p", "\" 2\""},
        {"load/all/next \"1 2\" 'p", "[1]"},
        {"load/as \"1\" 'foo", "error script/invalid-refine-arg"},
        {"load \"[1\"", "error syntax/missing"},
    });
}

TEST(Transcode, RefinementsChooseWhatComesBack) {
    expect_results({
        {"transcode \"1 2\"", "[1 2]"},
        {"transcode/next \"1 2\"", "[1 \" 2\"]"},
        {"transcode/one \"1 2\"", "1"},
        {"transcode/scan \"1 2\"", "integer!"},
        {"transcode/prescan \"\"", "none"},
        {"transcode/part \"1 2 3\" 3", "[1 2]"},
        {"b: [0] transcode/into \"1 2\" b b", "[0 1 2]"},
        {"s: \"abc\" transcode/part s at s 2", "error script/expect-arg"},
    });
}

// A throw out of the lexer's callback reaches its catch with its value:
// the arguments the scan had pushed for the callback stay under it.
TEST(Transcode, AThrowFromTheCallbackKeepsItsValue) {
    expect_results({
        {"catch [transcode/trace \"[1 2) \" func [event input type line token] [[close] throw 'stop]]",
         "stop"},
        {"catch [transcode/trace \"[1 (2\" func [event input type line token] [[error] throw reduce [type token]]]",
         "[paren! 4x6]"},
    });
}

TEST(ComponentPaths, PairsAndTuples) {
    expect_results({
        {"p: 10x20 reduce [p/x p/y p/1 p/2]", "[10 20 10 20]"},
        {"p: 10x20 p/x: 5 p", "5x20"},
        {"o: make object! [p: 1x2] o/p/y: 9 o/p", "1x9"},
        {"b: [1x2] b/1/x: 7 b", "[7x2]"},
        {"p: 1x2 p/z", "error script/invalid-path"},
        {"p: 1x2 p/3", "error script/invalid-path"},
        {"p: 1x2 p/x: 1.5", "error script/invalid-type"},
        {"t: 1.2.3 reduce [t/1 t/3]", "[1 3]"},
        {"t: 1.2.3 t/2: 300 t", "1.255.3"},
        {"t: 1.2.3.4 t/4: none t", "1.2.3"},
        {"t: 1.2.3 t/4", "error script/out-of-range"},
        {"t: 1.2.3 t/x", "error script/invalid-type"},
    });
}

// The state after each line given to eval-command: the pending buffer's
// delimiters, the mode and the next prompt's cue.
std::string after_lines(const std::string& lines) {
    return eval("c: system/console c/mode: 'mono c/cue: none clear c/buffer foreach l [" + lines +
                "] [c/eval-command l] reduce [c/mode c/cue]");
}

TEST(MultiLineInput, OpenDelimitersKeepReading) {
    expect_results(
        {
            {"\"[1 2\"", "[other \"[    \"]"},
            {"\"{\"", "[other \"{    \"]"},
            {"\"a/(\"", "[other \"(    \"]"},
            {"\"%{x\"", "[other \"{    \"]"},
            {"\"[1\" \"\"", "[other \"[    \"]"},
            {"\"\"", "[mono none]"},
        },
        after_lines);
}

TEST(Files, ReadingTextAndDirectories) {
    expect_results({
        {"type? read %" ZEL_SOURCE_DIR "/console/", "block!"},
        {"find read %" ZEL_SOURCE_DIR "/console/ %console.zel", "[%console.zel %input.zel %launch.cpp %launch.h %settings.zel %terminal.cpp %terminal.h]"},
        {"copy/part read %" ZEL_SOURCE_DIR "/console/console.zel 5", "\"Zel [\""},
        {"read %/no/such/file", "error access/cannot-open"},
        {"exists? %" ZEL_SOURCE_DIR "/console/", "true"},
        {"exists? %/no/such/file", "false"},
    });
}

// A pipe, a FIFO or a device reports no size: it is read to its end in
// chunks (its bytes can be read only once), and part and seek still apply.
TEST(Files, UnsizedFilesAreReadToTheirEnd) {
    expect_results({
        {"read/part %/dev/zero 3", "\"^@^@^@\""},
        {"length? read/seek/part %/dev/zero 100000 70000", "70000"},
        {"read/part %/dev/zero 0", "\"\""},
        {"read/lines/part %/dev/zero 0", "[]"},
        {"read %/dev/null", "\"\""},
    });
    char dir[] = "/tmp/zel-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string fifo = std::string(dir) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // More than a pipe holds at once, and more than one chunk.
    std::string bytes(200000, 'x');
    bytes.back() = 'y';
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        for (size_t done = 0; fd >= 0 && done < bytes.size();) {
            ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fd);
    });
    EXPECT_EQ(eval("s: read %" + fifo + " reduce [length? s pick tail s -1]"), "[200000 #\"y\"]");
    writer.join();
    unlink(fifo.c_str());
    rmdir(dir);
}

// No value holds more than SERIES_MAX_BYTES, so a file that goes on beyond
// that (read %/dev/zero) raises no-memory instead of reading for ever, and
// lets its buffer go. Shown with a smaller bound, over a pipe.
TEST(Files, AnUnsizedFileBeyondTheBoundRaisesNoMemory) {
    struct Case {
        const char* bytes;
        int64_t part, most;
        const char* result;
    };
    const Case cases[] = {
        {"abcdef", -1, 6, "\"abcdef\""},
        {"abcdef", -1, 5, "internal/no-memory"},
        {"abcdef", 4, 5, "\"abcd\""},
        {"abcdef", 9, 5, "internal/no-memory"},
        {"", -1, 0, "\"\""},
    };
    for (const Case& c : cases) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(write(fds[1], c.bytes, strlen(c.bytes)), ssize_t(strlen(c.bytes)));
        close(fds[1]);
        Cell result{TYPE_NONE, 0, 0, 0};
        gc::root keep(&result);
        size_t blocks = memory::heap_block_count();
        std::string raised = error_of([&] {
            EXPECT_TRUE(simple_io::read_descriptor(fds[0], c.part, -1, false, false, &result, c.most));
        });
        close(fds[0]);
        EXPECT_EQ(raised.empty() ? mold_of(result) : raised, c.result) << c.bytes << " " << c.most;
        EXPECT_EQ(memory::heap_block_count(), blocks) << c.bytes << " " << c.most;
    }
}

TEST(Scripts, DoOfAFileRunsItInItsFolder) {
    expect_results({
        {"do %" ZEL_SOURCE_DIR "/tests/scripts/console/quit_return.zel/..", "error access/cannot-open"},
        {"find-zel-header \"#!x^/Zel [] 1\"", "\"Zel [] 1\""},
        {"find-zel-header \"zel [] 1\"", "none"},
        {"find-zel-header \"Zel/System [] 1\"", "\"Zel/System [] 1\""},
    });
}

TEST(BootArguments, TheCommandLineIsSplit) {
    expect_results({
        {"system/script/args: copy {zel --catch \"my file.zel\" x} extract-boot-args", "[\"--catch\" \"my file.zel\" \"x\"]"},
        {"system/script/args: copy {zel --catch \"my file.zel\" x} extract-boot-args system/script/args",
         "{--catch \"my file.zel\" x}"},
        {"system/script/args: copy \"zel\" extract-boot-args reduce [system/options/boot system/options/args]",
         "[\"zel\" []]"},
    });
}

}  // namespace
