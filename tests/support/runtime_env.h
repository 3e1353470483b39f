// Shared set-up for unit tests: the run-time is initialised once per test
// process (for the tests of the file that includes this), and errors are
// checked by category and id.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "boot/runtime.h"
#include "foundation/raise.h"
#include "tests/support/file_env.h"

namespace zel::test {

[[maybe_unused]] static ::testing::Environment* const g_runtime_env =
    ZEL_FILE_ENVIRONMENT([] { runtime::init(); });

// Runs `body` and answers "category/id" of the error it raised, or "" when
// it raised none.
template <typename Body>
std::string error_of(Body body) {
    try {
        body();
    } catch (const ErrorThrow& e) {
        return std::string(e.category_name()) + "/" + e.id_name();
    }
    return "";
}

// The error itself, for checking its arguments.
template <typename Body>
ErrorThrow caught_error(Body body) {
    try {
        body();
    } catch (const ErrorThrow& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return ErrorThrow{};
}

}  // namespace zel::test
