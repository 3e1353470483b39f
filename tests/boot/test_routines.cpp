// The boot routines where Zel code alone cannot reach them: UTF-8 counting
// between positions made by hand, JSON unescaping through a routine the test
// environment makes, and an error's argument. (The other routines:
// tests/cases/routines.cases.)
#include <gtest/gtest.h>

#include <cstring>

#include "series/binary.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"

using namespace zel;
using namespace zel::test;

namespace {

// The error of a negative component names the first one (the results:
// tests/cases/routines.cases).
TEST(BootRoutines, ANegativeComponentIsTheErrorsArgument) {
    ErrorThrow e = caught_error([] { eval_value("as-color 5 -2 -3"); });
    EXPECT_EQ(mold_of(e.args[0]), "-2") << "the first negative component";
}

// A binary! of the bytes, made the way the lexer makes one.
Cell binary_of(const char* bytes) {
    Cell b;
    binary::make_at(&b, int64_t(std::strlen(bytes)));
    std::memcpy(binary::head(&b), bytes, std::strlen(bytes));
    memory::series_of(node_of(b))->tail = uint32_t(std::strlen(bytes));
    return b;
}

TEST(BootRoutines, CountCharsBetweenTwoPositions) {
    // "a", e acute (2 bytes), the euro sign (3 bytes).
    Cell text = binary_of("a\xC3\xA9\xE2\x82\xAC");
    set_global("t0", text);
    set_global("t1", at_head(text, 1));
    set_global("t6", at_head(text, 6));
    Cell short_one = binary_of("xy");
    set_global("other", at_head(short_one, 1));
    Cell past = at_head(text, 40);
    set_global("past", past);
    expect_results({
        {"count-chars t1 t6", "2"},
        {"count-chars t0 t6", "3"},
        {"count-chars t6 t1", "0"},
        {"count-chars t1 t1", "0"},
        // Both positions index the first one's buffer, clamped to its tail.
        {"count-chars t0 past", "3"},
        {"count-chars t0 other", "1"},
        {"count-chars past t0", "0"},
    });
}

TEST(BootRoutines, JsonUnescape) {
    eval_value("unescape: _boot-routine [str [string!] return: [string!]] [json-unescape]");
    expect_results({
        {"unescape {a\\u00e9\\n}", "\"aé^/\""},
        {"unescape {\\ud83d\\ude00!}", "\"😀!\""},
        {"unescape {q\\\"\\\\\\/\\t}", "{q\"\\/^-}"},
        {"unescape {\\uD800xyzxyz}", "error script/invalid-data"},
        {"unescape {\\u12}", "error script/invalid-data"},
        {"unescape {\\x}", "error script/invalid-data"},
        {"s: next {x\\n} unescape s head s", "\"x^/\""},
    });
}

}  // namespace
