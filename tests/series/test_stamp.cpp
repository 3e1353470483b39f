// Change stamps: every writer of a block's cells gives the block a new
// stamp and readers leave it alone; a new series, and the buffer that
// replaces one, start from a stamp never seen before; the checking mode of
// sanitizer builds stops a program whose block changed under the same stamp.
#include <string>

#include "foundation/stamp.h"
#include "series/block.h"
#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

// The stamp of the series of the value of `block` (by default b).
uint32_t stamp_of(const std::string& block = "b") { return memory::stamp_of(eval_value(block).data2); }

// b is made anew by `setup`; answers whether `code` gave the series of
// `block` a new stamp.
bool bumps(const std::string& setup, const std::string& code, const std::string& block = "b") {
    eval_value(setup);
    uint32_t before = stamp_of(block);
    std::string result = eval(code);
    EXPECT_EQ(result.rfind("error ", 0), std::string::npos) << code << " raised " << result;
    return stamp_of(block) != before;
}

constexpr const char* BLOCK = "x: y: 0 b: reduce [3 1 2 'x 5 none 'y] ctx: make object! [x: 10 y: 20]";

TEST(Stamps, EveryWriterOfABlockGivesItANewStamp) {
    const char* writers[] = {
        "append b 1",
        "append/only b [x]",
        "append/dup b 0 3",
        "insert b 0",
        "insert next b [a b]",
        "insert/part b [a b c] 2",
        "change b 9",
        "change/part b [a b] 3",
        "change/dup b 0 2",
        "poke b 1 9",
        "b/1: 5",
        "b/x: 9",
        "remove b",
        "remove/part next b 2",
        "clear next b",
        "take b",
        "take/last b",
        "take/part b 2",
        "reverse b",
        "reverse/part b 2",
        "sort b: copy [3 1 2]",
        "sort/reverse b: copy [3 1 2]",
        "sort/compare b: copy [3 1 2] func [a b] [a < b]",
        "swap b next b",
        "swap [a] b",
        "trim b",
        "move b tail b",
        "random b",
        "put b 'x 11",
        "put b 'new 1",
        "bind b ctx",
        "reduce/into [1 + 2] b",
        "compose/into [(1 + 2)] b",
        "transcode/into \"a b\" b",
        "remove-each v b [integer? :v]",
        "forall b [b/1: 0]",
        "foreach v b [poke b 1 v]",
    };
    for (const char* code : writers) EXPECT_TRUE(bumps(BLOCK, code)) << code;
}

TEST(Stamps, WritersOfOtherBlockTypesGiveThemANewStamp) {
    const char* cases[][2] = {
        {"b: make hash! [a 1 b 2]", "append b [c 3]"},
        {"b: make hash! [a 1 b 2]", "b/a: 5"},
        {"b: make hash! [a 1 b 2]", "remove b"},
        {"b: make hash! [a 1 b 2]", "poke b 2 7"},
        {"b: to paren! [1 + 2]", "append b 3"},
        {"b: to path! [a b]", "append b 'c"},
        {"b: to set-path! [a b]", "poke b 1 'x"},
        {"b: to lit-path! [a b]", "remove b"},
        {"b: to get-path! [a b]", "change b 'z"},
        {"b: copy [1 2]", "set-slot-quiet next b 9"},
        // The first walk through a path binds its field word in place.
        {"o: make object! [a: 1] b: to path! [o a]", "do reduce [b]"},
    };
    for (auto& c : cases) EXPECT_TRUE(bumps(c[0], c[1])) << c[0] << " " << c[1];
    // A store through a path lands in the inner block.
    EXPECT_TRUE(bumps("b: copy/deep [[1 2] 3]", "b/1/1: 5", "pick b 1"));
}

TEST(Stamps, ReadersLeaveTheStampAlone) {
    const char* readers[] = {
        "pick b 1", "b/1", "b/x", "find b 2", "select b 'x", "length? b", "index? b",
        "copy b", "copy/deep b", "mold b", "form b", "next b", "at b 3", "tail? b", "same? b b",
        "equal? b copy b", "reduce b", "compose b", "foreach v b []", "sort copy b",
        "bind/copy b ctx", "do b", "b",
    };
    for (const char* code : readers) EXPECT_FALSE(bumps(BLOCK, code)) << code;
}

TEST(Stamps, NewBuffersTakeStampsNeverSeenBefore) {
    eval_value("b: copy [1 2]");
    uint32_t first = stamp_of();
    EXPECT_NE(first, 0u);
    eval_value("b: copy b");
    EXPECT_GT(stamp_of(), first);
    // Growth replaces the buffer: the stamp moves on, never back.
    eval_value("b: make block! 1");
    uint32_t small = stamp_of();
    eval_value("loop 100 [append b 1]");
    EXPECT_GT(stamp_of(), small);
}

TEST(Stamps, CounterSkipsZeroWhenItWraps) {
    uint32_t saved = memory::g_stamp;
    uint32_t wraps = memory::g_stamp_wraps;
    memory::g_stamp = 0xFFFFFFFFu;
    EXPECT_EQ(memory::next_stamp(), 1u);
    EXPECT_EQ(memory::g_stamp_wraps, wraps + 1);
    memory::g_stamp = saved;
    memory::g_stamp_wraps = wraps;
}

#ifdef ZEL_SANITIZE
// A write to a block's cells without a new stamp, then the block run again.
void write_without_touch() {
    stamp::set_check(true);
    eval_value("b: copy [1 + 2 3 4] do b");
    Cell b = eval_value("b");
    Cell* cells = memory::series_of(b.data2)->cells();
    cells[3].data2 = 77;  // 3 becomes 77 behind the stamp's back
    eval_value("do b");
}

TEST(StampsCheck, ABlockChangedWithoutANewStampStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(write_without_touch(), "stamp check: block changed without a new stamp .*\\[1 \\+ 2 77 4\\]");
}

TEST(StampsCheck, ATouchedChangeAndAFreshSeriesPass) {
    bool was_checking = stamp::checking();
    stamp::set_check(true);
    eval_value("b: copy [1 + 2 3 4] do b");
    Cell b = eval_value("b");
    memory::series_of(b.data2)->cells()[3].data2 = 77;
    memory::touch(&b);
    EXPECT_EQ(eval("do b"), "4");
    // Blocks made, dropped and collected: reused nodes come with new stamps.
    EXPECT_EQ(eval("loop 200 [do reduce [1 + length? copy [a b c]]] recycle loop 200 [do copy [1]]"), "1");
    stamp::set_check(was_checking);
}
#endif

}  // namespace
