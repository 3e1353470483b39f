// Files where a case file cannot reach them: a set modification time, names
// that are not UTF-8, links, files beyond the series bound, and the header
// text of HTTP responses. (Reading and writing: tests/cases/file_io.cases;
// a FIFO: tests/console/test_console.cpp.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "foundation/collector.h"
#include "os/file.h"
#include "os/http.h"
#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

// A folder of its own for each test, removed with what it holds.
class Folder {
public:
    Folder() {
        char name[] = "/tmp/zel-file-io-XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~Folder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void touch(const std::string& path) { close(open(path.c_str(), O_WRONLY | O_CREAT, 0644)); }

TEST(FileIo, QueryGivesTheLastWriteTimeInUtcToTheMillisecond) {
    Folder folder;
    std::string file = folder / "f";
    touch(file);
    struct Case {
        time_t seconds;
        long nanoseconds;
        const char* date;
    };
    const Case cases[] = {
        {1580526245, 678999999, "1-Feb-2020/3:04:05.678"},
        {0, 0, "1-Jan-1970/0:00:00"},
        {951782400, 1000000, "29-Feb-2000/0:00:00.001"},
        {-86399, 0, "31-Dec-1969/0:00:01"},
    };
    for (const Case& c : cases) {
        timespec times[2] = {{c.seconds, c.nanoseconds}, {c.seconds, c.nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        EXPECT_EQ(eval("query %" + file), c.date) << c.seconds;
    }
}

// A name the listing cannot decode is shown with U+FFFD; a link to a folder
// is a folder.
TEST(FileIo, ListingsDecodeEveryNameAndFollowLinks) {
    Folder folder;
    touch(folder / "ok");
    touch(folder /
          "bad\xFF"
          "name");
    ASSERT_EQ(mkdir((folder / "real").c_str(), 0755), 0);
    ASSERT_EQ(symlink("real", (folder / "link").c_str()), 0);
    ASSERT_EQ(symlink("ok", (folder / "file-link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);
    EXPECT_EQ(eval("read %" + folder.path() + "/"), "[%bad\xEF\xBF\xBDname %dangling %file-link %link/ %ok %real/]");
}

// Sizes and seek positions are 64-bit: a file beyond the series bound is
// not read cut to its low 32 bits, but its end can be reached with /seek.
TEST(FileIo, FilesBeyondTheSeriesBound) {
    Folder folder;
    std::string big = folder / "big";
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const int64_t size = (int64_t(1) << 32) + 3;  // sparse: takes no room
    ASSERT_EQ(ftruncate(fd, size), 0);
    ASSERT_EQ(pwrite(fd, "xyz", 3, size - 3), 3);
    close(fd);
    fd = simple_io::open_file(big.c_str(), simple_io::MODE_READ);
    EXPECT_EQ(simple_io::file_size_q(fd), size);
    simple_io::close_file(fd);
    expect_results({
        {("read/binary %" + big).c_str(), "error internal/no-memory"},
        {("read/seek %" + big + " 4294967296.0").c_str(), "\"xyz\""},
        {("read/seek/part %" + big + " 4294967295.0 2").c_str(), "\"^@x\""},
    });
}

// The header lines of a response: blanks around the value trimmed, names
// met again gathered in a block, lines without a name skipped.
TEST(FileIo, HeadersToMap) {
    struct Case {
        const char* text;
        const char* map;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", "#[ A: \"1\" ]"},
        {"A:value\r\n", "#[ A: \"value\" ]"},
        {"A: \t v w \t\r\n", "#[ A: \"v w\" ]"},
        {"A:\r\n", "#[ A: \"\" ]"},
        {"X-Dup: one\r\nB: 2\r\nx-dup: two\r\nX-Dup: three\r\n", "#[ X-Dup: [\"one\" \"two\" \"three\"] B: \"2\" ]"},
        {"no colon here\r\n: nameless\r\nC: a:b\n", "#[ C: \"a:b\" ]"},
        {"", "#[]"},
    };
    for (const Case& c : cases) {
        Cell map{};
        gc::root keep(&map);
        simple_io::headers_to_map(c.text, &map);
        // Molded on one line: #[ A: "1" B: "2" ].
        std::string text;
        for (char ch : mold_of(map)) {
            if (ch == '\n') ch = ' ';
            if (ch != ' ' || text.empty() || text.back() != ' ') text += ch;
        }
        EXPECT_EQ(text, c.map) << c.text;
    }
}

}  // namespace
