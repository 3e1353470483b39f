// The console's start-up pieces where a case file cannot reach them: files
// of the source tree, a FIFO, a file beyond the size bound, a script in the
// source tree. (Paths, loading, transcode, component paths, multi-line input
// and the command line: tests/cases/console.cases.)
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

TEST(Files, ReadingTextAndDirectories) {
    expect_results({
        {"type? read %" ZEL_SOURCE_DIR "/console/", "block!"},
        {"copy/part find read %" ZEL_SOURCE_DIR "/console/ %console.zel 3", "[%console.zel %help.zel %input.zel]"},
        {"copy/part read %" ZEL_SOURCE_DIR "/console/console.zel 5", "\"Zel [\""},
        {"read %/no/such/file", "error access/cannot-open"},
        {"exists? %" ZEL_SOURCE_DIR "/console/", "true"},
        {"exists? %/no/such/file", "false"},
    });
}

// A FIFO reports no size: it is read to its end in chunks (its bytes can be
// read only once). (A device: tests/cases/console.cases.)
TEST(Files, AFifoIsReadToItsEnd) {
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

// (Script headers: tests/cases/console.cases.)
TEST(Scripts, DoOfAFileRunsItInItsFolder) {
    expect_results({
        {"do %" ZEL_SOURCE_DIR "/tests/scripts/console/quit_return.zel/..", "error access/cannot-open"},
    });
}

}  // namespace
