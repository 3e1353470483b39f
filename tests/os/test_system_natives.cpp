// size? over files, folders and a sparse file past 32 bits, and browse
// handing its argument to the system's opener, which a stub takes the place
// of here.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/boot_env.h"
#include "tests/support/eval_env.h"

using namespace zel;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/zel-system-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string zel(const std::string& name) const { return "%\"" + (path / name).string() + "\""; }
};

std::string molded(const std::string& code) { return test::mold_of(test::eval_value(code)); }

}  // namespace

TEST(SystemNatives, SizeOfFilesFoldersAndSpellings) {
    test::boot_environment();
    TempDir dir;
    std::ofstream(dir.path / "five.txt") << "12345";
    std::ofstream(dir.path / "empty.txt");
    fs::create_directory(dir.path / "sub");
    const std::pair<std::string, std::string> cases[] = {
        {"size? " + dir.zel("five.txt"), "5"},
        {"size? " + dir.zel("empty.txt"), "0"},
        {"size? " + dir.zel("missing.txt"), "none"},
        {"size? " + dir.zel("sub"), "none"},
        {"size? " + dir.zel("sub/"), "none"},
        {"size? %.", "none"},
        {"size? %..", "none"},
        {"size? %./", "none"},
        {"size? %a/..", "none"},
    };
    for (const auto& [code, expected] : cases) EXPECT_EQ(molded(code), expected) << code;
}

// A sparse file of 3 GB takes no room but has its size: beyond 32 bits it
// comes as a float!.
TEST(SystemNatives, SizeBeyondThirtyTwoBitsIsAFloat) {
    test::boot_environment();
    TempDir dir;
    int fd = open((dir.path / "sparse").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);
    close(fd);
    EXPECT_EQ(molded("size? " + dir.zel("sparse")), "3221225472.0");
}

TEST(SystemNatives, BrowseHandsItsArgumentToTheOpener) {
    test::boot_environment();
    TempDir dir;
    fs::path stub = dir.path / "xdg-open";
    fs::path record = dir.path / "record";
    std::ofstream(stub) << "#!/bin/sh\nprintf '%s' \"$1\" > " << record.string() << ".tmp\nmv " << record.string()
                        << ".tmp " << record.string() << "\n";
    fs::permissions(stub, fs::perms::owner_all);
    std::string old_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir.path.string() + ":" + old_path).c_str(), 1);
    auto recorded = [&](const std::string& code) {
        fs::remove(record);
        test::eval_value(code);
        for (int i = 0; i < 500 && !fs::exists(record); i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(record);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(recorded("browse http://example.com/a?b=1"), "http://example.com/a?b=1");
    EXPECT_EQ(recorded("browse %\"/tmp/a b.txt\""), "/tmp/a b.txt");
    setenv("PATH", "/nonexistent-folder-for-zel", 1);
    EXPECT_EQ(test::eval_error("browse http://x"), "access/cannot-open");
    setenv("PATH", old_path.c_str(), 1);
}
