// point2D! and point3D!: construction, the coordinate text, tolerant,
// strict and bit comparison, ordering, single precision storage, the point
// math and random draws. (The behaviour seen from Zel: tests/cases/point.cases.)
#include <bit>
#include <cmath>
#include <string>

#include "foundation/compare.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/simple_types.h"
#include "tests/support/binary_outcome.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

TEST(PointMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        int type;
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {TYPE_POINT2D, int_cell(3), "point2D! (3, 3)"},
        {TYPE_POINT2D, float_cell(2.5), "point2D! (2.5, 2.5)"},
        {TYPE_POINT2D, pair_cell(1, 2), "point2D! (1, 2)"},
        {TYPE_POINT2D, block_of({int_cell(1), float_cell(2.5)}), "point2D! (1, 2.5)"},
        {TYPE_POINT2D, block_of({int_cell(1), int_cell(2), int_cell(3)}), "point2D! (1, 2)"},
        {TYPE_POINT2D, block_of({int_cell(1)}), "syntax/malconstruct"},
        {TYPE_POINT2D, block_of({int_cell(1), text("2")}), "syntax/malconstruct"},
        {TYPE_POINT2D, point2(1.5f, -2.0f), "point2D! (1.5, -2)"},
        {TYPE_POINT2D, point3(1.0f, 2.0f, 3.0f), "script/bad-to-arg"},
        {TYPE_POINT2D, value_of(TYPE_NONE), "script/bad-to-arg"},
        {TYPE_POINT3D, int_cell(-1), "point3D! (-1, -1, -1)"},
        {TYPE_POINT3D, pair_cell(1, 2), "point3D! (1, 2, 0)"},
        {TYPE_POINT3D, point2(1.0f, 2.0f), "point3D! (1, 2, 0)"},
        {TYPE_POINT3D, point3(1.0f, 2.0f, 3.0f), "point3D! (1, 2, 3)"},
        {TYPE_POINT3D, block_of({int_cell(1), int_cell(2)}), "syntax/malconstruct"},
        {TYPE_POINT3D, block_of({int_cell(1), int_cell(2), float_cell(0.5)}),
         "point3D! (1, 2, 0.5)"},
        {TYPE_POINT3D, logic::g_true, "script/bad-to-arg"},
        // Text is loaded as one value, which the loader does not do yet.
        {TYPE_POINT3D, text("(1, 2, 3)"), "point3D! (1, 2, 3)"},
        {TYPE_POINT3D, text("(1, 2)"), "script/bad-to-arg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(make_and_to(c.type, c.spec), c.result) << typed_mold(c.spec) << " to " << c.type;
}

TEST(PointMakeAndTo, CoordinatesKeepSinglePrecision) {
    Cell spec = block_of({float_cell(0.1), int_cell(16777217)}), result;
    datatype::handler<ACT_MAKE>(TYPE_POINT2D)(&result, &spec, TYPE_POINT2D);
    EXPECT_EQ(point::get(&result, 0), 0.1f);
    EXPECT_EQ(double(point::get(&result, 0)), 0.10000000149011612);
    EXPECT_EQ(point::get(&result, 1), 16777216.0f);
    EXPECT_EQ(result.data3, 0u) << "point2D! leaves the third word alone";
}

// Form writes each coordinate to 7 digits; mold writes as many as it needs
// to load back the same (when that differs, the mold text follows).
TEST(PointText, CoordinatesInParenthesesSeparatedByCommas) {
    struct Case {
        Cell point;
        const char* text;
        const char* mold = nullptr;
    };
    const Case cases[] = {
        {point2(1.5f, 2.0f), "(1.5, 2)"},
        {point3(0.0f, 0.0f, 1.0f), "(0, 0, 1)"},
        {point2(0.1f, -0.0f), "(0.1, 0)", "(0.1, -0)"},
        {point2(1e10f, -1.25f), "(1e10, -1.25)"},
        {point2(1.0f / 3.0f, 123456789.0f), "(0.3333333, 1.234568e8)", "(0.33333334, 123456792)"},
        {point2(1.1111111e31f, 1e-5f), "(1.111111e31, 1e-5)", "(1.1111111e31, 1e-5)"},
        {point3(INFINITY, -INFINITY, NAN), "(1.#INF, -1.#INF, 1.#NaN)"},
    };
    for (const Case& c : cases) {
        if (!c.mold) {
            EXPECT_EQ(form_and_mold(c.point), c.text);
            continue;
        }
        EXPECT_EQ(written_by_form(c.point).text, c.text);
        EXPECT_EQ(written_by_mold(c.point).text, c.mold);
    }
}

TEST(PointCompare, ToleranceStrictnessAndOrder) {
    const float one_ulp_above_2 = std::nextafter(2.0f, 3.0f);
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {point2(1, 2), point2(1, one_ulp_above_2), COMP_EQUAL, 0},
        {point2(1, 2), point2(1, one_ulp_above_2), COMP_NOT_EQUAL, 0},
        {point2(1, 2), point2(1, one_ulp_above_2), COMP_STRICT_EQUAL, 1},
        {point2(1, 2), point2(1, 2.5f), COMP_EQUAL, 1},
        {point2(0.0f, 1), point2(-0.0f, 1), COMP_STRICT_EQUAL, 0},
        {point2(0.0f, 1), point2(-0.0f, 1), COMP_SAME, 1},
        {point2(NAN, 1), point2(NAN, 1), COMP_EQUAL, 1},
        {point2(1, 2), point2(1, 3), COMP_LESSER, -1},
        {point2(2, 0), point2(1, 100), COMP_GREATER, 1},
        {point2(1, 2), point2(1, one_ulp_above_2), COMP_LESSER, -1},
        {point3(1, 2, 3), point3(1, 2, 4), COMP_LESSER, -1},
        {point3(1, 2, 3), point3(1, 2, 3), COMP_SAME, 0},
        {point2(1, 2), pair_cell(1, 2), COMP_EQUAL, 0},
        {point2(1, 2.5f), pair_cell(1, 2), COMP_GREATER, 1},
        {point3(1, 2, 0), pair_cell(1, 2), COMP_EQUAL, -2},
        {point2(1, 2), point3(1, 2, 0), COMP_EQUAL, -2},
        {point2(1, 2), int_cell(1), COMP_EQUAL, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(type_of(&c.a))(&c.a, &c.b, c.op), c.result)
            << typed_mold(c.a) << " " << typed_mold(c.b) << " op " << c.op;
}

// The point math: doubles per coordinate stored back as singles, except a
// float factor or divisor, which meets the coordinates as a single.
TEST(PointMath, CoordinatesBySinglesAndDoubles) {
    const double just_above_one = 1.0000000605359674;  // 1 + 2^-24 + 2^-30
    const BinaryCase cases[] = {
        {ACT_ADD, point2(1, 2), point2(0.5f, 0.25f), "point2D! (1.5, 2.25)"},
        {ACT_SUBTRACT, point3(1, 2, 3), point3(1, 1, 1), "point3D! (0, 1, 2)"},
        {ACT_REMAINDER, point2(7.5f, -7), int_cell(2), "point2D! (1.5, -1)"},
        {ACT_ADD, point2(1, 2), pair_cell(-1, 1), "point2D! (0, 3)"},
        // 3 x the single of just_above_one rounds up; 3 x the double would not.
        {ACT_MULTIPLY, point2(3, 0), float_cell(just_above_one), "point2D! (3.0000005, 0)"},
        {ACT_MULTIPLY, point3(3, 0, 1), percent_cell(just_above_one), "point3D! (3.0000005, 0, 1.0000001)"},
        // Added on doubles: 3 + just_above_one is 4 as a single.
        {ACT_ADD, point2(3, 0), float_cell(just_above_one), "point2D! (4, 1.0000001)"},
        {ACT_DIVIDE, point2(1, 0), float_cell(0.0), "point2D! (1.#INF, 1.#NaN)"},
        {ACT_DIVIDE, point2(1, 2), int_cell(0), "point2D! (1.#INF, 1.#INF)"},
        {ACT_MULTIPLY, point2(3e38f, 1), int_cell(10), "point2D! (1.#INF, 10)"},
        {ACT_ADD, point3(1, 2, 3), pair_cell(1, 1), "script/invalid-type"},
        {ACT_ADD, point2(1, 2), point3(1, 2, 3), "script/invalid-type"},
        {ACT_ADD, point2(1, 2), time_cell(1.0), "script/invalid-type"},
    };
    for (const BinaryCase& c : cases) check_binary(c);
}

TEST(PointRandom, EachCoordinateWithinZeroAndItselfAndSeedsRepeat) {
    auto random_ = datatype::handler<ACT_RANDOM>(TYPE_POINT3D);
    const float coords[] = {1e-3f, -5.0f, 3e38f};
    for (int i = 0; i < 300; i++) {
        Cell p = point3(coords[0], coords[1], coords[2]);
        random_(&p, false, i % 2 == 1, false);
        for (int k = 0; k < 3; k++) {
            float r = point::get(&p, k), c = coords[k];
            EXPECT_TRUE(c > 0 ? r >= 0.0f && r <= c : r <= 0.0f && r >= c) << r << " for " << c;
        }
    }
    Cell zero = point2(0.0f, -0.0f);
    random_(&zero, false, false, false);
    EXPECT_EQ(std::bit_cast<uint32_t>(point::get(&zero, 1)), 0x80000000u) << "a zero stays as it was";

    auto sequence = [&](Cell seed) {
        EXPECT_EQ(type_of(datatype::handler<ACT_RANDOM>(type_of(&seed))(&seed, true, false, false)),
                  TYPE_UNSET);
        std::string s;
        for (int i = 0; i < 8; i++) {
            Cell p = point2(1e6f, -1e6f);
            s += typed_mold(*random_(&p, false, false, false)) + " ";
        }
        return s;
    };
    EXPECT_EQ(sequence(point2(1, 2)), sequence(point2(1, 2)));
    EXPECT_EQ(sequence(point3(1, 2, 3)), sequence(point3(1, 2, 3)));
    EXPECT_NE(sequence(point2(1, 2)), sequence(point2(2, 1)));
    EXPECT_NE(sequence(point2(1, 2)), sequence(point3(1, 2, 0)));
}
