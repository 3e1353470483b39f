// tuple!: construction from blocks, issues and binaries, the dotted text,
// comparison over the longer length, the cell layout, the helpers other
// modules call, and the saturating byte arithmetic at its limits.
#include <cmath>
#include <vector>

#include "foundation/compare.h"
#include "scalars/tuple.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"
#include "words/word.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

namespace {

Cell tuple_of(const std::vector<uint8_t>& bytes) {
    Cell c;
    return *tuple::make_at(&c, bytes.data(), int(bytes.size()));
}

Cell char_value(uint32_t cp) { return value_of(TYPE_CHAR, 0, cp); }

}  // namespace

TEST(TupleMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {tuple_of({1, 2, 3, 4}), "tuple! 1.2.3.4"},
        {ints({1, 2}), "tuple! 1.2.0"},
        {ints({}), "tuple! 0.0.0"},
        {ints({255, 0, 127, 1}, TYPE_PAREN), "tuple! 255.0.127.1"},
        {ints({1, 2, 3}, TYPE_HASH), "tuple! 1.2.3"},
        {ints({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), "tuple! 1.2.3.4.5.6.7.8.9.10.11.12"},
        {ints({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), "script/bad-to-arg"},
        {ints({256}), "script/bad-to-arg"},
        {ints({1, -1}), "script/bad-to-arg"},
        {block_of({int_cell(1), float_cell(2.9), char_value('A')}), "tuple! 1.2.65"},
        {block_of({float_cell(255.99)}), "tuple! 255.0.0"},
        // Floats are clamped to a byte, never wrapped nor refused.
        {block_of({float_cell(1e10), float_cell(-3.5), float_cell(NAN)}), "tuple! 255.0.0"},
        {block_of({float_cell(255.0), float_cell(-0.0), float_cell(-INFINITY)}), "tuple! 255.0.0"},
        {block_of({float_cell(256.5), float_cell(INFINITY), float_cell(0.99)}), "tuple! 255.255.0"},
        {block_of({text("1")}), "script/bad-to-arg"},
        {issue::load("FF8000"), "tuple! 255.128.0"},
        {issue::load("F80"), "tuple! 255.136.0"},
        {issue::load("ff8000cc"), "tuple! 255.128.0.204"},
        {issue::load("12345"), "script/invalid-data"},
        {issue::load("F8"), "script/invalid-data"},
        {issue::load("FG0"), "script/invalid-data"},
        {binary_of({1, 2}), "tuple! 1.2.0"},
        {binary_of({}), "tuple! 0.0.0"},
        {binary_of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}),
         "tuple! 1.2.3.4.5.6.7.8.9.10.11.12"},
        {value_of(TYPE_NONE), "script/bad-to-arg"},
        {int_cell(1), "script/bad-to-arg"},
        // Text is loaded as one value, which the loader does not do yet.
        {text("1.2.3"), "tuple! 1.2.3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(make_and_to(TYPE_TUPLE, c.spec), c.result) << typed_mold(c.spec);
}

TEST(TupleMakeAndTo, BadBlockNamesTheTypeAndTheBlock) {
    Cell spec = ints({300}), result;
    ErrorThrow e =
        caught_error([&] { datatype::handler<ACT_TO>(TYPE_TUPLE)(&result, &spec, TYPE_TUPLE); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_TUPLE);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_BLOCK);
}

TEST(TupleText, DecimalBytesJoinedByPoints) {
    struct Case {
        Cell tuple;
        const char* text;
    };
    const Case cases[] = {
        {tuple_of({255, 0, 127}), "255.0.127"},
        {tuple_of({0, 0, 0}), "0.0.0"},
        {tuple_of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 255}), "1.2.3.4.5.6.7.8.9.10.11.255"},
    };
    for (const Case& c : cases) EXPECT_EQ(form_and_mold(c.tuple), c.text);
}

TEST(TupleCompare, BytesOverTheLongerLength) {
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {tuple_of({1, 2, 3}), tuple_of({1, 2, 3, 0}), COMP_EQUAL, 0},
        {tuple_of({1, 2, 3}), tuple_of({1, 2, 3, 0}), COMP_STRICT_EQUAL, 0},
        {tuple_of({1, 2, 4}), tuple_of({1, 2, 3, 200}), COMP_GREATER, 1},
        {tuple_of({1, 2, 3}), tuple_of({1, 2, 3, 1}), COMP_LESSER, -1},
        {tuple_of({200, 0, 0}), tuple_of({100, 255, 255}), COMP_GREATER, 1},
        {tuple_of({1, 2, 3}), int_cell(1), COMP_EQUAL, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_TUPLE)(&c.a, &c.b, c.op), c.result)
            << typed_mold(c.a) << " " << typed_mold(c.b) << " op " << c.op;
}

TEST(TupleCell, LengthInTheHeaderBytesAfterIt) {
    Cell t = tuple_of({9, 8, 7, 6, 5});
    EXPECT_EQ(t.header, uint32_t(5) << 19 | TYPE_TUPLE);
    EXPECT_EQ(tuple::length_of(&t), 5);
    const uint8_t expected[12] = {9, 8, 7, 6, 5};
    EXPECT_EQ(std::memcmp(tuple::bytes_of(&t), expected, 12), 0);
}

TEST(TupleHelpers, MakersForOtherModules) {
    stack::reset();
    const int32_t pixel[] = {0x1FF, 2, -1, 4};
    EXPECT_EQ(typed_mold(*tuple::push_from_ints(4, pixel)), "tuple! 255.2.255.4");
    EXPECT_EQ(typed_mold(*tuple::push_from_ints(1, pixel)), "tuple! 255.0.0");
    const int32_t many[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    EXPECT_EQ(typed_mold(*tuple::push_from_ints(14, many)), "tuple! 1.2.3.4.5.6.7.8.9.10.11.12");
    Cell* pushed = tuple::push(5, 0x04030201, 5, 0);
    EXPECT_EQ(pushed->header, uint32_t(5) << 19 | TYPE_TUPLE);
    EXPECT_EQ(typed_mold(*pushed), "tuple! 1.2.3.4.5");
    stack::reset();

    Cell c;
    EXPECT_EQ(typed_mold(*tuple::make_rgba(&c, 10, 20, 30, -1)), "tuple! 10.20.30");
    EXPECT_EQ(typed_mold(*tuple::make_rgba(&c, 10, 20, 30, 0)), "tuple! 10.20.30.0");
    Cell issue = issue::load("0A0B0C"), result;
    EXPECT_EQ(typed_mold(*tuple::from_issue(&issue, &result)), "tuple! 10.11.12");

    EXPECT_TRUE(tuple::zero_q(&(c = tuple_of({0, 0, 0, 0}))));
    EXPECT_FALSE(tuple::zero_q(&(c = tuple_of({0, 0, 0, 1}))));
}

TEST(TuplePoke, ClampsStoresAndTruncates) {
    struct Case {
        std::vector<uint8_t> bytes;
        int32_t index;
        Cell value;
        const char* result;
    };
    const Case cases[] = {
        {{1, 2, 3, 4}, 2, int_cell(300), "tuple! 1.255.3.4"},
        {{1, 2, 3, 4}, 2, int_cell(-5), "tuple! 1.0.3.4"},
        {{1, 2, 3, 4}, 4, value_of(TYPE_NONE), "tuple! 1.2.3"},
        {{1, 2, 3, 4, 5, 6}, 5, value_of(TYPE_NONE), "tuple! 1.2.3.4"},
        // Never fewer than three bytes; those cut are zeroed.
        {{1, 2, 3, 4}, 1, value_of(TYPE_NONE), "tuple! 0.0.0"},
        {{1, 2, 3}, 0, int_cell(1), "script/out-of-range"},
        {{1, 2, 3}, 4, int_cell(1), "script/out-of-range"},
    };
    for (const Case& c : cases) {
        Cell t = tuple_of(c.bytes);
        std::string error = error_of([&] { tuple::poke(&t, c.index, &c.value); });
        EXPECT_EQ(error.empty() ? typed_mold(t) : error, c.result) << c.index;
        if (error.empty()) {
            // The bytes past the length stay zero, so equality and hashing see none.
            const uint8_t* b = tuple::bytes_of(&t);
            for (int i = tuple::length_of(&t); i < tuple::MAX_LENGTH; i++) EXPECT_EQ(b[i], 0) << i;
        }
    }
}

TEST(TupleMath, ByteOperationsSaturate) {
    struct Case {
        int action;
        Cell left, right;
        const char* result;
    };
    const Case cases[] = {
        {ACT_ADD, tuple_of({250, 2, 3}), int_cell(10), "tuple! 255.12.13"},
        {ACT_MULTIPLY, tuple_of({1, 2, 3}), int_cell(INT32_MAX), "tuple! 255.255.255"},
        {ACT_SUBTRACT, tuple_of({1, 2, 3}), int_cell(INT32_MIN), "tuple! 255.255.255"},
        {ACT_ADD, tuple_of({1, 2, 3}), int_cell(INT32_MIN), "tuple! 0.0.0"},
        {ACT_MULTIPLY, tuple_of({0, 2, 3}), int_cell(INT32_MIN), "tuple! 0.0.0"},
        {ACT_DIVIDE, tuple_of({10, 20, 30}), int_cell(-3), "tuple! 0.0.0"},
        {ACT_REMAINDER, tuple_of({10, 20, 30}), int_cell(INT32_MIN), "tuple! 10.20.30"},
        {ACT_OR_T, tuple_of({1, 2, 3}), int_cell(-1), "tuple! 0.0.0"},
        {ACT_XOR_T, tuple_of({1, 2, 3}), int_cell(0x100), "tuple! 255.255.255"},
        {ACT_DIVIDE, tuple_of({1, 2, 3, 4}), tuple_of({1, 1, 1}), "math/zero-divide"},
        {ACT_ADD, tuple_of({1, 2, 3}), int_cell(1, TYPE_CHAR), "script/invalid-type"},
        {ACT_ADD, tuple_of({1, 2, 3}), float_cell(NAN), "tuple! 0.0.0"},
        {ACT_MULTIPLY, tuple_of({1, 2, 3}), float_cell(1e300), "tuple! 255.255.255"},
        {ACT_ADD, tuple_of({1, 2, 3}), percent_cell(0.5), "tuple! 1.2.3"},
        {ACT_AND_T, tuple_of({1, 2, 3}), float_cell(1.0), "script/cannot-use"},
    };
    for (const Case& c : cases) {
        std::string got;
        std::string error = error_of([&] { got = typed_mold(stack_action(c.action, {c.left, c.right})); });
        EXPECT_EQ(error.empty() ? got : error, c.result)
            << ACTION_NAMES[c.action] << " " << typed_mold(c.left) << " " << typed_mold(c.right);
    }
}
