// The pieces of the OS record read from uname's texts.
#include <gtest/gtest.h>

#include <string>

#include "os/os_info.h"

using namespace zel;

TEST(OsInfo, ArchitectureWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"x86_64", "x86-64"}, {"i386", "x86-32"}, {"i686", "x86-32"},   {"i786", "Unknown"},
        {"aarch64", "ARM64"}, {"armv7l", "ARM"},  {"ia64", "IA-64"},    {"riscv64", "Unknown"},
        {"", "Unknown"},      {"i86", "Unknown"}, {"arm", "ARM"},       {"mips", "Unknown"},
    };
    for (const auto& [machine, word] : cases) EXPECT_STREQ(os_info::arch_word(machine), word) << machine;
}

TEST(OsInfo, ReleaseNumbersAndBuild) {
    struct Case {
        const char* release;
        int a, b, c;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0}, {"6.18.44-fc-v1607", 6, 18, 44}, {"5.15", 5, 15, 0}, {"4", 4, 0, 0},
        {"", 0, 0, 0},               {"x.1", 0, 0, 0},                 {"300.1.2", 255, 1, 2},
        {"1.2.3.4", 1, 2, 3},        {"99999999999.1", 255, 0, 0},
    };
    for (const Case& c : cases) {
        int n[3];
        os_info::release_numbers(c.release, n);
        EXPECT_EQ(n[0], c.a) << c.release;
        EXPECT_EQ(n[1], c.b) << c.release;
        EXPECT_EQ(n[2], c.c) << c.release;
    }
    EXPECT_EQ(os_info::build_number("#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1"), 1);
    EXPECT_EQ(os_info::build_number("#58~22.04.1-Ubuntu SMP"), 58);
    EXPECT_EQ(os_info::build_number("SMP"), 0);
    EXPECT_EQ(os_info::build_number("#"), 0);
}
