// The boot routines, through the words the boot environment binds them to:
// tuples from components, shifts, UTF-8 counting between two positions,
// quiet assignment, the argument stack, JSON unescaping and the routines
// whose services do not exist yet.
#include <gtest/gtest.h>

#include <cstring>

#include "series/binary.h"
#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

TEST(BootRoutines, TuplesFromComponents) {
    expect_results({
        {"as-color 256 0 0", "0.0.0"},
        {"as-color 1 2 3", "1.2.3"},
        {"as-color -1 5 5", "error script/invalid-arg"},
        {"as-color 5 -2 -3", "error script/invalid-arg"},
        {"as-rgba 1 2 3 4", "1.2.3.4"},
        {"as-ipv4 192 168 0 1", "192.168.0.1"},
        // Each component is reduced modulo 256: none spills into the next.
        {"as-ipv4 256 257 2 3", "0.1.2.3"},
        {"as-rgba 1 2 3 511", "1.2.3.255"},
        {"as-ipv4 1 2 3 -1", "error script/invalid-arg"},
    });
    ErrorThrow e = caught_error([] { eval_value("as-color 5 -2 -3"); });
    EXPECT_EQ(mold_of(e.args[0]), "-2") << "the first negative component";
}

TEST(BootRoutines, Shifts) {
    expect_results({
        {"shift-logical -1 28", "15"},
        {"shift-right -16 2", "-4"},
        {"shift-left 3 4", "48"},
        {"-16 >> 2", "-4"},
        {"1 << 10", "1024"},
        {"-1 >>> 28", "15"},
    });
}

// A binary! of the bytes, made the way the lexer makes one.
Cell binary_of(const char* bytes) {
    Cell b;
    binary::make_at(&b, int64_t(std::strlen(bytes)));
    std::memcpy(binary::head(&b), bytes, std::strlen(bytes));
    memory::series_of(b.data2)->tail = uint32_t(std::strlen(bytes));
    return b;
}

Cell at_index(Cell b, uint32_t index) {
    b.data1 = index;
    return b;
}

TEST(BootRoutines, CountCharsBetweenTwoPositions) {
    // "a", e acute (2 bytes), the euro sign (3 bytes).
    Cell text = binary_of("a\xC3\xA9\xE2\x82\xAC");
    set_global("t0", text);
    set_global("t1", at_index(text, 1));
    set_global("t6", at_index(text, 6));
    Cell short_one = binary_of("xy");
    set_global("other", at_index(short_one, 1));
    Cell past = at_index(text, 40);
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

TEST(BootRoutines, QuietAssignment) {
    expect_results({
        {"o: make object! [a: 1] set-quiet in o 'a 5 o/a", "5"},
        {"set-quiet to set-word! 'q1 7 q1", "7"},
        {"set-quiet /ref 1", "error script/expect-arg"},
        {"set-quiet #iss 1", "error script/expect-arg"},
        {"b: [1 2 3] set-slot-quiet next b 9 b", "[1 9 3]"},
        {"b: [1] set-slot-quiet tail b 9 b", "[1]"},
        {"set-slot-quiet \"ab\" 1", "error script/expect-arg"},
    });
}

TEST(BootRoutines, ArgumentStackAndCalls) {
    expect_results({
        {"pick-stack 0", "none"},
        {"pick-stack stack-size?", "none"},
        {"integer? stack-size?", "true"},
        {"f: does [frame-index?] integer? f", "true"},
        {"logic? tracing?", "true"},
        {"system/state/interpreted?", "true"},
        {"reduce [system/state/GC/active? integer? system/state/GC/series-cycles]", "[true true]"},
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

TEST(BootRoutines, ServicesNotBuiltYetRaiseNotDone) {
    expect_results({
        {"os-info", "error internal/not-done"},
        {"read-clipboard", "error internal/not-done"},
        {"write-clipboard \"x\"", "error internal/not-done"},
        {"system/codecs/png/decode #{00}", "error internal/not-done"},
    });
}

TEST(BootRoutines, ZelbinCodec) {
    expect_results({
        {"c: system/codecs/zelbin c/decode c/encode [1 \"x\" [y]] none", "[1 \"x\" [y]]"},
        {"c: system/codecs/zelbin c/decode c/encode 42 none", "42"},
        {"c: system/codecs/zelbin c/compact?: false c/decode c/encode 42 none", "42"},
        {"system/codecs/zelbin/decode 5", "error script/invalid-data"},
        {"system/codecs/zelbin/decode %no-such-file.zelbin", "error access/cannot-open"},
    });
    set_global("tiny", binary_of("ZELBIN"));
    EXPECT_EQ(eval("system/codecs/zelbin/decode tiny"), "error script/invalid-data");
}

}  // namespace
