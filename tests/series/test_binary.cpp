// binary! byte operations the run-time calls directly: counting and writing
// the bytes of values, the growth of write-bytes and insert-bytes, the
// low-level builders, byte comparison, the PARSE matchers and hex words.
// (The datatype's actions as Zel code runs them: tests/cases/binary.cases.)
#include <climits>
#include <string>
#include <vector>

#include "foundation/compare.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "series/block.h"
#include "tests/support/held.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"
#include "tests/support/values.h"

using namespace zel;
using namespace zel::test;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(const Cell& bin) {
    Cell c = bin;
    return Bytes(binary::head(&c), binary::head(&c) + binary::length_q(&c));
}

Cell character(uint32_t cp) {
    Cell c;
    char_::make_at(&c, cp);
    return c;
}

Cell tuple_of(const Bytes& b) {
    Cell c;
    tuple::make_at(&c, b.data(), int(b.size()));
    return c;
}

// A bitset cell over the bytes: bit n at byte n >> 3, most significant
// first; `negated` marks every bit beyond them as set.
Cell bitset_of(const Bytes& b, bool negated) {
    Cell c = binary_of(b);
    cell::set_type(&c, TYPE_BITSET);
    if (negated) memory::series_of(c.data2)->flags |= SERIES_NEGATED;
    return c;
}

}  // namespace

// Each value's bytes, counted without an address and written with one: the
// count agrees with what is written, and the part limit cuts it.
TEST(BinaryBytes, ValueToBytesCountsWhatItWrites) {
    struct Case {
        const char* name;
        Cell value;
        int64_t part;
        bool items;
        int mode;
        Bytes expected;
    };
    Cell block = held(block_of({integer(1), character(0xE9), binary_of({0xAA, 0xBB}), text("xy")}));
    const Case cases[] = {
        {"char", character('a'), -1, false, binary::BYTES_STRICT, {0x61}},
        {"char of 4 bytes", character(0x1F600), -1, false, binary::BYTES_STRICT, {0xF0, 0x9F, 0x98, 0x80}},
        {"char cut", character(0xE9), 1, false, binary::BYTES_STRICT, {0xC3}},
        {"integer -1", integer(-1), -1, false, binary::BYTES_STRICT, {0xFF}},
        {"integer 255", integer(255), -1, false, binary::BYTES_STRICT, {0xFF}},
        {"binary", binary_of({1, 2, 3}), -1, false, binary::BYTES_STRICT, {1, 2, 3}},
        {"binary cut", binary_of({1, 2, 3}), 2, false, binary::BYTES_STRICT, {1, 2}},
        {"part 0 is none", binary_of({1, 2, 3}), 0, false, binary::BYTES_STRICT, {1, 2, 3}},
        {"tuple", tuple_of({1, 2, 3, 4}), -1, false, binary::BYTES_STRICT, {1, 2, 3, 4}},
        {"text as UTF-8", held(text("aé")), -1, false, binary::BYTES_STRICT, {0x61, 0xC3, 0xA9}},
        {"text cut in bytes", held(text("éa")), 1, false, binary::BYTES_STRICT, {0xC3}},
        {"block", block, -1, false, binary::BYTES_STRICT, {1, 0xC3, 0xA9, 0xAA, 0xBB, 0x78, 0x79}},
        {"block, part counts items", block, 2, false, binary::BYTES_STRICT, {1, 0xC3, 0xA9}},
        {"block, part counts bytes", block, 2, true, binary::BYTES_STRICT, {1, 0xC3}},
        {"formed float", float_cell(1.5), -1, false, binary::BYTES_FORMED, {'1', '.', '5'}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(binary::value_to_bytes(nullptr, &c.value, c.part, c.items, c.mode), int64_t(c.expected.size()))
            << c.name;
        Bytes out(c.expected.size() + 4, 0x55);
        int64_t n = binary::value_to_bytes(out.data(), &c.value, c.part, c.items, c.mode);
        out.resize(size_t(n));
        EXPECT_EQ(out, c.expected) << c.name;
    }
    // Counting mode never writes, and refuses what strict mode refuses.
    Cell value = binary_of({9, 9});
    uint8_t untouched[2] = {0x55, 0x55};
    EXPECT_EQ(binary::value_to_bytes(untouched, &value, -1, false, binary::BYTES_COUNT), 2);
    EXPECT_EQ(untouched[0], 0x55);
    Cell f = float_cell(1.5), big = integer(256), low = integer(-129);
    EXPECT_EQ(error_of([&] { binary::value_to_bytes(nullptr, &f, -1, false, binary::BYTES_COUNT); }), "script/bad-to-arg");
    EXPECT_EQ(error_of([&] { binary::value_to_bytes(nullptr, &f, -1, false, binary::BYTES_STRICT); }), "script/bad-to-arg");
    EXPECT_EQ(error_of([&] { binary::value_to_bytes(nullptr, &big, -1, false, binary::BYTES_FORMED); }), "script/invalid-arg");
    EXPECT_EQ(error_of([&] { binary::value_to_bytes(nullptr, &low, -1, false, binary::BYTES_STRICT); }), "script/invalid-arg");

    uint8_t byte = 0;
    Cell c = character(0x141);
    binary::value_to_byte(&byte, &c);
    EXPECT_EQ(byte, 0x41) << "the low byte";
    EXPECT_EQ(error_of([&] { binary::value_to_byte(&byte, &f); }), "script/invalid-arg");
}

// write-bytes grows to twice the capacity plus the excess and moves the
// tail only when the write ends after it; insert-bytes grows to n + twice
// the capacity.
TEST(BinaryBytes, WriteAndInsertGrowth) {
    Cell bin;
    binary::make_at(&bin, 16);
    Series* s = memory::series_of(bin.data2);
    ASSERT_EQ(s->capacity, 16);
    const uint8_t four[4] = {1, 2, 3, 4};
    binary::write_bytes(&bin, 0, four, 4);
    EXPECT_EQ(bytes_of(bin), (Bytes{1, 2, 3, 4}));
    binary::write_bytes(&bin, 1, four, 2);
    EXPECT_EQ(bytes_of(bin), (Bytes{1, 1, 2, 4})) << "inside: the tail stays";
    binary::write_bytes(&bin, 14, four, 4);
    s = memory::series_of(bin.data2);
    EXPECT_GE(s->capacity, 2 * 16 + 2) << "twice the capacity and the excess";
    EXPECT_EQ(binary::length_q(&bin), 18);
    EXPECT_EQ(bytes_of(bin)[17], 4);
    Bytes written = bytes_of(bin);
    EXPECT_EQ(Bytes(written.begin() + 4, written.begin() + 14), Bytes(10, 0)) << "the gap is zeros";

    Cell small;
    binary::make_at(&small, 16);
    binary::append_bytes(&small, four, 4);
    std::vector<uint8_t> many(20, 7);
    small.data1 = 2;
    uint8_t* at = binary::insert_bytes(&small, 1, many.data(), int64_t(many.size()));
    EXPECT_GE(memory::series_of(small.data2)->capacity, 20 + 2 * 16);
    EXPECT_EQ(at, memory::series_of(small.data2)->head() + 3);
    small.data1 = 0;
    Bytes expected{1, 2, 3};
    expected.insert(expected.end(), many.begin(), many.end());
    expected.push_back(4);
    EXPECT_EQ(bytes_of(small), expected);
    small.data1 = 100;
    binary::insert_bytes(&small, 0, four, 1);
    small.data1 = 0;
    EXPECT_EQ(bytes_of(small).back(), 1) << "a head past the tail inserts at the tail";
}

TEST(BinaryBytes, Builders) {
    Cell bin;
    binary::make_at(&bin, 0);
    EXPECT_EQ(memory::series_of(bin.data2)->capacity, 16);
    binary::append_int32_be(0x01020304, &bin);
    binary::append_int32_be(-2, &bin);
    EXPECT_EQ(bytes_of(bin), (Bytes{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFE}));
    bin.data1 = 3;
    binary::cut_at_head(&bin);
    EXPECT_TRUE(binary::tail_q(&bin));
    bin.data1 = 0;
    EXPECT_EQ(bytes_of(bin), (Bytes{1, 2, 3}));

    Cell block = held(block_of({integer(1)}));
    const uint8_t two[2] = {0xAB, 0xCD};
    Cell* loaded = binary::load_in(two, 2, &block);
    EXPECT_EQ(type_of(loaded), TYPE_BINARY);
    EXPECT_EQ(total_cells(block), 2);
    EXPECT_EQ(bytes_of(cells_of(block)[1]), (Bytes{0xAB, 0xCD}));
    Cell* made = binary::make_in(&block, 5);
    EXPECT_EQ(total_cells(block), 3);
    EXPECT_EQ(binary::length_q(made), 0);
    Cell* top = stack::g_top;
    Cell* pushed = binary::load(two, 1);
    EXPECT_EQ(bytes_of(*pushed), (Bytes{0xAB}));
    stack::g_top = top;
}

// Raw bytes, no folding; a text compares its code units' bytes.
TEST(BinaryBytes, CompareAndMatch) {
    using namespace compare;
    Cell ab = binary_of({0x61, 0x62}), a_upper = binary_of({0x41}), abc = binary_of({0x61, 0x62, 0x63});
    Cell a_text = held(text("a")), wide = held(chars({0x61}, 2));
    EXPECT_EQ(binary::compare_bytes(&ab, &a_upper, COMP_EQUAL, false), 1);
    EXPECT_EQ(binary::compare_bytes(&ab, &abc, COMP_LESSER, false), -1);
    EXPECT_EQ(binary::compare_bytes(&abc, &ab, COMP_EQUAL, true), 0) << "match: value2's bytes only";
    EXPECT_EQ(binary::compare_bytes(&ab, &abc, COMP_EQUAL, true), 1);
    EXPECT_EQ(binary::compare_bytes(&ab, &a_text, COMP_EQUAL, true), 0);
    EXPECT_EQ(binary::compare_bytes(&ab, &wide, COMP_EQUAL, true), 1) << "0x61 0x00 against 0x61 0x62";
    Cell n = integer(1);
    EXPECT_EQ(binary::compare_bytes(&ab, &n, COMP_EQUAL, false), -2);

    EXPECT_TRUE(binary::match_q(&abc, &ab));
    EXPECT_FALSE(binary::match_q(&ab, &abc));
    Cell c = character('a'), i = integer(0x61), other = character('b');
    EXPECT_TRUE(binary::match_q(&ab, &c));
    EXPECT_TRUE(binary::match_q(&ab, &i));
    EXPECT_FALSE(binary::match_q(&ab, &other));
    Cell empty = binary_of({});
    EXPECT_FALSE(binary::match_q(&empty, &c));

    // 0x61 = 97: byte 12, mask 0x80 >> 1.
    Bytes bits(13, 0);
    bits[12] = 0x40;
    Cell has = bitset_of(bits, false);
    EXPECT_TRUE(binary::match_bitset_q(&ab, &has));
    EXPECT_TRUE(binary::match_q(&ab, &has));
    Cell high = binary_of({0xF0});
    EXPECT_FALSE(binary::match_bitset_q(&high, &has)) << "beyond the bits: not a member";
    Cell negated = bitset_of(bits, true);
    EXPECT_TRUE(binary::match_bitset_q(&high, &negated)) << "beyond the bits of a negated bitset: a member";
    EXPECT_FALSE(binary::match_bitset_q(&empty, &negated));
}

TEST(BinaryBytes, FromHexWord) {
    Cell word = word_named("0AfF", TYPE_ISSUE);
    Cell result;
    EXPECT_EQ(binary::from_hex_word(&word, &result, true), 4);
    EXPECT_EQ(binary::from_hex_word(&word, &result, false), 4);
    EXPECT_EQ(bytes_of(result), (Bytes{0x0A, 0xFF}));
    Cell bad = word_named("xyz", TYPE_ISSUE);
    EXPECT_EQ(error_of([&] { binary::from_hex_word(&bad, &result, false); }), "script/invalid-data");
}

// The rows of `to` that Zel code cannot reach yet: a bitset gives its bytes.
TEST(BinaryBytes, ToFromABitset) {
    for (bool negated : {false, true}) {
        Cell bits = bitset_of({0x80, 0x01}, negated), result;
        binary::to(&result, &bits, TYPE_BINARY);
        EXPECT_EQ(type_of(&result), TYPE_BINARY);
        EXPECT_EQ(bytes_of(result), (Bytes{0x80, 0x01}));
        EXPECT_NE(result.data2, bits.data2) << "a copy";
    }
}

// Bytes taken from the binary's own buffer read as they stood, whether the
// buffer is replaced or its bytes move.
TEST(BinaryBytes, OwnBytesWrittenBack) {
    Cell bin;
    binary::make_at(&bin, 16);
    const uint8_t start[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    binary::append_bytes(&bin, start, 16);
    binary::append_bytes(&bin, binary::head(&bin), 16);
    Bytes twice(start, start + 16);
    twice.insert(twice.end(), start, start + 16);
    EXPECT_EQ(bytes_of(bin), twice);

    Cell small = binary_of({1, 2, 3});
    binary::insert_bytes(&small, 0, binary::head(&small) + 1, 2);
    EXPECT_EQ(bytes_of(small), (Bytes{2, 3, 1, 2, 3}));
    binary::write_bytes(&small, 4, binary::head(&small), 3);
    EXPECT_EQ(bytes_of(small), (Bytes{2, 3, 1, 2, 2, 3, 1}));
}
