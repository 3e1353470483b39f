// time!: construction from numbers and blocks, the h:mm:ss text with its
// seconds precision, the hour and minute fields, and what time! takes over
// from float!.
#include <cmath>

#include "foundation/compare.h"
#include "scalars/time.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

TEST(TimeMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {time_cell(5.25), "time! 0:00:05.25"},
        {int_cell(90), "time! 0:01:30"},
        {int_cell(-90), "time! -0:01:30"},
        {float_cell(1.5), "time! 0:00:01.5"},
        {percent_cell(0.5), "time! 0:00:00.5"},
        {ints({1, 30}), "time! 1:30:00"},
        {ints({-1, 30}), "time! -1:30:00"},
        {ints({1, 2, 3}, TYPE_PAREN), "time! 1:02:03"},
        {ints({25}, TYPE_HASH), "time! 25:00:00"},
        {ints({}), "time! 0:00:00"},
        {ints({0, 90}), "time! 1:30:00"},
        {ints({INT32_MIN}), "time! -2147483648:00:00"},
        {block_of({int_cell(0), int_cell(0), float_cell(1.5)}), "time! 0:00:01.5"},
        {block_of({int_cell(-1), int_cell(2), float_cell(3.5)}), "time! -1:02:03.5"},
        {ints({1, -30}), "script/bad-to-arg"},
        {ints({0, 0, -1}), "script/bad-to-arg"},
        {block_of({int_cell(0), int_cell(0), float_cell(-1.5)}), "script/bad-to-arg"},
        {ints({1, 2, 3, 4}), "script/bad-to-arg"},
        {block_of({float_cell(1.5)}), "script/bad-to-arg"},
        {block_of({int_cell(0), float_cell(1.5)}), "script/bad-to-arg"},
        {block_of({text("1")}), "script/bad-to-arg"},
        {value_of(TYPE_NONE), "script/bad-to-arg"},
        // Text is loaded as one value, which the loader does not do yet.
        {text("1:30"), "time! 1:30:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(make_and_to(TYPE_TIME, c.spec), c.result) << typed_mold(c.spec);
}

// Form writes the seconds to 6 digits; mold writes as many as the time needs
// to load back the same (when that differs, the mold text follows).
TEST(TimeText, HoursMinutesAndSecondsToSixDigits) {
    struct Case {
        double seconds;
        const char* text;
        const char* mold = nullptr;
    };
    const Case cases[] = {
        {0.0, "0:00:00"},
        {-0.0, "0:00:00"},
        {3723.0, "1:02:03"},
        {-5.0, "-0:00:05"},
        {360000.0, "100:00:00"},
        {3.0 * 86400 + 1, "72:00:01"},
        {1.5, "0:00:01.5"},
        {10.5, "0:00:10.5"},
        {59.0, "0:00:59"},
        {12.3456789, "0:00:12.3457", "0:00:12.3456789"},
        {1e-7, "0:00:00", "0:00:00.0000001"},
        {36001.1234567, "10:00:01.12346", "10:00:01.1234567"},
        {std::nextafter(3600.0, 0.0), "0:59:60", "0:59:59.9999999999995"},
        {1e-6, "0:00:00.000001"},
        {-3599.5, "-0:59:59.5"},
        // Hours past 32 bits are written all the same.
        {3.6e13, "10000000000:00:00"},
        {INFINITY, "1.#INF"},
        {-INFINITY, "-1.#INF"},
        {NAN, "1.#NaN"},
    };
    for (const Case& c : cases) {
        if (!c.mold) {
            EXPECT_EQ(form_and_mold(time_cell(c.seconds)), c.text) << c.seconds;
            continue;
        }
        EXPECT_EQ(written_by_form(time_cell(c.seconds)).text, c.text) << c.seconds;
        EXPECT_EQ(written_by_mold(time_cell(c.seconds)).text, c.mold) << c.seconds;
    }
}

TEST(TimeFields, HoursTowardZeroMinutesNeverNegative) {
    struct Case {
        double seconds;
        int32_t hours, minutes;
    };
    const Case cases[] = {
        {5400.0, 1, 30}, {-5400.0, -1, 30}, {-59.0, 0, 0}, {86399.0, 23, 59}, {90000.0, 25, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(time::hours(c.seconds), c.hours) << c.seconds;
        EXPECT_EQ(time::minutes(c.seconds), c.minutes) << c.seconds;
    }
    EXPECT_EQ(error_of([] { time::hours(1e20); }), "script/type-limit");
    EXPECT_EQ(error_of([] { time::hours(NAN); }), "script/type-limit");
}

TEST(TimeRegistration, FloatHandlersWhereTimeHasNone) {
    EXPECT_EQ(datatype::parent_of(TYPE_TIME), TYPE_FLOAT);
    for (int action : {ACT_RANDOM, ACT_COMPARE, ACT_ABSOLUTE, ACT_NEGATE, ACT_REMAINDER})
        EXPECT_EQ(datatype::raw_handler(TYPE_TIME, action),
                  datatype::raw_handler(TYPE_FLOAT, action))
            << ACTION_NAMES[action];
    EXPECT_EQ(datatype::raw_handler(TYPE_TIME, ACT_POWER), nullptr);
    Cell a = time_cell(60.0), b = time_cell(std::nextafter(60.0, 61.0)), c = int_cell(60);
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_TIME);
    EXPECT_EQ(compare(&a, &b, COMP_EQUAL), 0);
    EXPECT_EQ(compare(&a, &b, COMP_STRICT_EQUAL), 1);
    EXPECT_EQ(compare(&a, &c, COMP_EQUAL), 0);
}

TEST(TimeFields, NamedByWordOrIndexOnly) {
    struct Case {
        Cell element;
        int field;
    };
    const Case cases[] = {
        {word_named("hour"), time::FIELD_HOUR},   {word_named("Minute"), time::FIELD_MINUTE},
        {word_named("SECOND"), time::FIELD_SECOND}, {int_cell(1), time::FIELD_HOUR},
        {int_cell(3), time::FIELD_SECOND},        {int_cell(0), 0},
        {int_cell(4), 0},                         {word_named("day"), 0},
        {float_cell(1.0), 0},                     {word_named("hour", TYPE_SET_WORD), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(time::field_of(&c.element), c.field) << typed_mold(c.element);
}

// Each set replaces its own field and keeps the others; the hours and
// minutes of a negative time are counted down from it (floor), so a set
// moves a negative time as far as it moves a positive one.
TEST(TimeFields, SetsReplaceOneField) {
    struct Case {
        double t;
        int field;
        Cell value;
        double result;
    };
    const Case cases[] = {
        {5400.0, time::FIELD_HOUR, int_cell(5), 19800.0},
        {5400.0, time::FIELD_MINUTE, int_cell(5), 3900.0},
        {5400.0, time::FIELD_MINUTE, int_cell(75), 8100.0},
        {10.5, time::FIELD_SECOND, int_cell(3), 3.0},
        {3600.0, time::FIELD_SECOND, float_cell(1.25), 3601.25},
        {-5400.0, time::FIELD_HOUR, int_cell(5), 19800.0},
        {-5400.0, time::FIELD_MINUTE, int_cell(10), -3000.0},
        {-5400.0, time::FIELD_SECOND, int_cell(10), -5390.0},
        {1e20, time::FIELD_SECOND, int_cell(0), 1e20 - std::fmod(1e20, 60.0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(time::with_field(c.t, c.field, &c.value), c.result) << c.t << " field " << c.field;
    for (auto [field, value] : {std::pair{time::FIELD_HOUR, float_cell(1.5)},
                                std::pair{time::FIELD_MINUTE, float_cell(1.0)},
                                std::pair{time::FIELD_SECOND, value_of(TYPE_NONE)}})
        EXPECT_EQ(error_of([&] { time::with_field(0.0, field, &value); }), "script/invalid-arg") << field;
}
