// integer!: the arithmetic core and its overflow into float!, division and
// remainder with their errors, the math dispatch by the right operand,
// power, round with every refinement, comparison, text, make and to, the
// unary actions, random, shifts and the checked conversion from doubles.
#include <cmath>
#include <limits>

#include "foundation/compare.h"
#include "scalars/date.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "scalars/simple_types.h"
#include "scalars/tuple.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;
using zel::scalar_math::OP_ADD;
using zel::scalar_math::OP_DIVIDE;
using zel::scalar_math::OP_MULTIPLY;
using zel::scalar_math::OP_REMAINDER;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

struct MathCase {
    int action;
    Cell left, right;
    const char* result;  // typed_mold(): type and molded text, or "category/id" of an error
};

void check_math(const MathCase& c) {
    std::string got;
    std::string error = error_of([&] { got = typed_mold(stack_action(c.action, {c.left, c.right})); });
    EXPECT_EQ(error.empty() ? got : error, c.result)
        << ACTION_NAMES[c.action] << " " << typed_mold(c.left) << " "
        << datatype::type_name(type_of(&c.right));
}

}  // namespace

TEST(IntegerMath, OverflowOfAddSubtractMultiplyContinuesAsFloat) {
    const MathCase cases[] = {
        {ACT_ADD, int_cell(2), int_cell(3), "integer! 5"},
        {ACT_ADD, int_cell(2147483647), int_cell(1), "float! 2147483648.0"},
        {ACT_ADD, int_cell(INT32_MIN), int_cell(-1), "float! -2147483649.0"},
        {ACT_ADD, int_cell(INT32_MIN), int_cell(2147483647), "integer! -1"},
        {ACT_SUBTRACT, int_cell(INT32_MIN), int_cell(1), "float! -2147483649.0"},
        {ACT_SUBTRACT, int_cell(100), int_cell(INT32_MIN), "float! 2147483748.0"},
        {ACT_SUBTRACT, int_cell(-1), int_cell(INT32_MIN), "integer! 2147483647"},
        {ACT_MULTIPLY, int_cell(65536), int_cell(65536), "float! 4294967296.0"},
        {ACT_MULTIPLY, int_cell(46341), int_cell(46341), "float! 2147488281.0"},
        {ACT_MULTIPLY, int_cell(INT32_MIN), int_cell(-1), "float! 2147483648.0"},
        {ACT_MULTIPLY, int_cell(-65536), int_cell(32768), "integer! -2147483648"},
        {ACT_AND_T, int_cell(12), int_cell(10), "integer! 8"},
        {ACT_OR_T, int_cell(12), int_cell(10), "integer! 14"},
        {ACT_XOR_T, int_cell(12), int_cell(-1), "integer! -13"},
    };
    for (const MathCase& c : cases) check_math(c);
}

TEST(IntegerMath, DivisionAndRemainder) {
    const MathCase cases[] = {
        {ACT_DIVIDE, int_cell(8), int_cell(2), "integer! 4"},
        {ACT_DIVIDE, int_cell(-8), int_cell(2), "integer! -4"},
        {ACT_DIVIDE, int_cell(7), int_cell(2), "float! 3.5"},
        {ACT_DIVIDE, int_cell(-7), int_cell(2), "float! -3.5"},
        {ACT_DIVIDE, int_cell(1), int_cell(3), "float! 0.3333333333333333"},
        {ACT_DIVIDE, int_cell(INT32_MIN), int_cell(1), "integer! -2147483648"},
        {ACT_DIVIDE, int_cell(INT32_MIN), int_cell(2), "integer! -1073741824"},
        {ACT_DIVIDE, int_cell(5), int_cell(0), "math/zero-divide"},
        {ACT_DIVIDE, int_cell(0), int_cell(0), "math/zero-divide"},
        {ACT_DIVIDE, int_cell(INT32_MIN), int_cell(-1), "math/overflow"},
        {ACT_REMAINDER, int_cell(7), int_cell(2), "integer! 1"},
        {ACT_REMAINDER, int_cell(-7), int_cell(2), "integer! -1"},
        {ACT_REMAINDER, int_cell(7), int_cell(-2), "integer! 1"},
        {ACT_REMAINDER, int_cell(INT32_MIN), int_cell(3), "integer! -2"},
        {ACT_REMAINDER, int_cell(5), int_cell(0), "math/zero-divide"},
        {ACT_REMAINDER, int_cell(INT32_MIN), int_cell(-1), "math/overflow"},
    };
    for (const MathCase& c : cases) check_math(c);
}

TEST(IntegerMath, CoreWithoutAResultCell) {
    EXPECT_EQ(integer::do_math_op(7, 2, OP_DIVIDE, nullptr), 3);  // truncated, no float
    EXPECT_EQ(integer::do_math_op(-7, 2, OP_DIVIDE, nullptr), -3);
    EXPECT_EQ(integer::do_math_op(2147483647, 1, OP_ADD, nullptr), 0);
    EXPECT_EQ(integer::do_math_op(-7, 2, OP_REMAINDER, nullptr), -1);
    EXPECT_EQ(error_of([] { integer::do_math_op(1, 0, OP_REMAINDER, nullptr); }),
              "math/zero-divide");
    // With a cell, the result lands in it and a float keeps no stale flags.
    Cell c = int_cell(6);
    c.header |= FLAG_NEW_LINE;
    EXPECT_EQ(integer::do_math_op(6, 7, OP_MULTIPLY, &c), 42);
    EXPECT_EQ(integer::get(&c), 42);
    integer::do_math_op(2147483647, 2147483647, OP_MULTIPLY, &c);
    EXPECT_EQ(c.header, uint32_t(TYPE_FLOAT));
    EXPECT_EQ(float_::get(&c), 2147483647.0 * 2147483647.0);
}

TEST(IntegerMath, RightOperandChoosesTheCore) {
    Cell time = float_cell(5.0, TYPE_TIME);
    const MathCase cases[] = {
        {ACT_ADD, int_cell(1), int_cell(65, TYPE_CHAR), "integer! 66"},
        {ACT_ADD, int_cell(1), float_cell(0.5), "float! 1.5"},
        {ACT_ADD, int_cell(1), percent_cell(0.5), "float! 1.5"},
        {ACT_MULTIPLY, int_cell(3), percent_cell(0.5), "float! 1.5"},
        {ACT_DIVIDE, int_cell(1), float_cell(0.0), "float! 1.#INF"},
        {ACT_REMAINDER, int_cell(7), float_cell(2.5), "float! 2.0"},
        {ACT_AND_T, int_cell(1), float_cell(1.0), "script/cannot-use"},
        {ACT_ADD, int_cell(1), value_of(TYPE_STRING), "script/invalid-type"},
        {ACT_ADD, int_cell(1), value_of(TYPE_NONE), "script/invalid-type"},
        {ACT_DIVIDE, int_cell(1), value_of(TYPE_PAIR), "script/not-related"},
        {ACT_DIVIDE, int_cell(1), value_of(TYPE_POINT2D), "script/not-related"},
        {ACT_SUBTRACT, int_cell(1), value_of(TYPE_TUPLE), "script/not-related"},
        {ACT_DIVIDE, int_cell(1), value_of(TYPE_TUPLE), "script/not-related"},
        {ACT_SUBTRACT, int_cell(1), value_of(TYPE_DATE), "script/not-related"},
        {ACT_MULTIPLY, int_cell(1), value_of(TYPE_DATE), "script/invalid-type"},
        {ACT_ADD, int_cell(1), pair_cell(1, 2), "pair! 2x3"},
        {ACT_SUBTRACT, int_cell(1), point3(1.0f, 2.0f, 3.0f), "point3D! (0, -1, -2)"},
        {ACT_ADD, int_cell(1), value_of(TYPE_TUPLE | 3 << tuple::LENGTH_SHIFT, 0x030201),
         "tuple! 2.3.4"},
        {ACT_ADD, int_cell(1), value_of(TYPE_MONEY), "money! $1.00"},
    };
    for (const MathCase& c : cases) check_math(c);

    Cell sum = stack_action(ACT_ADD, {int_cell(10), time});  // an integer plus a time is a time
    EXPECT_EQ(type_of(&sum), TYPE_TIME);
    EXPECT_EQ(float_::get(&sum), 15.0);

    Cell day = value_of(TYPE_DATE, date::pack(2000, 1, 1, 0, false));
    Cell moved = stack_action(ACT_ADD, {int_cell(5), day});  // an integer plus a date moves it by days
    EXPECT_EQ(type_of(&moved), TYPE_DATE);
    EXPECT_EQ(date::word_of(&moved), date::pack(2000, 1, 6, 0, false));
}

TEST(IntegerMath, ErrorArgumentsNameTheTypes) {
    ErrorThrow e = caught_error([] {
        stack_action(ACT_ADD, {int_cell(1), value_of(TYPE_STRING)});
    });
    EXPECT_EQ(e.argc, 1);
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_STRING);
    e = caught_error([] { stack_action(ACT_DIVIDE, {int_cell(1), value_of(TYPE_PAIR)}); });
    EXPECT_EQ(type_of(&e.args[1]), TYPE_DATATYPE);
    EXPECT_EQ(type_named_by(e.args[1]), TYPE_INTEGER);
    e = caught_error([] { stack_action(ACT_XOR_T, {int_cell(1), float_cell(1.0)}); });
    EXPECT_EQ(type_named_by(e.args[1]), TYPE_FLOAT);
}

TEST(IntegerMath, Power) {
    const MathCase cases[] = {
        {ACT_POWER, int_cell(2), int_cell(10), "integer! 1024"},
        {ACT_POWER, int_cell(2), int_cell(30), "integer! 1073741824"},
        {ACT_POWER, int_cell(2), int_cell(31), "float! 2147483648.0"},
        {ACT_POWER, int_cell(-2), int_cell(31), "integer! -2147483648"},
        {ACT_POWER, int_cell(10), int_cell(9), "integer! 1000000000"},
        {ACT_POWER, int_cell(10), int_cell(10), "float! 10000000000.0"},
        {ACT_POWER, int_cell(0), int_cell(0), "integer! 1"},
        {ACT_POWER, int_cell(-1), int_cell(2147483647), "integer! -1"},
        // Squaring the base overflows after the last bit: the result stands.
        {ACT_POWER, int_cell(65536), int_cell(1), "integer! 65536"},
        {ACT_POWER, int_cell(46341), int_cell(2), "float! 2147488281.0"},
        {ACT_POWER, int_cell(2), int_cell(-1), "float! 0.5"},
        {ACT_POWER, int_cell(3), int_cell(-1), "float! 0.3333333333333333"},
        {ACT_POWER, int_cell(0), int_cell(-1), "float! 1.#INF"},
        {ACT_POWER, int_cell(4), float_cell(0.5), "float! 2.0"},
        {ACT_POWER, int_cell(2), percent_cell(0.5), "script/expect-arg"},
        {ACT_POWER, int_cell(2), value_of(TYPE_STRING), "script/expect-arg"},
    };
    for (const MathCase& c : cases) check_math(c);
}

TEST(IntegerRound, EveryRefinement) {
    struct Case {
        int32_t n;
        int32_t scale;  // 0x7EADBEEF: no /to
        const char* refinement;
        const char* result;
    };
    constexpr int32_t NO_TO = 0x7EADBEEF;
    const Case cases[] = {
        {17, NO_TO, "", "integer! 17"},
        {15, 10, "", "integer! 20"},
        {-15, 10, "", "integer! -20"},
        {14, 10, "", "integer! 10"},
        {-16, 10, "", "integer! -20"},
        {25, 10, "even", "integer! 20"},
        {35, 10, "even", "integer! 40"},
        {-35, 10, "even", "integer! -40"},
        {36, 10, "even", "integer! 40"},
        {15, 10, "half-down", "integer! 10"},
        {-15, 10, "half-down", "integer! -10"},
        {15, 10, "half-ceiling", "integer! 20"},
        {-15, 10, "half-ceiling", "integer! -10"},
        {-11, 10, "floor", "integer! -20"},
        {11, 10, "floor", "integer! 10"},
        {-11, 10, "ceiling", "integer! -10"},
        {11, 10, "ceiling", "integer! 20"},
        {-19, 10, "down", "integer! -10"},
        {19, 10, "down", "integer! 10"},
        {7, 0, "", "integer! 7"},
        {7, -2, "", "integer! 8"},  // the scale's sign does not count
        {20, 10, "ceiling", "integer! 20"},
        {INT32_MIN, 10, "", "integer! -2147483648"},
        {INT32_MIN, NO_TO, "floor", "integer! -2147483648"},
        // Only the candidate returned has to fit.
        {2147483647, 10, "floor", "integer! 2147483640"},
        {2147483647, 10, "down", "integer! 2147483640"},
        {-2147483647, 2, "floor", "integer! -2147483648"},
        {-2147483645, 10, "half-ceiling", "integer! -2147483640"},
        {2147483645, 10, "half-down", "integer! 2147483640"},
        {2147483647, 10, "ceiling", "math/overflow"},
        {2147483647, 10, "", "math/overflow"},
        {2147483645, 10, "", "math/overflow"},
        {2147483645, 10, "half-ceiling", "math/overflow"},
        {-2147483645, 10, "floor", "math/overflow"},
        {5, INT32_MIN, "", "math/overflow"},
    };
    for (const Case& c : cases) {
        Cell scale = int_cell(c.scale);
        std::string got;
        std::string error = error_of([&] {
            got = typed_mold(round_of(int_cell(c.n), c.scale == NO_TO ? nullptr : &scale, c.refinement));
        });
        EXPECT_EQ(error.empty() ? got : error, c.result)
            << c.n << " /" << c.refinement << " " << c.scale;
    }
}

TEST(IntegerRound, OtherScalesRoundAsFloats) {
    Cell scale = float_cell(2.5);
    EXPECT_EQ(typed_mold(round_of(int_cell(7), &scale, "")), "float! 7.5");
    scale = percent_cell(0.5);  // 50%: the result takes the scale's type
    EXPECT_EQ(typed_mold(round_of(int_cell(12), &scale, "floor")), "percent! 1200%");
    scale = value_of(TYPE_MONEY);
    EXPECT_EQ(error_of([&] { round_of(int_cell(7), &scale, ""); }), "script/not-related");
    ErrorThrow e = caught_error([&] { round_of(int_cell(7), &scale, ""); });
    EXPECT_EQ(type_named_by(e.args[1]), TYPE_MONEY);
}

TEST(IntegerCompare, ByTheOtherValuesType) {
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {int_cell(1), int_cell(1), COMP_EQUAL, 0},
        {int_cell(-1), int_cell(1), COMP_LESSER, -1},
        {int_cell(INT32_MAX), int_cell(INT32_MIN), COMP_GREATER, 1},
        {int_cell(65), int_cell(65, TYPE_CHAR), COMP_EQUAL, 0},
        {int_cell(65), int_cell(65, TYPE_CHAR), COMP_STRICT_EQUAL, 1},
        {int_cell(65), int_cell(65, TYPE_CHAR), COMP_FIND, 1},
        {int_cell(65), int_cell(65), COMP_STRICT_EQUAL, 0},
        {int_cell(1), float_cell(1.0), COMP_EQUAL, 0},
        {int_cell(1), float_cell(1.0), COMP_STRICT_EQUAL, 1},
        {int_cell(1), float_cell(1.5), COMP_LESSER, -1},
        {int_cell(1), percent_cell(1.0), COMP_EQUAL, 0},
        {int_cell(60), float_cell(60.0, TYPE_TIME), COMP_EQUAL, 0},
        {int_cell(1), float_cell(std::nan("")), COMP_GREATER, -1},
        {int_cell(1), value_of(TYPE_STRING), COMP_EQUAL, -2},
        {int_cell(1), value_of(TYPE_STRING), COMP_STRICT_EQUAL, 1},
    };
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_INTEGER);
    for (Case c : cases) {
        Cell before = c.a;
        EXPECT_EQ(compare(&c.a, &c.b, c.op), c.result) << typed_mold(c.a) << " op " << c.op;
        EXPECT_EQ(std::memcmp(&before, &c.a, sizeof(Cell)), 0);  // left as it was
    }
}

TEST(IntegerText, FormAndMoldAreTheDecimalText) {
    struct Case {
        int32_t value;
        const char* text;
    };
    const Case cases[] = {{0, "0"},
                          {7, "7"},
                          {-5, "-5"},
                          {10, "10"},
                          {2147483647, "2147483647"},
                          {INT32_MIN, "-2147483648"},
                          {-1000000, "-1000000"}};
    for (const Case& c : cases) {
        EXPECT_STREQ(integer::to_decimal(c.value).c_str(), c.text);
        EXPECT_EQ(integer::to_decimal(c.value).length, int(std::strlen(c.text)));
        Written f = written_by_form(int_cell(c.value)), m = written_by_mold(int_cell(c.value), true);
        EXPECT_EQ(f.text, c.text);
        EXPECT_EQ(m.text, c.text);  // no decoration, even with /all
        EXPECT_EQ(f.budget, 1000 - int(std::strlen(c.text)));
        EXPECT_EQ(m.budget, f.budget);
    }
}

TEST(IntegerMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        const char* what;
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {"integer", int_cell(-4), "integer! -4"},
        {"char", int_cell(0x20AC, TYPE_CHAR), "integer! 8364"},
        {"float", float_cell(-2.7), "integer! -2"},
        {"float", float_cell(1.5e9), "integer! 1500000000"},
        {"float", float_cell(-2147483648.0), "integer! -2147483648"},
        {"float", float_cell(2147483647.0), "integer! 2147483647"},
        {"float", float_cell(-0.0), "integer! 0"},
        {"percent", percent_cell(0.5), "integer! 0"},
        {"percent", percent_cell(250.0), "integer! 250"},
        {"float", float_cell(2147483647.5), "script/type-limit"},
        {"float", float_cell(-2147483649.0), "script/type-limit"},
        {"float", float_cell(std::nan("")), "script/type-limit"},
        {"float", float_cell(INF), "script/type-limit"},
        {"float", float_cell(-INF), "script/type-limit"},
        {"time", float_cell(59.5, TYPE_TIME), "integer! 60"},
        {"time", float_cell(59.4, TYPE_TIME), "integer! 59"},
        {"time", float_cell(1e10, TYPE_TIME), "script/type-limit"},
        {"time", float_cell(std::nan(""), TYPE_TIME), "script/type-limit"},
        {"binary", binary_of({1, 2}), "integer! 258"},
        {"binary", binary_of({1, 2, 3, 4, 5}), "integer! 16909060"},
        {"binary", binary_of({0xFF, 0xFF, 0xFF, 0xFF}), "integer! -1"},
        {"binary", binary_of({}), "integer! 0"},
        {"string", text("12'345"), "integer! 12345"},
        {"string", text("-2147483648"), "integer! -2147483648"},
        {"string", text(" 1"), "script/bad-to-arg"},
        {"string", text("2147483648"), "script/bad-to-arg"},
        {"string", text("12a"), "script/bad-to-arg"},
        {"string", text(""), "script/bad-to-arg"},
        {"string", chars({'-', '4', '2'}, 4), "integer! -42"},
        {"string", chars({'4', 0x0132}, 2), "script/bad-to-arg"},
        {"none", value_of(TYPE_NONE), "script/bad-to-arg"},
        {"block", block_of({int_cell(1)}), "script/bad-to-arg"},
        {"logic", logic::g_true, "script/bad-to-arg"},
        {"money", money_cell("-USD$12.99999"), "integer! -12"},
        {"money", money_cell("$2147483647.99999"), "integer! 2147483647"},
        {"money", money_cell("-$2147483648"), "integer! -2147483648"},
        {"money", money_cell("$2147483648"), "script/type-limit"},
        {"money", money_cell("-$2147483649"), "script/type-limit"},
        // 2-Jan-1970/0:00:01
        {"date", value_of(TYPE_DATE, 1970 << 17 | 1 << 12 | 2 << 7 | 0x10000, 0, 0x3FF00000),
         "integer! 86401"},
        {"issue", value_of(TYPE_ISSUE), "internal/not-done"},
    };
    auto to = datatype::handler<ACT_TO>(TYPE_INTEGER);
    for (Case c : cases) {
        Cell result = value_of(TYPE_DATATYPE, TYPE_INTEGER);
        std::string got;
        std::string error = error_of([&] { got = typed_mold(*to(&result, &c.spec, TYPE_INTEGER)); });
        EXPECT_EQ(error.empty() ? got : error, c.result) << c.what << " " << typed_mold(c.spec);
    }

    Cell file = text("42");
    cell::set_type(&file, TYPE_FILE);
    file = at_head(file, 1);  // from the head: "2"
    Cell result;
    EXPECT_EQ(typed_mold(*to(&result, &file, TYPE_INTEGER)), "integer! 2");

    Cell bad = text("1.5");
    ErrorThrow e = caught_error([&] { to(&result, &bad, TYPE_INTEGER); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_INTEGER);
    EXPECT_EQ(node_of(e.args[1]), node_of(bad));
    e = caught_error([&] {
        Cell big = float_cell(3e9);
        to(&result, &big, TYPE_INTEGER);
    });
    EXPECT_EQ(e.argc, 1);
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_INTEGER);
}

TEST(IntegerMakeAndTo, IssueNamesAreHexadecimal) {
    struct Case {
        const char* name;
        const char* result;
    };
    const Case cases[] = {
        {"FF", "255"},
        {"ff", "255"},
        {"FFFFFFFF", "-1"},
        {"7fffffff", "2147483647"},
        {"0", "0"},
        {"", "0"},
        {"100000000", "script/invalid-data"},
        {"FG", "script/invalid-data"},
        {"1 2", "script/invalid-data"},
        {"\x1F"
         "1",
         "script/invalid-data"},
        {"\xC3\xA9", "script/invalid-data"},
    };
    Cell issue = value_of(TYPE_ISSUE, 0, 1234);
    for (const Case& c : cases) {
        std::string name = c.name;
        std::string got;
        std::string error = error_of([&] {
            got = std::to_string(integer::from_hex_name(
                reinterpret_cast<const uint8_t*>(name.data()), int(name.size()), &issue));
        });
        EXPECT_EQ(error.empty() ? got : error, c.result) << c.name;
    }
    ErrorThrow e = caught_error(
        [&] { integer::from_hex_name(reinterpret_cast<const uint8_t*>("Z"), 1, &issue); });
    EXPECT_EQ(integer::get(&e.args[0]), 1234);
}

TEST(IntegerMakeAndTo, MakeTakesLogic) {
    auto make = datatype::handler<ACT_MAKE>(TYPE_INTEGER);
    Cell result, t = logic::g_true, f = logic::g_false, s = text("5");
    EXPECT_EQ(typed_mold(*make(&result, &t, TYPE_INTEGER)), "integer! 1");
    EXPECT_EQ(typed_mold(*make(&result, &f, TYPE_INTEGER)), "integer! 0");
    EXPECT_EQ(typed_mold(*make(&result, &s, TYPE_INTEGER)), "integer! 5");
}

TEST(IntegerUnary, NegateAbsoluteComplementParity) {
    Cell v = int_cell(5);
    auto negate = datatype::handler<ACT_NEGATE>(TYPE_INTEGER);
    EXPECT_EQ(typed_mold(*negate(&v)), "integer! -5");
    v = int_cell(INT32_MIN);
    EXPECT_EQ(error_of([&] { negate(&v); }), "math/overflow");
    EXPECT_EQ(typed_mold(stack_action(ACT_ABSOLUTE, {int_cell(-7)})), "integer! 7");
    EXPECT_EQ(typed_mold(stack_action(ACT_ABSOLUTE, {int_cell(INT32_MAX)})), "integer! 2147483647");
    EXPECT_EQ(error_of([] { stack_action(ACT_ABSOLUTE, {int_cell(INT32_MIN)}); }), "math/overflow");
    EXPECT_EQ(error_of([] { integer::abs(INT32_MIN); }), "math/overflow");
    v = int_cell(0);
    EXPECT_EQ(typed_mold(*datatype::handler<ACT_COMPLEMENT>(TYPE_INTEGER)(&v)), "integer! -1");

    auto even = datatype::handler<ACT_EVEN_Q>(TYPE_INTEGER);
    auto odd = datatype::handler<ACT_ODD_Q>(TYPE_INTEGER);
    for (int32_t n : {-3, -2, 0, 1, INT32_MIN, INT32_MAX}) {
        Cell c = int_cell(n);
        EXPECT_EQ(even(&c), n % 2 == 0) << n;
        EXPECT_EQ(odd(&c), n % 2 != 0) << n;
    }
    EXPECT_EQ(integer::sign(-9), -1);
    EXPECT_EQ(integer::sign(0), 0);
    EXPECT_EQ(integer::sign(INT32_MAX), 1);
}

TEST(IntegerRandom, DrawsSeedsAndSigns) {
    auto random_ = datatype::handler<ACT_RANDOM>(TYPE_INTEGER);
    auto draw = [&](int32_t n, bool secure = false) {
        Cell c = int_cell(n);
        return integer::get(random_(&c, false, secure, false));
    };
    Cell seed = int_cell(5);
    EXPECT_EQ(type_of(random_(&seed, true, false, false)), TYPE_UNSET);
    int32_t first = draw(1000000);
    seed = int_cell(5);
    random_(&seed, true, false, false);
    EXPECT_EQ(draw(1000000), first);  // the same seed, the same draws

    EXPECT_EQ(draw(0), 0);
    EXPECT_EQ(draw(1), 1);
    EXPECT_EQ(draw(-1), -1);
    for (int i = 0; i < 200; i++) {
        int32_t r = draw(10);
        EXPECT_TRUE(r >= 1 && r <= 10) << r;
        r = draw(-6, true);
        EXPECT_TRUE(r >= -6 && r <= -1) << r;
        r = draw(INT32_MIN);
        EXPECT_TRUE(r < 0) << r;
        r = draw(INT32_MAX);
        EXPECT_TRUE(r >= 1) << r;
    }
}

TEST(IntegerShift, AllCountsAreDefined) {
    struct Case {
        int32_t data, bits;
        bool left, logical;
        int32_t result;
    };
    const Case cases[] = {
        {-8, 2, false, false, -2},         {-1, 28, false, true, 15},
        {1, 40, false, false, 0},          {-1, 40, false, false, -1},
        {-1, 32, false, true, 0},          {1, 31, true, false, INT32_MIN},
        {-1, 31, true, false, INT32_MIN},  {3, 32, true, false, 0},
        {5, -3, true, false, 5},           {-5, -3, false, false, -5},
        {INT32_MIN, 31, false, false, -1}, {INT32_MIN, 31, false, true, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(integer::shift(c.data, c.bits, c.left, c.logical), c.result)
            << c.data << (c.left ? " << " : " >> ") << c.bits;
}

TEST(IntegerConversion, CheckedFromDouble) {
    struct Case {
        double d;
        int32_t result;
        bool error;
    };
    const Case cases[] = {
        {0.0, 0, false},
        {-0.9, 0, false},
        {2147483647.0, INT32_MAX, false},
        {-2147483648.0, INT32_MIN, false},
        {-2147483648.9, 0, true},
        {2147483647.5, 0, true},
        {2147483648.0, 0, true},
        {1e300, 0, true},
        {INF, 0, true},
        {-INF, 0, true},
        {std::nan(""), 0, true},
    };
    Cell arg = int_cell(9);
    for (const Case& c : cases) {
        EXPECT_EQ(integer::float_out_of_range_q(c.d), c.error) << c.d;
        if (c.error) {
            ErrorThrow e = caught_error([&] { integer::from_float(c.d, ERR_math_overflow, &arg); });
            EXPECT_EQ(e.id, ERR_math_overflow);
            EXPECT_EQ(integer::get(&e.args[0]), 9);
        } else {
            EXPECT_EQ(integer::from_float(c.d, ERR_math_overflow), c.result) << c.d;
        }
    }
    // The string! make of a number goes the same way.
    Cell big = float_cell(3e9);
    EXPECT_EQ(error_of([&] { cell::number_to_int(&big); }), "script/out-of-range");
}

TEST(IntegerHelpers, MakeBoxPushAndRegistration) {
    stack::reset();
    Cell* pushed = integer::push(12);
    EXPECT_EQ(typed_mold(*pushed), "integer! 12");
    EXPECT_EQ(integer::get_arg(), 12);
    EXPECT_EQ(integer::get_arg_or_zero(), 12);
    integer::box(-3);
    EXPECT_EQ(integer::get_arg(), -3);
    float_::box(2.0);
    EXPECT_EQ(integer::get_arg_or_zero(), 0);
    stack::reset();

    Cell flagged = value_of(TYPE_NONE);
    flagged.header |= FLAG_NEW_LINE;
    integer::make_at(&flagged, 4);
    EXPECT_EQ(flagged.header, uint32_t(TYPE_INTEGER) | FLAG_NEW_LINE);  // make_at keeps flags

    Cell block = block_of({});
    integer::make_in(&block, 77);
    EXPECT_EQ(typed_mold(memory::series_of(node_of(block))->cells()[0]), "integer! 77");

    EXPECT_STREQ(datatype::type_name(TYPE_INTEGER), "integer!");
    EXPECT_EQ(datatype::parent_of(TYPE_INTEGER), 0);
    for (int action : {ACT_REFLECT, ACT_EVAL_PATH, ACT_SET_PATH, ACT_APPEND, ACT_PICK, ACT_READ})
        EXPECT_EQ(datatype::raw_handler(TYPE_INTEGER, action), nullptr) << ACTION_NAMES[action];
}
