// pair! and triple!: construction, text, comparison (with points too) and
// the change into a point.
#include <cmath>

#include "foundation/compare.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/triple.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

TEST(PairMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {pair_cell(3, -4), "pair! 3x-4"},
        {int_cell(7), "pair! 7x7"},
        {float_cell(2.7), "pair! 2x2"},
        {float_cell(-2.7), "pair! -2x-2"},
        {float_cell(1e10), "script/out-of-range"},
        {block_of({int_cell(3), float_cell(4.9)}), "pair! 3x4"},
        {block_of({int_cell(1), int_cell(2), text("ignored")}), "pair! 1x2"},
        {block_of({int_cell(3)}), "syntax/malconstruct"},
        {block_of({}), "syntax/malconstruct"},
        {block_of({int_cell(3), text("4")}), "syntax/malconstruct"},
        {block_of({float_cell(NAN), int_cell(1)}), "script/out-of-range"},
        {block_of({int_cell(3), int_cell(4)}, TYPE_PAREN), "script/bad-to-arg"},
        {point2(1.9f, -2.9f), "pair! 1x-2"},
        {point2(NAN, 0.0f), "script/invalid-arg"},
        {point2(0.0f, INFINITY), "script/invalid-arg"},
        {point2(3e9f, 0.0f), "script/invalid-arg"},
        {value_of(TYPE_NONE), "script/bad-to-arg"},
        // Text is loaded as one value, which the loader does not do yet.
        {text("5x6"), "pair! 5x6"},
        {text("5x6 7"), "script/bad-to-arg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(make_and_to(TYPE_PAIR, c.spec), c.result) << typed_mold(c.spec);
}

TEST(PairText, XBetweenTheDecimalComponents) {
    struct Case {
        Cell pair;
        const char* text;
    };
    const Case cases[] = {
        {pair_cell(10, -20), "10x-20"},
        {pair_cell(0, 0), "0x0"},
        {pair_cell(INT32_MIN, INT32_MAX), "-2147483648x2147483647"},
    };
    for (const Case& c : cases) EXPECT_EQ(form_and_mold(c.pair), c.text);
}

TEST(PairCompare, XFirstThenYAndPointsAsPoints) {
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {pair_cell(1, 2), pair_cell(1, 3), COMP_LESSER, -1},
        {pair_cell(2, 0), pair_cell(1, 100), COMP_GREATER, 1},
        {pair_cell(INT32_MAX, 0), pair_cell(-1, 0), COMP_GREATER, 1},
        {pair_cell(-5, 7), pair_cell(-5, 7), COMP_STRICT_EQUAL, 0},
        {pair_cell(1, 2), point2(1.0f, 2.0f), COMP_EQUAL, 0},
        {pair_cell(1, 2), point2(1.0f, 2.5f), COMP_LESSER, -1},
        {pair_cell(1, 2), int_cell(1), COMP_EQUAL, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_PAIR)(&c.a, &c.b, c.op), c.result)
            << typed_mold(c.a) << " " << typed_mold(c.b) << " op " << c.op;
}

TEST(PairToPoint, SameCoordinatesAsSingles) {
    Cell c = pair_cell(3, -4);
    pair::to_point(&c);
    EXPECT_EQ(type_of(&c), TYPE_POINT2D);
    EXPECT_EQ(point::get(&c, 0), 3.0f);
    EXPECT_EQ(point::get(&c, 1), -4.0f);
}

TEST(TripleText, MakeBlockOfTheThreeIntegers) {
    Cell t;
    triple::make_at(&t, 1, -2, INT32_MAX);
    EXPECT_EQ(form_and_mold(t), "make triple! [1 -2 2147483647]");
    EXPECT_EQ(datatype::raw_handler(TYPE_TRIPLE, ACT_MAKE), nullptr);
}
