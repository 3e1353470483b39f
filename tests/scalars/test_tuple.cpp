// tuple!: construction from blocks, issues and binaries, the dotted text,
// comparison over the longer length, and the cell layout.
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
        {block_of({float_cell(1e10)}), "script/bad-to-arg"},
        {block_of({float_cell(NAN)}), "script/bad-to-arg"},
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
