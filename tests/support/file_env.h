// A test program holds every test file of a subsystem, and the files want
// different worlds: the bare run-time, the boot environment, a boot image of
// their own. Each file registers its set-up through file_environment(), and
// the set-up runs only when a test of that file is selected to run. CTest
// runs one test per process, so one file's world is all a process sees.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

namespace zel::test {

inline bool runs_a_test_of(const char* file) {
    const ::testing::UnitTest* unit = ::testing::UnitTest::GetInstance();
    for (int i = 0; i < unit->total_test_suite_count(); i++) {
        const ::testing::TestSuite* suite = unit->GetTestSuite(i);
        for (int j = 0; j < suite->total_test_count(); j++) {
            const ::testing::TestInfo* test = suite->GetTestInfo(j);
            if (test->should_run() && std::strcmp(test->file(), file) == 0) return true;
        }
    }
    return false;
}

class FileEnvironment : public ::testing::Environment {
public:
    FileEnvironment(const char* file, void (*set_up)()) : file_(file), set_up_(set_up) {}
    void SetUp() override {
        if (runs_a_test_of(file_)) set_up_();
    }

private:
    const char* file_;
    void (*set_up_)();
};

// Registers `set_up` for the tests of the file being compiled.
#define ZEL_FILE_ENVIRONMENT(set_up) \
    (::testing::AddGlobalTestEnvironment(new ::zel::test::FileEnvironment(__BASE_FILE__, set_up)))

}  // namespace zel::test
