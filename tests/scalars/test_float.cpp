// float! and percent!: the double core and the result types of mixed
// operands, tolerant and exact comparison, round with every refinement and
// scale type, power, make and to, text, the unary actions, random, the
// floating-point mode and the helpers.
#include <cfenv>
#include <cmath>
#include <limits>

#include "foundation/compare.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/percent.h"
#include "scalars/scalar_math.h"
#include "scalars/simple_types.h"
#include "scalars/tuple.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
const double NaN = std::nan("");

std::string outcome(int action, Cell left, Cell right) {
    std::string got;
    std::string error = error_of([&] { got = typed_mold(stack_action(action, {left, right})); });
    return error.empty() ? got : error;
}

// The double `steps` representable values above d.
double ulps_above(double d, int steps) {
    while (steps-- > 0) d = std::nextafter(d, INF);
    return d;
}

// The float math core on two values pushed as arguments.
Cell core_math(int op, Cell left, Cell right) {
    stack::reset();
    stack::push(&left);
    stack::push(&right);
    Cell result = *float_::do_math(op);
    stack::reset();
    return result;
}

}  // namespace

TEST(FloatMath, DoubleCore) {
    struct Case {
        double x, y;
        int op;
        double result;
    };
    using namespace scalar_math;
    const Case cases[] = {
        {0.1, 0.2, OP_ADD, 0.30000000000000004},
        {1.0, 0.0, OP_DIVIDE, INF},
        {-1.0, 0.0, OP_DIVIDE, -INF},
        {5.5, 2.0, OP_REMAINDER, 1.5},
        {-5.5, 2.0, OP_REMAINDER, -1.5},
        {5.5, -2.0, OP_REMAINDER, 1.5},
        {5.0, INF, OP_REMAINDER, 5.0},
        {-5.0, -INF, OP_REMAINDER, -5.0},
        {3.0, 1.5, OP_MULTIPLY, 4.5},
        {3.0, 1.5, OP_SUBTRACT, 1.5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(float_::do_math_op(c.x, c.y, c.op), c.result) << c.x << " " << c.y;
    const Case nans[] = {
        {0.0, 0.0, OP_DIVIDE, 0},    {5.0, 0.0, OP_REMAINDER, 0}, {INF, 2.0, OP_REMAINDER, 0},
        {INF, INF, OP_REMAINDER, 0}, {5.0, NaN, OP_REMAINDER, 0}, {NaN, 2.0, OP_REMAINDER, 0},
    };
    for (const Case& c : nans)
        EXPECT_TRUE(std::isnan(float_::do_math_op(c.x, c.y, c.op))) << c.x << " " << c.y;
    for (int op : {OP_OR, OP_AND, OP_XOR})
        EXPECT_EQ(error_of([op] { float_::do_math_op(1.0, 2.0, op); }), "script/cannot-use");
}

TEST(FloatMath, ResultTypeFollowsTheOperands) {
    using namespace scalar_math;
    Cell time = float_cell(5.0, TYPE_TIME);
    struct Case {
        int op;
        Cell left, right;
        const char* result;
    };
    const Case cases[] = {
        {OP_ADD, float_cell(0.5), int_cell(1), "float! 1.5"},
        {OP_ADD, float_cell(0.5), int_cell(1, TYPE_CHAR), "float! 1.5"},
        {OP_ADD, percent_cell(0.5), int_cell(1), "percent! 150%"},
        {OP_ADD, float_cell(0.5), percent_cell(0.5), "float! 1.0"},
        {OP_ADD, percent_cell(0.5), percent_cell(0.25), "percent! 75%"},
        {OP_MULTIPLY, percent_cell(0.5), float_cell(3.0), "percent! 150%"},
        {OP_DIVIDE, float_cell(1.0), int_cell(0), "float! 1.#INF"},
        {OP_DIVIDE, float_cell(-1.0), float_cell(0.0), "float! -1.#INF"},
        {OP_DIVIDE, float_cell(0.0), float_cell(0.0), "float! 1.#NaN"},
        {OP_REMAINDER, float_cell(5.5), int_cell(2), "float! 1.5"},
        {OP_SUBTRACT, float_cell(0.1), float_cell(0.1), "float! 0.0"},
        {OP_ADD, percent_cell(0.5), int_cell(1, TYPE_CHAR), "script/invalid-type"},
        {OP_ADD, time, int_cell(1, TYPE_CHAR), "script/invalid-type"},
        {OP_ADD, time, value_of(TYPE_PAIR), "script/invalid-type"},
        {OP_ADD, float_cell(1.0), value_of(TYPE_STRING), "script/invalid-type"},
        {OP_ADD, float_cell(1.0), logic::g_true, "script/invalid-type"},
        {OP_AND, float_cell(1.0), int_cell(1), "script/cannot-use"},
        {OP_SUBTRACT, float_cell(1.0), value_of(TYPE_PAIR), "script/not-related"},
        {OP_DIVIDE, float_cell(1.0), value_of(TYPE_POINT2D), "script/not-related"},
        {OP_SUBTRACT, percent_cell(1.0), value_of(TYPE_POINT3D), "script/not-related"},
        {OP_ADD, float_cell(1.5), pair_cell(1, 2), "pair! 2x3"},
        {OP_MULTIPLY, float_cell(2.5), point2(1.0f, 2.0f), "point2D! (2.5, 5)"},
        {OP_MULTIPLY, float_cell(2.5), value_of(TYPE_TUPLE | 3 << tuple::LENGTH_SHIFT, 0x030201),
         "tuple! 2.5.7"},
        {OP_ADD, float_cell(1.0), value_of(TYPE_MONEY), "money! $1.00"},
    };
    for (const Case& c : cases) {
        std::string got;
        std::string error = error_of([&] { got = typed_mold(core_math(c.op, c.left, c.right)); });
        EXPECT_EQ(error.empty() ? got : error, c.result)
            << c.op << " " << typed_mold(c.left) << " " << typed_mold(c.right);
    }
    // The actions reach the same core.
    EXPECT_EQ(typed_mold(stack_action(ACT_ADD, {percent_cell(0.5), int_cell(1)})), "percent! 150%");
    EXPECT_EQ(typed_mold(stack_action(ACT_SUBTRACT, {float_cell(2.0), float_cell(0.5)})), "float! 1.5");

    // A time on either side makes a time.
    for (Cell left : {float_cell(1.5), percent_cell(0.5), int_cell(2), time}) {
        Cell sum = core_math(OP_ADD, left, time);
        EXPECT_EQ(type_of(&sum), TYPE_TIME);
        EXPECT_EQ(float_::get(&sum),
                  5.0 + (type_of(&left) == TYPE_INTEGER ? 2.0 : float_::get(&left)));
    }
    Cell t = core_math(OP_MULTIPLY, time, int_cell(3));
    EXPECT_EQ(type_of(&t), TYPE_TIME);
    EXPECT_EQ(float_::get(&t), 15.0);

    ErrorThrow e = caught_error([] { core_math(OP_DIVIDE, float_cell(1.0), value_of(TYPE_PAIR)); });
    EXPECT_EQ(type_named_by(e.args[1]), TYPE_PAIR);
    e = caught_error([] { core_math(OP_ADD, percent_cell(1.0), int_cell(1, TYPE_CHAR)); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_CHAR);
}

TEST(FloatCompare, ToleranceExactnessAndIdentity) {
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const double one_ten = ulps_above(1.0, 10), one_eleven = ulps_above(1.0, 11);
    const double big = 1e300, big_ten = ulps_above(1e300, 10), big_eleven = ulps_above(1e300, 11);
    const Case cases[] = {
        {float_cell(0.1 + 0.2), float_cell(0.3), COMP_EQUAL, 0},
        {float_cell(0.1 + 0.2), float_cell(0.3), COMP_NOT_EQUAL, 0},
        {float_cell(0.1 + 0.2), float_cell(0.3), COMP_STRICT_EQUAL, 1},
        {float_cell(1.0), float_cell(one_ten), COMP_EQUAL, 0},
        {float_cell(1.0), float_cell(one_eleven), COMP_EQUAL, 1},
        {float_cell(big), float_cell(big_ten), COMP_EQUAL, 0},
        {float_cell(big), float_cell(big_eleven), COMP_EQUAL, 1},
        {float_cell(-big_ten), float_cell(-big), COMP_EQUAL, 0},
        {float_cell(big), float_cell(big_ten), COMP_STRICT_EQUAL, 1},
        {float_cell(1e-17), float_cell(0.0), COMP_EQUAL, 0},
        {float_cell(-5e-324), float_cell(5e-324), COMP_EQUAL, 0},
        {float_cell(1e17), float_cell(-1e17), COMP_EQUAL, 1},
        {float_cell(INF), float_cell(INF), COMP_EQUAL, 0},
        {float_cell(INF), float_cell(-INF), COMP_EQUAL, 1},
        {float_cell(NaN), float_cell(NaN), COMP_EQUAL, 1},
        {float_cell(NaN), float_cell(NaN), COMP_STRICT_EQUAL, 1},
        {float_cell(NaN), float_cell(NaN), COMP_SAME, 0},
        {float_cell(NaN), float_cell(1.0), COMP_LESSER, 1},
        {float_cell(NaN), float_cell(1.0), COMP_LESSER_EQUAL, 1},
        {float_cell(1.0), float_cell(NaN), COMP_GREATER, -1},
        {float_cell(1.0), float_cell(NaN), COMP_GREATER_EQUAL, -1},
        {float_cell(1.0), float_cell(NaN), COMP_FIND, 0},
        {float_cell(0.0), float_cell(-0.0), COMP_STRICT_EQUAL, 0},
        {float_cell(0.0), float_cell(-0.0), COMP_SAME, 1},
        {float_cell(0.5), float_cell(0.5), COMP_SAME, 0},
        {float_cell(0.5), percent_cell(0.5), COMP_EQUAL, 0},
        {float_cell(0.5), percent_cell(0.5), COMP_STRICT_EQUAL, 1},
        {float_cell(0.5), percent_cell(0.5), COMP_SAME, 1},
        {float_cell(0.5), percent_cell(0.5), COMP_FIND, 1},
        {percent_cell(0.5), percent_cell(0.5), COMP_FIND, 0},
        {float_cell(1.0), int_cell(1), COMP_EQUAL, 0},
        {float_cell(1.0), int_cell(1), COMP_STRICT_EQUAL, 1},
        {float_cell(1.5), int_cell(2), COMP_LESSER, -1},
        {float_cell(-1.0), float_cell(2.0), COMP_SORT, -1},
        {float_cell(60.0, TYPE_TIME), float_cell(60.0), COMP_EQUAL, 0},
        {float_cell(1.0), int_cell(1, TYPE_CHAR), COMP_EQUAL, -2},
        {float_cell(1.0), value_of(TYPE_STRING), COMP_LESSER, -2},
        // Magnitudes money cannot hold order by their sign, before any conversion.
        {float_cell(1e-6), value_of(TYPE_MONEY), COMP_EQUAL, 1},
        {float_cell(-1e18), value_of(TYPE_MONEY), COMP_EQUAL, -1},
    };
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_FLOAT);
    for (Case c : cases)
        EXPECT_EQ(compare(&c.a, &c.b, c.op), c.result)
            << typed_mold(c.a) << " op " << c.op << " " << typed_mold(c.b);
    EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_PERCENT), compare);
}

TEST(FloatCompare, AlmostEqual32) {
    const float max = std::numeric_limits<float>::max(),
                inf = std::numeric_limits<float>::infinity();
    float ten = 1.0f, eleven;
    for (int i = 0; i < 10; i++) ten = std::nextafter(ten, inf);
    eleven = std::nextafter(ten, inf);
    EXPECT_TRUE(float_::almost_equal32_q(1.0f, ten));
    EXPECT_FALSE(float_::almost_equal32_q(1.0f, eleven));
    EXPECT_TRUE(float_::almost_equal32_q(-ten, -1.0f));
    EXPECT_TRUE(float_::almost_equal32_q(0.0f, -0.0f));
    EXPECT_TRUE(float_::almost_equal32_q(max, inf));  // an overflow is a rounding too
    EXPECT_FALSE(float_::almost_equal32_q(-max, inf));
    EXPECT_FALSE(float_::almost_equal32_q(std::nanf(""), std::nanf("")));
    EXPECT_FALSE(float_::almost_equal32_q(1.0f, 2.0f));
}

TEST(FloatRound, EveryRefinement) {
    struct Case {
        double n;
        const char* refinement;
        double result;
    };
    const Case cases[] = {
        {2.5, "", 3.0},
        {-2.5, "", -3.0},
        {2.4, "", 2.0},
        {2.6, "", 3.0},
        {2.5, "even", 2.0},
        {3.5, "even", 4.0},
        {-3.5, "even", -4.0},
        {2.5, "half-down", 2.0},
        {-2.5, "half-down", -2.0},
        {-2.5, "half-ceiling", -2.0},
        {2.5, "half-ceiling", 3.0},
        {-2.1, "floor", -3.0},
        {2.9, "floor", 2.0},
        {-2.1, "ceiling", -2.0},
        {2.1, "ceiling", 3.0},
        {-2.9, "down", -2.0},
        {2.9, "down", 2.0},
        {1e300, "", 1e300},
        {4503599627370497.0, "", 4503599627370497.0},  // below the precision: untouched
    };
    for (const Case& c : cases) {
        Cell r = round_of(float_cell(c.n), nullptr, c.refinement);
        EXPECT_EQ(type_of(&r), TYPE_FLOAT);
        EXPECT_EQ(float_::get(&r), c.result) << c.n << " /" << c.refinement;
    }
    Cell r = round_of(float_cell(NaN), nullptr, "");
    EXPECT_TRUE(std::isnan(float_::get(&r)));
    r = round_of(float_cell(-INF), nullptr, "floor");
    EXPECT_EQ(float_::get(&r), -INF);
}

TEST(FloatRound, ScalesAndTheirTypes) {
    struct Case {
        Cell n, scale;
        const char* refinement;
        const char* result;
    };
    const Case cases[] = {
        {float_cell(1.2345), float_cell(0.01), "", "float! 1.23"},
        {float_cell(1.235), float_cell(-0.01), "down", "float! 1.23"},
        {float_cell(7.3), int_cell(2), "", "integer! 8"},
        {float_cell(-7.3), int_cell(2), "", "integer! -8"},
        {float_cell(17.0), int_cell(5), "floor", "integer! 15"},
        {percent_cell(0.12345), float_cell(0.1), "", "float! 0.123"},
        {percent_cell(0.12345), int_cell(1), "", "integer! 0"},
        {float_cell(12.0), percent_cell(0.5), "", "percent! 1200%"},
        {float_cell(5.0), float_cell(0.0), "", "float! 5.0"},
        {float_cell(0.0), float_cell(0.0), "", "float! 0.0"},
        {float_cell(0.0), int_cell(0), "", "integer! 0"},
        {float_cell(2.5e9), int_cell(1), "", "math/overflow"},
        {float_cell(-2147483648.4), int_cell(1), "", "integer! -2147483648"},
        {float_cell(-2147483648.6), int_cell(1), "", "math/overflow"},
        {float_cell(NaN), int_cell(1), "", "math/overflow"},
        {float_cell(INF), int_cell(1), "", "math/overflow"},
        {float_cell(1.7e308), float_cell(1e308), "", "math/overflow"},
        {float_cell(-1.7e308), float_cell(1e308), "ceiling", "float! -1.0e308"},
        {float_cell(1.0), value_of(TYPE_MONEY), "", "script/not-related"},
        {float_cell(1.0), value_of(TYPE_STRING), "", "script/expect-arg"},
    };
    for (const Case& c : cases) {
        std::string got;
        std::string error = error_of([&] { got = typed_mold(round_of(c.n, &c.scale, c.refinement)); });
        EXPECT_EQ(error.empty() ? got : error, c.result) << typed_mold(c.n) << " /to " << typed_mold(c.scale);
    }

    Cell r = round_of(percent_cell(0.12345), nullptr, "");  // in whole percentage points
    EXPECT_EQ(typed_mold(r), "percent! 12%");
    Cell minute = float_cell(60.0, TYPE_TIME);
    r = round_of(float_cell(100.0), &minute, "");
    EXPECT_EQ(type_of(&r), TYPE_TIME);
    EXPECT_EQ(float_::get(&r), 120.0);

    // Scales below 2^-1021 are split into mantissa and binary exponent.
    Cell tiny = float_cell(1e-310);
    r = round_of(float_cell(3.3e-310), &tiny, "");
    EXPECT_NEAR(float_::get(&r) / 1e-310, 3.0, 1e-9);
    r = round_of(float_cell(3.3e-310), &tiny, "ceiling");
    EXPECT_NEAR(float_::get(&r) / 1e-310, 4.0, 1e-9);
}

TEST(FloatPower, ExponentTypesAndSpecials) {
    struct Case {
        Cell number, exponent;
        const char* result;
    };
    const Case cases[] = {
        {float_cell(2.0), float_cell(0.5), "float! 1.4142135623730951"},
        {float_cell(-8.0), float_cell(1.0 / 3), "float! 1.#NaN"},
        {float_cell(2.0), int_cell(3), "float! 8.0"},
        {float_cell(0.0), int_cell(-1), "float! 1.#INF"},
        {percent_cell(0.5), int_cell(2), "percent! 25%"},
        {float_cell(2.0), percent_cell(0.5), "script/expect-arg"},
        {float_cell(2.0), value_of(TYPE_NONE), "script/expect-arg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outcome(ACT_POWER, c.number, c.exponent), c.result) << typed_mold(c.number);
}

TEST(FloatMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        int target;
        const char* result;
    };
    std::string long_text = "0." + std::string(309, '0') + "1";  // 312 characters: still float text
    const Case cases[] = {
        {int_cell(-3), TYPE_FLOAT, "float! -3.0"},
        {int_cell(65, TYPE_CHAR), TYPE_FLOAT, "float! 65.0"},
        {percent_cell(0.5), TYPE_FLOAT, "float! 0.5"},
        {float_cell(0.5), TYPE_PERCENT, "percent! 50%"},
        {int_cell(50), TYPE_PERCENT, "percent! 5000%"},
        {float_cell(90.5, TYPE_TIME), TYPE_FLOAT, "float! 90.5"},
        {binary_of({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}), TYPE_FLOAT, "float! 1.0"},
        {binary_of({0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0xFF}), TYPE_FLOAT, "float! 1.0"},
        {binary_of({0x01}), TYPE_FLOAT, "float! 5.0e-324"},
        {binary_of({}), TYPE_FLOAT, "float! 0.0"},
        {block_of({float_cell(1.5), int_cell(3)}), TYPE_FLOAT, "float! 1500.0"},
        {block_of({int_cell(2), int_cell(-1)}), TYPE_FLOAT, "float! 0.2"},
        {block_of({int_cell(2), float_cell(-1.9)}, TYPE_PAREN), TYPE_FLOAT, "float! 0.2"},
        {block_of({int_cell(5), int_cell(-1)}), TYPE_PERCENT, "percent! 50%"},
        {block_of({int_cell(1), int_cell(2), int_cell(3)}), TYPE_FLOAT, "script/bad-to-arg"},
        {block_of({int_cell(1)}), TYPE_FLOAT, "script/bad-to-arg"},
        {block_of({int_cell(1), text("2")}), TYPE_FLOAT, "script/bad-to-arg"},
        {block_of({int_cell(1), float_cell(1e300)}), TYPE_FLOAT, "script/bad-to-arg"},
        {block_of({int_cell(1), float_cell(NaN)}), TYPE_FLOAT, "script/bad-to-arg"},
        {text("1,5"), TYPE_FLOAT, "float! 1.5"},
        {text("1'000.25"), TYPE_FLOAT, "float! 1000.25"},
        {text("1.5e3"), TYPE_FLOAT, "float! 1500.0"},
        {text("-.5"), TYPE_FLOAT, "float! -0.5"},
        {text("1e400"), TYPE_FLOAT, "float! 1.#INF"},
        {text(long_text.c_str()), TYPE_FLOAT, "float! 1.0e-310"},
        {text(("1" + long_text).c_str()), TYPE_FLOAT, "script/bad-to-arg"},
        {text("abc"), TYPE_FLOAT, "script/bad-to-arg"},
        {text(""), TYPE_FLOAT, "script/bad-to-arg"},
        {text("+-1"), TYPE_FLOAT, "script/bad-to-arg"},
        {text("1.#INF"), TYPE_FLOAT, "script/bad-to-arg"},
        {chars({'2', ',', '5'}, 2), TYPE_FLOAT, "float! 2.5"},
        {chars({'2', 0x012E, '5'}, 4), TYPE_FLOAT, "script/bad-to-arg"},
        {value_of(TYPE_NONE), TYPE_FLOAT, "script/bad-to-arg"},
        {logic::g_true, TYPE_PERCENT, "script/bad-to-arg"},
        {money_cell("-USD$1'234.5"), TYPE_FLOAT, "float! -1234.5"},
        {money_cell("$0.1"), TYPE_FLOAT, "float! 0.1"},
        {money_cell("$0"), TYPE_FLOAT, "float! 0.0"},
        {text("50%"), TYPE_PERCENT, "percent! 50%"},
        {text("0.5"), TYPE_PERCENT, "percent! 50%"},
        {text("2"), TYPE_PERCENT, "percent! 200%"},
        {text("1 2"), TYPE_PERCENT, "script/bad-to-arg"},
        {text("abc"), TYPE_PERCENT, "script/bad-to-arg"},
    };
    auto to = datatype::handler<ACT_TO>(TYPE_FLOAT);
    EXPECT_EQ(datatype::handler<ACT_MAKE>(TYPE_FLOAT), to);
    EXPECT_EQ(datatype::handler<ACT_TO>(TYPE_PERCENT), to);
    for (Case c : cases) {
        Cell result = value_of(TYPE_DATATYPE, uint32_t(c.target));
        std::string got;
        std::string error = error_of([&] { got = typed_mold(*to(&result, &c.spec, c.target)); });
        EXPECT_EQ(error.empty() ? got : error, c.result) << typed_mold(c.spec) << " to " << c.target;
    }

    Cell result, element = text("2"), block = block_of({int_cell(1), element});
    ErrorThrow e = caught_error([&] { to(&result, &block, TYPE_FLOAT); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_FLOAT);
    EXPECT_EQ(node_of(e.args[1]), node_of(element));  // the element, not the block
    Cell none = value_of(TYPE_NONE);
    e = caught_error([&] { to(&result, &none, TYPE_PERCENT); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_PERCENT);
}

TEST(FloatText, FormAndMold) {
    struct Case {
        Cell value;
        const char* form;
        const char* mold;
    };
    const Case cases[] = {
        {float_cell(0.1 + 0.2), "0.3", "0.30000000000000004"},
        {float_cell(100.0), "100.0", "100.0"},
        {float_cell(1e17), "1.0e17", "1.0e17"},
        {float_cell(1e-7), "1.0e-7", "0.0000001"},
        {float_cell(-0.0), "0.0", "-0.0"},
        {float_cell(INF), "1.#INF", "1.#INF"},
        {float_cell(NaN), "1.#NaN", "1.#NaN"},
        {percent_cell(0.5), "50%", "50%"},
        {percent_cell(0.125), "12.5%", "12.5%"},
        {percent_cell(-0.25), "-25%", "-25%"},
        // Form shows 13 digits; mold every digit, without an exponent.
        {percent_cell(1e-22), "0%", "0.00000000000000000001%"},
        {percent_cell(1.0 / 3.0), "33.33333333333%", "33.33333333333333%"},
        {percent_cell(1e20), "1e22%", "10000000000000000000000%"},
        {percent_cell(1.0), "100%", "100%"},
        {percent_cell(-INF), "-1.#INF", "-1.#INF"},
    };
    for (const Case& c : cases) {
        Written f = written_by_form(c.value), m = written_by_mold(c.value, true);
        EXPECT_EQ(f.text, c.form);
        EXPECT_EQ(m.text, c.mold);
        EXPECT_EQ(f.budget, 1000 - int(f.text.size()));
        EXPECT_EQ(m.budget, 1000 - int(m.text.size()));
    }
}

TEST(FloatUnary, AbsoluteNegateParity) {
    auto bits = [](Cell c) { return std::bit_cast<uint64_t>(float_::get(&c)); };
    EXPECT_EQ(bits(stack_action(ACT_ABSOLUTE, {float_cell(-0.0)})), 0u);
    EXPECT_EQ(typed_mold(stack_action(ACT_ABSOLUTE, {percent_cell(-0.5)})), "percent! 50%");
    EXPECT_EQ(typed_mold(stack_action(ACT_ABSOLUTE, {float_cell(-INF)})), "float! 1.#INF");
    auto negate = datatype::handler<ACT_NEGATE>(TYPE_FLOAT);
    for (double d : {0.0, -0.0}) {
        Cell c = float_cell(d);
        EXPECT_EQ(bits(*negate(&c)), 0u) << d;  // never -0.0
    }
    Cell c = percent_cell(0.5);
    EXPECT_EQ(typed_mold(*datatype::handler<ACT_NEGATE>(TYPE_PERCENT)(&c)), "percent! -50%");

    struct Case {
        double d;
        const char* even;
    };
    const Case cases[] = {{2.7, "true"},
                          {-3.5, "false"},
                          {-0.5, "true"},
                          {2147483647.0, "false"},
                          {1e10, "script/type-limit"},
                          {NaN, "script/type-limit"},
                          {-INF, "script/type-limit"}};
    auto even = datatype::handler<ACT_EVEN_Q>(TYPE_FLOAT);
    auto odd = datatype::handler<ACT_ODD_Q>(TYPE_FLOAT);
    for (const Case& k : cases) {
        Cell v = float_cell(k.d);
        bool e = false, o = false;
        std::string error = error_of([&] {
            e = even(&v);
            o = odd(&v);
        });
        EXPECT_EQ(error.empty() ? (e ? "true" : "false") : error, k.even) << k.d;
        if (error.empty()) {
            EXPECT_NE(e, o);
        }
    }
}

TEST(FloatRandom, SeedDrawAndSecure) {
    auto random_ = datatype::handler<ACT_RANDOM>(TYPE_FLOAT);
    auto draw = [&](double d, bool secure = false) {
        Cell c = float_cell(d);
        return float_::get(random_(&c, false, secure, false));
    };
    Cell seed = float_cell(2.5);
    EXPECT_EQ(type_of(random_(&seed, true, false, false)), TYPE_UNSET);
    double first = draw(1.0);
    seed = float_cell(2.5);
    random_(&seed, true, false, false);
    EXPECT_EQ(draw(1.0), first);
    for (int i = 0; i < 100; i++) {
        double r = draw(-10.0);
        EXPECT_TRUE(r <= 0.0 && r >= -10.0) << r;
        r = draw(3.0, true);
        EXPECT_TRUE(r >= 0.0 && r <= 3.0) << r;
    }
    Cell p = percent_cell(0.5);
    EXPECT_EQ(type_of(random_(&p, false, false, false)), TYPE_PERCENT);
}

TEST(FloatHelpers, TestsConstructorsAndRegistration) {
    EXPECT_TRUE(float_::nan_q(NaN));
    EXPECT_FALSE(float_::nan_q(INF));
    EXPECT_TRUE(float_::not_finite_q(-INF));
    EXPECT_TRUE(float_::not_finite_q(NaN));
    EXPECT_FALSE(float_::not_finite_q(float_::MAX_FINITE));
    EXPECT_TRUE(float_::float32_nan_q(std::nanf("")));
    EXPECT_FALSE(float_::float32_nan_q(std::numeric_limits<float>::infinity()));
    EXPECT_EQ(std::bit_cast<uint64_t>(float_::QUIET_NAN), 0x7FF8000000000000ull);
    EXPECT_EQ(float_::ALMOST_HALF, std::nextafter(0.5, 0.0));
    EXPECT_EQ(float_::abs(-2.5), 2.5);

    EXPECT_EQ(float_::round_to_int(1.4, ERR_math_overflow, nullptr), 1);
    EXPECT_EQ(float_::round_to_int(2.5, ERR_math_overflow, nullptr), 3);
    EXPECT_EQ(float_::round_to_int(-1.6, ERR_math_overflow, nullptr), -1);
    EXPECT_EQ(
        error_of([] { float_::round_to_int(2147483647.0, ERR_script_out_of_range, nullptr); }),
        "script/out-of-range");

    stack::reset();
    EXPECT_EQ(float_::get(float_::push64(0x3FF00000, 0)), 1.0);
    EXPECT_EQ(typed_mold(*percent::push(0.25)), "percent! 25%");
    EXPECT_EQ(typed_mold(*float_::box(2.0)), "float! 2.0");
    EXPECT_EQ(typed_mold(*percent::box(2.0)), "percent! 200%");
    stack::reset();
    Cell block = block_of({});
    float_::make_in(&block, 0x40000000, 0);
    percent::make_in(&block, 0x3FE00000, 0);
    Cell* items = memory::series_of(node_of(block))->cells();
    EXPECT_EQ(typed_mold(items[0]), "float! 2.0");
    EXPECT_EQ(typed_mold(items[1]), "percent! 50%");

    EXPECT_STREQ(datatype::type_name(TYPE_PERCENT), "percent!");
    EXPECT_EQ(datatype::parent_of(TYPE_PERCENT), int(TYPE_FLOAT));
    for (int action : {ACT_MAKE, ACT_RANDOM, ACT_TO, ACT_COMPARE, ACT_ABSOLUTE, ACT_ADD, ACT_DIVIDE,
                       ACT_MULTIPLY, ACT_NEGATE, ACT_POWER, ACT_REMAINDER, ACT_ROUND, ACT_SUBTRACT,
                       ACT_EVEN_Q, ACT_ODD_Q})
        EXPECT_EQ(datatype::raw_handler(TYPE_PERCENT, action),
                  datatype::raw_handler(TYPE_FLOAT, action))
            << ACTION_NAMES[action];
    EXPECT_NE(datatype::raw_handler(TYPE_PERCENT, ACT_FORM),
              datatype::raw_handler(TYPE_FLOAT, ACT_FORM));
    for (int type : {TYPE_FLOAT, TYPE_PERCENT})
        for (int action : {ACT_REFLECT, ACT_AND_T, ACT_COMPLEMENT, ACT_PICK, ACT_APPEND})
            EXPECT_EQ(datatype::raw_handler(type, action), nullptr) << ACTION_NAMES[action];
}

TEST(FloatingPointMode, MaskedAndToNearest) {
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    EXPECT_EQ(fegetexcept(), 0);
    volatile double zero = 0.0;
    EXPECT_EQ(1.0 / zero, INF);  // no trap
    EXPECT_TRUE(std::isnan(zero / zero));
}
