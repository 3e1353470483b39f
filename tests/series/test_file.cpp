// file! local paths: POSIX paths are kept as they are, the full form puts
// the current directory in front of a relative one, and the OS is given
// the UTF-8 bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "foundation/datatype.h"
#include "foundation/platform.h"
#include "series/file.h"
#include "series/string.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

Cell file_of(const char* utf8) {
    Cell f;
    file::make_at(&f, utf8, int64_t(std::strlen(utf8)));
    return f;
}

std::string local(Cell path, bool full) {
    Cell out;
    file::to_local_path(&path, &out, full);
    EXPECT_EQ(type_of(&out), TYPE_STRING);
    return utf8_of(out);
}

std::string current_dir() {
    Cell out;
    file::get_current_dir(&out);
    return utf8_of(out);
}

// Goes to `dir` for the life of the guard, then back.
struct InDir {
    std::string before = platform::get_current_dir();
    explicit InDir(const char* dir) { EXPECT_TRUE(platform::set_current_dir(dir)) << dir; }
    ~InDir() { platform::set_current_dir(before.c_str()); }
};

}  // namespace

TEST(FileLocalPath, KeepsThePathAsItIs) {
    for (const char* path : {"/", "/c", "/c/x/y", "//host/share", "a/b", "a\\b", "./x", "../y/", "", "caf\xC3\xA9/\xE2\x82\xAC"}) {
        EXPECT_EQ(local(file_of(path), false), path);
        EXPECT_EQ(local(text(path), false), path);
    }
}

TEST(FileLocalPath, FullPutsTheCurrentDirectoryBeforeARelativePath) {
    InDir at("/tmp");
    std::string dir = current_dir();
    for (const char* path : {"a/b", "x", "", "\xC3\xA9t\xC3\xA9"})
        EXPECT_EQ(local(file_of(path), true), dir + path) << path;
    for (const char* path : {"/", "/etc/hosts", "//x"}) EXPECT_EQ(local(file_of(path), true), path);
}

TEST(FileLocalPath, StartsFromTheHead) {
    Cell f = file_of("skip/a/b");
    f.data1 = 5;
    EXPECT_EQ(local(f, false), "a/b");
}

TEST(FileCurrentDir, EndsWithASlashAndFollowsChdir) {
    {
        InDir at("/");
        EXPECT_EQ(current_dir(), "/");
    }
    std::string made = "/tmp/zel-test-file-\xC3\xA9-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(made.c_str(), 0700), 0);
    {
        InDir at(made.c_str());
        std::string dir = current_dir();
        EXPECT_EQ(dir.back(), '/');
        EXPECT_NE(dir.find("zel-test-file-\xC3\xA9-"), std::string::npos) << dir;
        InDir up("..");
        EXPECT_EQ(current_dir() + dir.substr(current_dir().size()), dir);
    }
    rmdir(made.c_str());
}

TEST(FileOsPath, IsTheUtf8BytesNulTerminated) {
    for (const char* path : {"a/b", "/caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80", "a\nb", ""}) {
        Cell f = file_of(path);
        const char* os = file::to_os_path(&f);
        EXPECT_STREQ(os, path);
        EXPECT_EQ(os[std::strlen(path)], '\0');
    }
}
