// date!: the calendar on day numbers, the loader's constructors with their
// normalisation (leap years, ISO weeks, days of the year, zones, times past
// a day), block construction for make and to, epoch seconds, the text form
// and comparison.
#include <cmath>
#include <vector>

#include "foundation/compare.h"
#include "scalars/date.h"
#include "scalars/time.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"
#include "tests/support/locale_months.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

namespace {

constexpr double HOUR = 3600.0;

Cell date_at(int year, int month, int day, double time_of_day = 0.0, int zone_hours = 0,
             int zone_minutes = 0, bool has_time = false) {
    Cell c;
    return *date::make_at(&c, year, month, day, time_of_day, zone_hours, zone_minutes, has_time);
}

Cell timed(int year, int month, int day, double time_of_day, int zone_hours = 0,
           int zone_minutes = 0) {
    return date_at(year, month, day, time_of_day, zone_hours, zone_minutes, true);
}

std::string text_of(Cell date) { return written_by_mold(date).text; }

// Blocks of integers, times and floats.
Cell items(std::vector<Cell> cells) { return block_of(cells); }
Cell i(int32_t v) { return int_cell(v); }
Cell t(double seconds) { return time_cell(seconds); }
Cell f(double d) { return float_cell(d); }

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

TEST(DateCalendar, DayNumbersRunWithoutGapsThroughEveryYear) {
    constexpr int LENGTHS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t expected = date::to_days(date::pack(-10000, 1, 1, 0, false));
    for (int year = -10000; year < 10000; year++)
        for (int month = 1; month <= 12; month++) {
            int length = LENGTHS[month - 1] + (month == 2 && leap(year));
            for (int day = 1; day <= length; day++, expected++) {
                uint32_t w = date::pack(year, month, day, 0, false);
                int32_t n = date::to_days(w);
                ASSERT_EQ(n, expected) << day << "-" << month << "-" << year;
                ASSERT_EQ(date::from_days(n, 0, false), w) << day << "-" << month << "-" << year;
            }
        }
}

TEST(DateCalendar, FixedPointsLeapYearsAndWeekdays) {
    EXPECT_EQ(date::to_days(date::pack(1970, 1, 1, 0, false)), date::EPOCH_DAYS);
    EXPECT_EQ(date::to_days(date::pack(2000, 1, 1, 0, false)), 730425);
    EXPECT_EQ(date::to_days(date::pack(0, 3, 1, 0, false)), 0);
    const std::pair<int, bool> years[] = {{2000, true},  {1900, false}, {2004, true}, {2100, false},
                                          {2023, false}, {0, true},     {-4, true},   {-1, false},
                                          {-100, false}, {-400, true}};
    for (auto [year, leap_year] : years) EXPECT_EQ(date::leap_year_q(year), leap_year) << year;
    EXPECT_EQ(date::weekday(date::EPOCH_DAYS), 4);  // a Thursday
    EXPECT_EQ(date::weekday(730425), 6);            // 1-Jan-2000, a Saturday
    EXPECT_EQ(date::weekday(-1), 2);                // 29-Feb-0000, a Tuesday
    EXPECT_EQ(date::year_day(date::pack(2020, 12, 31, 0, false)), 366);
    EXPECT_EQ(date::year_day(date::pack(2021, 12, 31, 0, false)), 365);
}

TEST(DateMakeAt, FieldsNormalisedWithTimeAndZone) {
    struct Case {
        Cell date;
        const char* text;
    };
    const Case cases[] = {
        {date_at(2024, 1, 5), "5-Jan-2024"},
        {date_at(2024, 1, 5, 3600.0, 5, 0, false), "5-Jan-2024"},  // no time: no zone
        {date_at(99, 2, 1), "1-Feb-0099"},
        {date_at(5, 12, 24), "24-Dec-0005"},
        {date_at(100, 1, 1), "1-Jan-100"},
        {date_at(999, 1, 1), "1-Jan-999"},
        {date_at(-50, 1, 1), "1/Jan/-0050"},
        {date_at(-2000, 6, 30), "30/Jun/-2000"},
        {date_at(2000, 2, 29), "29-Feb-2000"},
        {date_at(2001, 2, 29), "1-Mar-2001"},
        {timed(2000, 1, 1, 0.0), "1-Jan-2000/0:00:00"},
        {timed(2000, 3, 3, 10 * HOUR + 1800, 2), "3-Mar-2000/10:30:00+02:00"},
        {timed(2000, 1, 1, HOUR, 5), "1-Jan-2000/1:00:00+05:00"},
        {timed(2000, 1, 1, 23.5 * HOUR, 5, 30), "1-Jan-2000/23:30:00+05:30"},
        {timed(2000, 1, 1, 0.5, -5, 30), "1-Jan-2000/0:00:00.5-05:30"},
        {timed(2000, 1, 1, 12 * HOUR, -5, -30), "1-Jan-2000/12:00:00-05:30"},
        {timed(2000, 1, 1, 12 * HOUR, 0, 45), "1-Jan-2000/12:00:00+00:45"},
        // A zone under an hour west keeps its sign through the minutes.
        {timed(2000, 1, 1, 12 * HOUR, 0, -30), "1-Jan-2000/12:00:00-00:30"},
        {timed(2000, 1, 1, 12 * HOUR, 15, 45), "1-Jan-2000/12:00:00+15:45"},
        {timed(2000, 1, 1, 12 * HOUR, -15, 0), "1-Jan-2000/12:00:00-15:00"},
        {timed(2020, 1, 15, 10.5 * HOUR), "15-Jan-2020/10:30:00"},
        {timed(-50, 1, 1, 10 * HOUR), "1/Jan/-0050/10:00:00"},
        // Times outside one day move the date.
        {timed(2000, 12, 31, 25 * HOUR), "1-Jan-2001/1:00:00"},
        {timed(2000, 1, 1, -HOUR), "31-Dec-1999/23:00:00"},
        {timed(2000, 1, 1, 50 * HOUR, -3), "3-Jan-2000/2:00:00-03:00"},
        {timed(2000, 3, 1, -0.5, 2), "29-Feb-2000/23:59:59.5+02:00"},
        {timed(2000, 1, 1, 24 * HOUR, 0, 0), "2-Jan-2000/0:00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(text_of(c.date), c.text);
}

TEST(DateMakeAt, StoredTimeIsUtcFromTheLocalMidnight) {
    Cell d = timed(2000, 1, 1, HOUR, 5);
    EXPECT_EQ(date::time_of(&d), -4 * HOUR);
    EXPECT_EQ(date::zone_of(date::word_of(&d)), uint32_t(5 << 2));
    d = timed(2000, 1, 1, 12 * HOUR, -5, 30);
    EXPECT_EQ(date::time_of(&d), 17.5 * HOUR);
    EXPECT_EQ(date::zone_of(date::word_of(&d)), date::ZONE_NEGATIVE | 5 << 2 | 2);
    d = timed(2000, 1, 1, 23.75 * HOUR, 10);
    EXPECT_EQ(date::time_of(&d), 13.75 * HOUR);
    EXPECT_EQ(date::day_of(date::word_of(&d)), 1);
    d = date_at(2000, 1, 1, HOUR, 5, 0, false);
    EXPECT_EQ(date::word_of(&d), date::pack(2000, 1, 1, 0, false));
    EXPECT_EQ(date::time_of(&d), 0.0);
}

TEST(DateMakeFromWeek, IsoWeeksAcrossYearEnds) {
    struct Case {
        int year, week, weekday;
        const char* text;
    };
    const Case cases[] = {
        {2020, 3, 2, "14-Jan-2020"},
        {2020, 1, 1, "30-Dec-2019"},   // week 1 starts in the year before
        {2020, 53, 4, "31-Dec-2020"},  // 2020 has 53 weeks
        {2020, 53, 7, "3-Jan-2021"},
        {2021, 1, 1, "4-Jan-2021"},
        {2009, 1, 1, "29-Dec-2008"},
        {2015, 53, 7, "3-Jan-2016"},
        {2021, 52, 7, "2-Jan-2022"},
        {2021, 53, 1, "3-Jan-2022"},  // a year of 52 weeks rolls on
        {2004, 53, 5, "31-Dec-2004"},
        {2000, 9, 7, "5-Mar-2000"},
    };
    for (const Case& c : cases) {
        Cell d;
        date::make_from_week(&d, c.year, c.week, c.weekday, 0.0, 0, 0, false);
        EXPECT_EQ(text_of(d), c.text) << c.year << "-W" << c.week << "-" << c.weekday;
    }
    Cell d;
    date::make_from_week(&d, 2020, 53, 4, 23 * HOUR + 1800, -2, 0, true);
    EXPECT_EQ(text_of(d), "31-Dec-2020/23:30:00-02:00");
    date::make_from_week(&d, 2020, 53, 4, 24.5 * HOUR, 0, 0, true);
    EXPECT_EQ(text_of(d), "1-Jan-2021/0:30:00");
}

TEST(DateMakeFromYearday, DaysOfTheYearAndTheirBounds) {
    struct Case {
        int year, yearday;
        const char* text;
    };
    const Case cases[] = {
        {2020, 1, "1-Jan-2020"},   {2020, 15, "15-Jan-2020"},  {2020, 60, "29-Feb-2020"},
        {2021, 60, "1-Mar-2021"},  {2020, 366, "31-Dec-2020"}, {2021, 365, "31-Dec-2021"},
        {2021, 366, "1-Jan-2022"}, {2000, 366, "31-Dec-2000"}, {1900, 366, "1-Jan-1901"},
        {-4, 366, "31/Dec/-0004"},
    };
    for (const Case& c : cases) {
        Cell d;
        date::make_from_yearday(&d, c.year, c.yearday, 0.0, 0, 0, false);
        EXPECT_EQ(text_of(d), c.text) << c.year << "-" << c.yearday;
        EXPECT_EQ(date::year_day(date::word_of(&d)),
                  c.yearday > 365 && !leap(c.year) ? 1 : c.yearday);
    }
    Cell d;
    date::make_from_yearday(&d, 2020, 32, 8 * HOUR, 1, 15, true);
    EXPECT_EQ(text_of(d), "1-Feb-2020/8:00:00+01:15");
}

TEST(DateMakeAtHms, FileDatesInUtc) {
    Cell d;
    date::make_at_hms(&d, 2024, 5, 6, 7, 8, 9, 500000000);
    EXPECT_EQ(text_of(d), "6-May-2024/7:08:09.5");
    EXPECT_EQ(date::zone_of(date::word_of(&d)), 0u);
}

TEST(DateSetMonth, YearCarriesAndDaysRollOn) {
    struct Case {
        int32_t month;
        const char* text;
    };
    const Case cases[] = {
        {0, "15-Dec-1999"},   {13, "15-Jan-2001"}, {-11, "15-Jan-1999"},
        {-12, "15-Dec-1998"}, {24, "15-Dec-2001"}, {6, "15-Jun-2000"},
    };
    for (const Case& c : cases) {
        Cell d = date_at(2000, 6, 15);
        date::set_month(&d, c.month);
        EXPECT_EQ(text_of(d), c.text) << c.month;
    }
    Cell d = timed(2001, 1, 31, 10 * HOUR, 3);
    date::set_month(&d, 2);
    EXPECT_EQ(text_of(d), "3-Mar-2001/10:00:00+03:00");
}

TEST(DateMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* make;
        const char* to;
    };
    const char* BAD = "script/bad-to-arg";
    const Case cases[] = {
        {items({i(1), i(13), i(2000)}), BAD, "date! 1-Jan-2001"},
        {items({i(0), i(3), i(2000)}), BAD, "date! 29-Feb-2000"},
        {items({i(31), i(2), i(2001)}), BAD, "date! 3-Mar-2001"},
        {items({i(2000), i(1), i(15)}), "date! 15-Jan-2000", "date! 15-Jan-2000"},
        {items({i(15), i(1), i(99)}), "date! 15-Jan-0099", "date! 15-Jan-0099"},
        {items({i(99), i(1), i(15)}), BAD, "date! 9-Apr-0015"},
        {items({i(1), i(1), i(2000), i(10), i(30)}), "date! 1-Jan-2000/10:30:00",
         "date! 1-Jan-2000/10:30:00"},
        {items({i(1), i(1), i(2000), i(10)}), "date! 1-Jan-2000/10:00:00",
         "date! 1-Jan-2000/10:00:00"},
        {items({i(1), i(1), i(2000), i(0), i(0), i(0)}), "date! 1-Jan-2000/0:00:00",
         "date! 1-Jan-2000/0:00:00"},
        {items({i(1), i(1), i(2000), i(10), i(0), f(1.5)}), "date! 1-Jan-2000/10:00:01.5",
         "date! 1-Jan-2000/10:00:01.5"},
        {items({i(1), i(1), i(2000), t(10.5 * HOUR)}), "date! 1-Jan-2000/10:30:00",
         "date! 1-Jan-2000/10:30:00"},
        {items({i(1), i(1), i(2000), t(10 * HOUR), i(2)}), "date! 1-Jan-2000/10:00:00+02:00",
         "date! 1-Jan-2000/10:00:00+02:00"},
        {items({i(1), i(1), i(2000), t(10 * HOUR), i(5), i(30)}), "date! 1-Jan-2000/10:00:00+05:30",
         "date! 1-Jan-2000/10:00:00+05:30"},
        {items({i(1), i(1), i(2000), i(10), i(0), i(0), i(-5), i(30)}),
         "date! 1-Jan-2000/10:00:00-05:30", "date! 1-Jan-2000/10:00:00-05:30"},
        {items({i(1), i(1), i(2000), t(10 * HOUR), t(-5.5 * HOUR)}),
         "date! 1-Jan-2000/10:00:00-05:30", "date! 1-Jan-2000/10:00:00-05:30"},
        {items({i(1), i(1), i(2000), i(10), i(0), i(0), t(-0.5 * HOUR)}),
         "date! 1-Jan-2000/10:00:00-00:30", "date! 1-Jan-2000/10:00:00-00:30"},
        {items({i(1), i(1), i(2000), t(23 * HOUR), i(-3)}), "date! 1-Jan-2000/23:00:00-03:00",
         "date! 1-Jan-2000/23:00:00-03:00"},
        {items({i(1), i(1), i(2000), i(24), i(0)}), BAD, "date! 2-Jan-2000/0:00:00"},
        {items({i(1), i(1), i(2000), i(10), i(75)}), BAD, "date! 1-Jan-2000/11:15:00"},
        {items({i(1), i(1), i(2000), i(10), i(0), i(75)}), BAD, "date! 1-Jan-2000/10:01:15"},
        {items({i(1), i(1), i(2000), i(-1), i(0)}), BAD, "date! 31-Dec-1999/23:00:00"},
        {items({i(1), i(1), i(2000), t(25 * HOUR)}), BAD, "date! 2-Jan-2000/1:00:00"},
        {items({i(1), i(1), i(2000), f(1.5)}), BAD, BAD},
        {items({i(1), i(1)}), BAD, BAD},
        {items({}), BAD, BAD},
        {items({i(1), i(1), i(2000), text("x")}), BAD, BAD},
        {items({i(1), t(HOUR), i(2000)}), BAD, BAD},
        {items({i(1), i(1), i(2000), t(HOUR), i(2), i(0), i(0)}), BAD, BAD},
        {items({i(1), i(1), i(2000), t(HOUR), t(HOUR), i(0)}), BAD, BAD},
        {block_of({i(1), i(1), i(2000)}, TYPE_PAREN), "date! 1-Jan-2000", "date! 1-Jan-2000"},
        {block_of({i(1), i(1), i(2000)}, TYPE_HASH), "date! 1-Jan-2000", "date! 1-Jan-2000"},
        {timed(2000, 1, 1, HOUR, 2), "date! 1-Jan-2000/1:00:00+02:00",
         "date! 1-Jan-2000/1:00:00+02:00"},
        // Integers count seconds since 1970, for to only.
        {i(0), BAD, "date! 1-Jan-1970/0:00:00"},
        {i(-1), BAD, "date! 31-Dec-1969/23:59:59"},
        {i(-86400), BAD, "date! 31-Dec-1969/0:00:00"},
        {i(86400 * 365), BAD, "date! 1-Jan-1971/0:00:00"},
        {i(INT32_MAX), BAD, "date! 19-Jan-2038/3:14:07"},
        {i(INT32_MIN), BAD, "date! 13-Dec-1901/20:45:52"},
        {f(0.0), BAD, BAD},
        {text("1-Jan-2000"), BAD, BAD},
        {value_of(TYPE_NONE), BAD, BAD},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(make_outcome(ACT_MAKE, TYPE_DATE, c.spec), c.make) << typed_mold(c.spec);
        EXPECT_EQ(make_outcome(ACT_TO, TYPE_DATE, c.spec), c.to) << typed_mold(c.spec);
    }

    Cell spec = items({i(1), i(13), i(2000)}), result;
    ErrorThrow e =
        caught_error([&] { datatype::handler<ACT_MAKE>(TYPE_DATE)(&result, &spec, TYPE_DATE); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_DATE);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_BLOCK);
}

TEST(DateEpochSeconds, NearestSecondWithinThirtyTwoBits) {
    struct Case {
        Cell date;
        int32_t seconds;
    };
    const Case cases[] = {
        {timed(1970, 1, 1, 0.0), 0},
        {date_at(1970, 1, 2), 86400},
        {timed(1969, 12, 31, 86399.0), -1},
        {timed(1970, 1, 1, 0.5), 1},
        {timed(1970, 1, 1, 0.49), 0},
        {timed(1970, 1, 1, HOUR, 1), 0},
        {timed(2038, 1, 19, 3 * HOUR + 14 * 60 + 7), INT32_MAX},
        {timed(1901, 12, 13, 20 * HOUR + 45 * 60 + 52), INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(date::epoch_seconds(&c.date), c.seconds) << text_of(c.date);
    Cell late = timed(2038, 1, 19, 3 * HOUR + 14 * 60 + 8);
    EXPECT_EQ(error_of([&] { date::epoch_seconds(&late); }), "script/type-limit");
}

TEST(DateText, BudgetAndMonthsThatDoNotExist) {
    EXPECT_EQ(form_and_mold(timed(2000, 3, 3, 10.5 * HOUR, 2)), "3-Mar-2000/10:30:00+02:00");
    Cell bad = value_of(TYPE_DATE, date::pack(2000, 13, 1, 0, false));
    EXPECT_EQ(error_of([&] { written_by_mold(bad); }), "script/invalid-months");
    bad = value_of(TYPE_DATE, date::pack(2000, 0, 1, 0, false));
    EXPECT_EQ(error_of([&] { written_by_mold(bad); }), "script/invalid-months");
}

TEST(DateCompare, StoredDayThenTimeZoneAside) {
    Cell base = timed(2000, 1, 1, 10 * HOUR);
    Cell nudged = base;
    cell::put_float(&nudged, std::nextafter(10 * HOUR, 11 * HOUR));
    Cell other_zone = timed(2000, 1, 1, 12 * HOUR, 2);  // the same stored time, zone +2
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    const Case cases[] = {
        {base, base, COMP_EQUAL, 0},
        {base, nudged, COMP_EQUAL, 0},
        {base, nudged, COMP_STRICT_EQUAL, 0},
        {base, nudged, COMP_SAME, 1},
        {base, base, COMP_SAME, 0},
        {base, other_zone, COMP_EQUAL, 0},
        {base, date_at(2000, 1, 1), COMP_EQUAL, 1},
        {base, timed(2000, 1, 2, 0.0), COMP_LESSER, -1},
        {timed(2000, 1, 2, 0.0), base, COMP_GREATER, 1},
        {base, timed(2000, 1, 1, 11 * HOUR), COMP_LESSER, -1},
        {base, nudged, COMP_LESSER, 0},
        {date_at(1999, 12, 31), date_at(2000, 1, 1), COMP_LESSER, -1},
        {date_at(-1, 12, 31), date_at(0, 1, 1), COMP_LESSER, -1},
        {base, i(1), COMP_EQUAL, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_DATE)(&c.a, &c.b, c.op), c.result)
            << text_of(c.a) << " " << typed_mold(c.b) << " op " << c.op;
}

// A zone is negative when its whole offset is, also under an hour; one that
// comes out as 0 has no sign.
TEST(DateZone, SignOfTheWholeOffset) {
    struct Case {
        int hours, minutes;
        uint32_t zone;
    };
    const Case cases[] = {
        {0, -30, date::ZONE_NEGATIVE | 2}, {0, 30, 2},  {-5, -30, date::ZONE_NEGATIVE | 5 << 2 | 2},
        {-5, 30, date::ZONE_NEGATIVE | 5 << 2 | 2}, {0, -10, 0}, {0, 0, 0}, {15, 45, 15 << 2 | 3},
    };
    for (const Case& c : cases) EXPECT_EQ(date::pack_zone(c.hours, c.minutes), c.zone) << c.hours << ":" << c.minutes;
    struct TimeCase {
        double t;
        uint32_t zone;
    };
    const TimeCase times[] = {
        {-0.5 * HOUR, date::ZONE_NEGATIVE | 2}, {-5.5 * HOUR, date::ZONE_NEGATIVE | 5 << 2 | 2},
        {-600.0, 0}, {17 * HOUR, 1 << 2}, {-17 * HOUR, date::ZONE_NEGATIVE | 1 << 2}, {2.25 * HOUR, 2 << 2 | 1},
    };
    for (const TimeCase& c : times) EXPECT_EQ(date::zone_of_time(c.t), c.zone) << c.t;
}

// timezone keeps the instant (days x 86400 + the stored time), zone keeps
// the local time; both leave the local time within one day.
TEST(DateZone, InstantOrLocalTimeKept) {
    auto instant = [](const Cell& d) { return date::to_days(date::word_of(&d)) * 86400.0 + date::time_of(&d); };
    auto local = [](const Cell& d) { return date::to_local(date::time_of(&d), date::zone_of(date::word_of(&d))); };
    const Cell dates[] = {timed(2000, 1, 1, 0.0), timed(2000, 1, 1, 23.5 * HOUR), timed(2000, 3, 1, 0.5 * HOUR, 5, 30),
                          timed(1999, 12, 31, 23 * HOUR, -3), date_at(2000, 1, 1)};
    const Cell zones[] = {i(2), i(-2), i(15), i(-15), t(5.5 * HOUR), t(-0.5 * HOUR), t(0.0)};
    for (const Cell& original : dates)
        for (const Cell& zone : zones) {
            Cell kept = original, moved = original;
            date::set_zone(&kept, &zone, true);
            date::set_zone(&moved, &zone, false);
            EXPECT_EQ(instant(kept), instant(original)) << text_of(original) << " " << typed_mold(zone);
            EXPECT_EQ(local(moved), local(original)) << text_of(original) << " " << typed_mold(zone);
            for (const Cell& d : {kept, moved}) {
                EXPECT_TRUE(date::has_time(date::word_of(&d)));
                EXPECT_GE(local(d), 0.0);
                EXPECT_LT(local(d), 86400.0);
            }
        }
    Cell d = timed(2000, 1, 1, 0.0), bad = text("2");
    EXPECT_EQ(error_of([&] { date::set_zone(&d, &bad, true); }), "script/invalid-arg");
}

TEST(DateDifference, TimeBetweenTwoDates) {
    Cell a = timed(2000, 1, 2, HOUR), b = timed(2000, 1, 1, 23 * HOUR);
    date::difference(&a, &b);
    EXPECT_EQ(type_of(&a), TYPE_TIME);
    EXPECT_EQ(time::get(&a), 2 * HOUR);
    a = date_at(1999, 12, 31);
    b = date_at(2000, 1, 1);
    date::difference(&a, &b);
    EXPECT_EQ(time::get(&a), -86400.0);
}
