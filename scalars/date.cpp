// date!: the packed word, the calendar on day numbers, time and zone
// normalisation, the constructors, the fields, arithmetic, make and to,
// form, mold, compare, random, pick and paths, and the registration.
//
// Cell: {header (type 47), the packed date word, the time in UTC from the
// local date's midnight as a double in words 2-3}; date.h gives the word's
// fields.
//
// Day numbers are counted with floor division, so the calendar runs on
// through year 0 and the negative years with every day in its place.
//
// Relies on time! for the hour, minute and second fields and the time text,
// on float! for the tolerant comparison, on integer! for the checked
// conversion of doubles, on the random generator, on the global context
// for the month names of system/locale/months, and on the evaluator's
// store-back (path.h) for a field set through a path.
#include "scalars/date.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "scalars/simple_types.h"
#include "scalars/time.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/path.h"
#include "series/string.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::date {

using namespace compare;
using namespace scalar_math;

namespace {

constexpr int SECONDS_PER_HOUR = 3600;

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t floor_mod(int64_t a, int64_t b) { return a - b * floor_div(a, b); }

// Days from day 0 to 1 March of year y.
int64_t days_before(int64_t y) {
    return 365 * y + floor_div(y, 4) - floor_div(y, 100) + floor_div(y, 400);
}

// A day number that left the 32-bit range is beyond any date.
int32_t day_number(int64_t n) {
    if (n < INT32_MIN || n > INT32_MAX) {
        Cell type = raise::datatype_arg(TYPE_DATE);
        fire(ERR_script_type_limit, &type);
    }
    return int32_t(n);
}

void store(Cell* date, uint32_t w, double t) {
    date->data1 = w;
    cell::put_float(date, t);
}

// The day moved to day number n, zone and time flag kept.
void set_day_number(Cell* date, int64_t n) {
    uint32_t w = word_of(date);
    date->data1 = from_days(day_number(n), zone_of(w), has_time(w));
}

}  // namespace

// ---- The packed word --------------------------------------------------------------------

uint32_t pack(int year, int month, int day, uint32_t zone, bool time) {
    uint32_t w = uint32_t(year) << 17 | uint32_t(month & 0xF) << 12 | uint32_t(day & 0x1F) << 7 |
                 (zone & ZONE_MASK);
    return time ? w | TIME_FLAG : w;
}

uint32_t pack_zone(int hours, int minutes) {
    uint32_t h = uint32_t(std::llabs(hours)) & 0xF;
    uint32_t quarters = uint32_t(std::llabs(minutes) / 15) & 3;
    // A zone that comes out as 0 has no side: no "-00:00".
    bool negative = (hours < 0 || (hours == 0 && minutes < 0)) && (h | quarters) != 0;
    return h << 2 | quarters | (negative ? ZONE_NEGATIVE : 0);
}

// ---- Calendar ---------------------------------------------------------------------------

bool leap_year_q(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t to_days(uint32_t w) {
    int64_t m = floor_mod(month_of(w) + 9, 12);
    int64_t y = year_of(w) - m / 10;
    return day_number(days_before(y) + (m * 306 + 5) / 10 + (day_of(w) - 1));
}

uint32_t from_days(int32_t n, uint32_t zone, bool time) {
    double estimate = std::floor((10000.0 * n + 14780.0) / 3652425.0);
    int64_t y = integer::from_float(estimate, ERR_script_out_of_range);
    int64_t r = n - days_before(y);
    if (r < 0) {
        --y;
        r = n - days_before(y);
    }
    int64_t mi = (100 * r + 52) / 3060;
    int month = int((mi + 2) % 12 + 1);
    y += (mi + 2) / 12;
    int day = int(r - (mi * 306 + 5) / 10 + 1);
    return pack(int(y), month, day, zone, time);
}

int32_t jan1_days(uint32_t w) { return to_days(pack(year_of(w), 1, 1, 0, false)); }

int year_day(uint32_t w) { return to_days(w) - jan1_days(w) + 1; }

int weekday(int32_t n) { return int(floor_mod(int64_t(n) + 2, 7)) + 1; }

int32_t first_isoweek(uint32_t w, int& jan1_weekday) {
    int32_t j = jan1_days(w);
    jan1_weekday = weekday(j);
    return jan1_weekday < 5 ? j + 1 - jan1_weekday : j + 8 - jan1_weekday;
}

// ---- Time and zone ----------------------------------------------------------------------

double zone_offset(uint32_t zone) {
    double offset = double((zone & 0x3F) >> 2) * SECONDS_PER_HOUR + double(zone & 3) * 15 * 60;
    return (zone & ZONE_NEGATIVE) ? -offset : offset;
}

int32_t normalize_time(int32_t n, double& t, uint32_t zone) {
    double offset_hours = zone_offset(zone) / SECONDS_PER_HOUR;
    // Whole days of the local time, toward zero; a negative rest is one
    // more day back.
    double days = std::trunc(std::trunc(t / SECONDS_PER_HOUR + offset_hours) / 24.0);
    Cell type = raise::datatype_arg(TYPE_DATE);
    int64_t d = integer::from_float(days, ERR_script_type_limit, &type);
    int64_t day = n + d;
    t -= days * SECONDS_PER_DAY;
    if (offset_hours * SECONDS_PER_HOUR + t < 0.0) {
        --day;
        t += SECONDS_PER_DAY;
    }
    return day_number(day);
}

// ---- Changing a date in place -----------------------------------------------------------

void set_month(Cell* date, int32_t month) {
    uint32_t w = word_of(date);
    int64_t m = int64_t(month) - 1;
    int year = int(year_of(w) + floor_div(m, 12));
    uint32_t moved = pack(year, int(floor_mod(m, 12)) + 1, day_of(w), zone_of(w), has_time(w));
    set_day_number(date, to_days(moved));
}

void set_time(Cell* date, double t, bool local) {
    uint32_t w = word_of(date);
    uint32_t zone = zone_of(w);
    if (local) t = to_utc(t, zone);
    int32_t n = normalize_time(to_days(w), t, zone);
    store(date, from_days(n, zone, has_time(w)), t);
}

void set_weekday(Cell* date, int32_t k) {
    int64_t n = to_days(word_of(date));
    set_day_number(date, n + (int64_t(k) - 1) - floor_mod(n + 2, 7));
}

void set_yearday(Cell* date, int32_t k) {
    set_day_number(date, int64_t(jan1_days(word_of(date))) + k - 1);
}

void set_isoweek(Cell* date, int32_t k) {
    int jan1_weekday;
    int64_t start = first_isoweek(word_of(date), jan1_weekday);
    set_day_number(date, start + (int64_t(k) - 1) * 7);
}

uint32_t zone_of_time(double t) {
    double within = std::fmod(t, 57600.0);
    int h = time::hours(within);
    int m = time::minutes(within);
    return pack_zone(h, within < 0.0 ? -m : m);
}

void set_zone(Cell* date, const Cell* value, bool keep_instant) {
    uint32_t zone;
    switch (type_of(value)) {
        case TYPE_INTEGER: zone = pack_zone(integer::get(value) % 16, 0); break;
        case TYPE_TIME: zone = zone_of_time(time::get(value)); break;
        default: fire(ERR_script_invalid_arg, value);
    }
    uint32_t w = word_of(date) | TIME_FLAG;
    double t = time_of(date);
    double local = to_local(t, zone_of(w));
    store(date, (w & ~ZONE_MASK) | zone, t);
    // timezone: the instant stays, so the local time and maybe the day move;
    // zone: the local time stays, so the instant moves (the day does not).
    if (keep_instant)
        set_time(date, to_local(t, zone), true);
    else
        cell::put_float(date, to_utc(local, zone));
}

// ---- Making ------------------------------------------------------------------------------

Cell* set_at(Cell* cell, uint32_t w, double t) {
    cell::set(cell, TYPE_DATE, w);
    cell::put_float(cell, t);
    return cell;
}

Cell* push(uint32_t w, double t) { return set_at(stack::push_new(), w, t); }
Cell* make_in(Cell* block, uint32_t w, double t) { return set_at(cell::alloc_tail(block), w, t); }

namespace {

// The day of the fields at midnight, with the zone when there is a time.
Cell* start_at(Cell* cell, int year, int month, int day, int zone_hours, int zone_minutes,
               bool has_time) {
    uint32_t zone = has_time ? pack_zone(zone_hours, zone_minutes) : 0;
    return set_at(cell, pack(year, month, day, zone, has_time), 0.0);
}

// The local time of day goes in, moving the day when it lies outside one;
// without a time only the day is brought into its month.
Cell* finish_at(Cell* cell, double time_of_day, bool has_time) {
    if (has_time)
        set_time(cell, time_of_day, true);
    else
        set_day_number(cell, to_days(word_of(cell)));
    return cell;
}

}  // namespace

Cell* make_at(Cell* cell, int year, int month, int day, double time_of_day, int zone_hours,
              int zone_minutes, bool has_time) {
    start_at(cell, year, month, day, zone_hours, zone_minutes, has_time);
    return finish_at(cell, time_of_day, has_time);
}

Cell* make_from_week(Cell* cell, int year, int week, int weekday, double time_of_day,
                     int zone_hours, int zone_minutes, bool has_time) {
    start_at(cell, year, 1, 1, zone_hours, zone_minutes, has_time);
    set_isoweek(cell, week);
    set_weekday(cell, weekday);
    return finish_at(cell, time_of_day, has_time);
}

Cell* make_from_yearday(Cell* cell, int year, int yearday, double time_of_day, int zone_hours,
                        int zone_minutes, bool has_time) {
    start_at(cell, year, 1, 1, zone_hours, zone_minutes, has_time);
    set_yearday(cell, yearday);
    return finish_at(cell, time_of_day, has_time);
}

Cell* make_at_hms(Cell* cell, int year, int month, int day, int hour, int minute, int second,
                  int nanosecond) {
    double t = double(hour) * SECONDS_PER_HOUR + minute * 60.0 + second + nanosecond * 1e-9;
    return set_at(cell, pack(year, month, day, 0, true), t);
}

// ---- Reading -----------------------------------------------------------------------------

int32_t epoch_seconds(const Cell* date) {
    double days = double(to_days(word_of(date))) - EPOCH_DAYS;
    double seconds = days * SECONDS_PER_DAY + std::trunc(time_of(date) + 0.5);
    Cell type = raise::datatype_arg(TYPE_INTEGER);
    return integer::from_float(seconds, ERR_script_type_limit, &type);
}

int week(uint32_t w) {
    int32_t j = jan1_days(w);
    int e = int(floor_mod(int64_t(j) + 3, 7));  // 1 January's weekday, Sunday 0
    int yd = year_day(w);
    return yd <= 7 - e ? 1 : (yd + e - 1) / 7 + 1;
}

int isoweek(uint32_t w) {
    int32_t n = to_days(w);
    int wd;
    int32_t first = first_isoweek(w, wd);
    // Days before week 1 end the previous year's last week: 53 weeks when
    // that year began on a Thursday, or on a Wednesday in a leap year.
    if (n < first) return wd == 5 || (wd == 6 && leap_year_q(year_of(w) - 1)) ? 53 : 52;
    int next_wd;
    if (n >= first_isoweek(pack(year_of(w) + 1, 1, 1, 0, false), next_wd)) return 1;
    return (n - first) / 7 + 1;
}

void difference(Cell* a, const Cell* b) {
    double days = double(to_days(word_of(a))) - double(to_days(word_of(b)));
    time::make_at(a, days * SECONDS_PER_DAY + (time_of(a) - time_of(b)));
}

// ---- Fields ------------------------------------------------------------------------------

int field_of(const Cell* element) {
    using words::Sym;
    static constexpr time::FieldName NAMES[] = {
        {Sym::date, FIELD_DATE},         {Sym::year, FIELD_YEAR},       {Sym::month, FIELD_MONTH},
        {Sym::day, FIELD_DAY},           {Sym::zone, FIELD_ZONE},       {Sym::time, FIELD_TIME},
        {Sym::hour, FIELD_HOUR},         {Sym::minute, FIELD_MINUTE},   {Sym::second, FIELD_SECOND},
        {Sym::weekday, FIELD_WEEKDAY},   {Sym::yearday, FIELD_YEARDAY}, {Sym::julian, FIELD_YEARDAY},
        {Sym::timezone, FIELD_TIMEZONE}, {Sym::week, FIELD_WEEK},       {Sym::isoweek, FIELD_ISOWEEK},
    };
    return time::field_named(element, NAMES, FIELD_ISOWEEK);
}

namespace {

Cell* integer_at(Cell* cell, int32_t n) {
    cell::set(cell, TYPE_INTEGER, 0, uint32_t(n));
    return cell;
}

// The zone's offset as a time!, none without a time.
Cell* zone_at(Cell* cell, uint32_t w) {
    if (!has_time(w)) return copy_cell(&none::g_none, cell);
    return time::make_at(cell, zone_offset(zone_of(w)));
}

// The integer! a field set needs; anything else raises script invalid-arg.
int32_t integer_arg(const Cell* value) {
    if (type_of(value) != TYPE_INTEGER) fire(ERR_script_invalid_arg, value);
    return integer::get(value);
}

}  // namespace

Cell* field_at(Cell* cell, const Cell* date, int field) {
    uint32_t w = word_of(date);
    double local = to_local(time_of(date), zone_of(w));
    switch (field) {
        case FIELD_DATE: return set_at(cell, w & ~(TIME_FLAG | ZONE_MASK), 0.0);
        case FIELD_YEAR: return integer_at(cell, year_of(w));
        case FIELD_MONTH: return integer_at(cell, month_of(w));
        case FIELD_DAY: return integer_at(cell, day_of(w));
        case FIELD_ZONE:
        case FIELD_TIMEZONE: return zone_at(cell, w);
        case FIELD_TIME: return has_time(w) ? time::make_at(cell, local) : copy_cell(&none::g_none, cell);
        case FIELD_HOUR: return time::field_at(cell, local, time::FIELD_HOUR);
        case FIELD_MINUTE: return time::field_at(cell, local, time::FIELD_MINUTE);
        case FIELD_SECOND: return time::field_at(cell, local, time::FIELD_SECOND);
        case FIELD_WEEKDAY: return integer_at(cell, weekday(to_days(w)));
        case FIELD_YEARDAY: return integer_at(cell, year_day(w));
        case FIELD_WEEK: return integer_at(cell, week(w));
        default: return integer_at(cell, isoweek(w));
    }
}

Cell* push_field(const Cell* date, int field) { return field_at(stack::push_new(), date, field); }

void set_field(Cell* date, int field, const Cell* value) {
    // Worked on a copy, so that a refused value leaves the date as it was.
    Cell d = *date;
    uint32_t w = word_of(&d);
    switch (field) {
        case FIELD_DATE: {
            if (type_of(value) != TYPE_DATE) fire(ERR_script_invalid_arg, value);
            // The day is replaced; the time of day and its zone stay.
            constexpr uint32_t KEPT = TIME_FLAG | ZONE_MASK;
            d.data1 = (word_of(value) & ~KEPT) | (w & KEPT);
            break;
        }
        case FIELD_YEAR:
            set_day_number(&d, to_days(pack(integer_arg(value), month_of(w), day_of(w), 0, false)));
            break;
        case FIELD_MONTH: set_month(&d, integer_arg(value)); break;
        case FIELD_DAY:
            set_day_number(&d, int64_t(to_days(pack(year_of(w), month_of(w), 0, 0, false))) + integer_arg(value));
            break;
        case FIELD_ZONE:
        case FIELD_TIMEZONE: set_zone(&d, value, field == FIELD_TIMEZONE); break;
        case FIELD_TIME:
            if (type_of(value) == TYPE_NONE) {
                // Without a time there is no zone either.
                set_at(&d, w & ~(TIME_FLAG | ZONE_MASK), 0.0);
                break;
            }
            if (type_of(value) != TYPE_TIME) fire(ERR_script_invalid_arg, value);
            d.data1 |= TIME_FLAG;
            set_time(&d, time::get(value), true);
            break;
        case FIELD_HOUR:
        case FIELD_MINUTE:
        case FIELD_SECOND: {
            // The field of the local time, as the get reads it.
            double local = to_local(time_of(&d), zone_of(w));
            double changed = time::with_field(local, field - FIELD_HOUR + time::FIELD_HOUR, value);
            d.data1 |= TIME_FLAG;
            set_time(&d, changed, true);
            break;
        }
        case FIELD_WEEKDAY: set_weekday(&d, integer_arg(value)); break;
        case FIELD_YEARDAY: set_yearday(&d, integer_arg(value)); break;
        case FIELD_WEEK: {
            int32_t k = integer_arg(value);
            int64_t j = jan1_days(w);
            // Week 2 starts on the first Sunday after 1 January.
            int64_t start = k > 1 ? j + (int64_t(k) - 2) * 7 + 7 - floor_mod(j + 3, 7) : j;
            set_day_number(&d, start);
            break;
        }
        default: set_isoweek(&d, integer_arg(value)); break;
    }
    *date = d;
}

// ---- Arithmetic ----------------------------------------------------------------------------

namespace {

// date + integer! (days) or time!; date - integer!, time! or date!. The
// result replaces the date in the first argument cell; date - date is the
// number of days between them, once the time has been moved into whole days.
Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* date = &args[0];
    const Cell* other = &args[1];
    uint32_t w = word_of(date);
    int64_t days = 0;
    double seconds = 0.0;
    bool timed = has_time(w);
    switch (type_of(other)) {
        case TYPE_INTEGER: days = integer::get(other); break;
        case TYPE_TIME:
            seconds = time::get(other);
            timed = true;
            break;
        case TYPE_DATE:
            if (op == OP_ADD) raise_not_related(ACT_ADD, TYPE_DATE);
            days = to_days(word_of(other));
            seconds = time_of(other);
            break;
        default: raise_about_type(ERR_script_invalid_type, type_of(other));
    }
    int64_t n = to_days(w);
    double t = time_of(date);
    if (op == OP_ADD) {
        n += days;
        t += seconds;
    } else {
        n -= days;
        t -= seconds;
    }
    int32_t day = normalize_time(day_number(n), t, zone_of(w));
    if (type_of(other) == TYPE_DATE) return integer_at(date, day);
    return set_at(date, from_days(day, zone_of(w), timed), t);
}

}  // namespace

Cell* add() { return do_math(OP_ADD); }
Cell* subtract() { return do_math(OP_SUBTRACT); }

namespace {

// ---- Construction from a block ------------------------------------------------------------

// The block's values, by the place the reading machine gave them.
enum Slot : int8_t {
    SLOT_NONE,
    SLOT_A,  // day, or year when the year comes first
    SLOT_MONTH,
    SLOT_B,  // year, or day
    SLOT_HOUR,
    SLOT_MINUTE,
    SLOT_SECOND,
    SLOT_ZONE_HOURS,
    SLOT_ZONE_MINUTES,
    SLOT_TIME,
    SLOT_ZONE_TIME,
};

struct Step {
    int8_t next;  // -1: no transition
    Slot slot;
};

// Per state, what an integer!, a time! and a float! lead to.
constexpr Step NO = {-1, SLOT_NONE};
constexpr Step STEPS[14][3] = {
    /* 0 start            */ {{1, SLOT_A}, NO, NO},
    /* 1 a                */ {{2, SLOT_MONTH}, NO, NO},
    /* 2 a m              */ {{3, SLOT_B}, NO, NO},
    /* 3 a m b            */ {{8, SLOT_HOUR}, {4, SLOT_TIME}, NO},
    /* 4 ... time         */ {{6, SLOT_ZONE_HOURS}, {5, SLOT_ZONE_TIME}, NO},
    /* 5 ... time zone    */ {NO, NO, NO},
    /* 6 ... time zh      */ {{7, SLOT_ZONE_MINUTES}, NO, NO},
    /* 7 ... time zh zm   */ {NO, NO, NO},
    /* 8 a m b h          */ {{9, SLOT_MINUTE}, NO, NO},
    /* 9 a m b h mi       */ {{10, SLOT_SECOND}, NO, {10, SLOT_SECOND}},
    /* 10 ... s           */ {{12, SLOT_ZONE_HOURS}, {11, SLOT_ZONE_TIME}, NO},
    /* 11 ... s zone      */ {NO, NO, NO},
    /* 12 ... s zh        */ {{13, SLOT_ZONE_MINUTES}, NO, NO},
    /* 13 ... s zh zm     */ {NO, NO, NO},
};

// An integer! fills both its integer and its double; a time! or float! only
// the double.
struct Fields {
    int32_t ints[SLOT_ZONE_TIME + 1] = {};
    double values[SLOT_ZONE_TIME + 1] = {};
    bool given[SLOT_ZONE_TIME + 1] = {};
    int count = 0;
};

int value_class(const Cell* item) {
    switch (type_of(item)) {
        case TYPE_INTEGER: return 0;
        case TYPE_TIME: return 1;
        case TYPE_FLOAT: return 2;
        default: return -1;
    }
}

Fields read_block(Cell* block) {
    Fields f;
    int state = 0;
    int n = block::length_q(block);
    for (int i = 0; i < n; i++) {
        Cell item = block::head(block)[i];
        int k = value_class(&item);
        if (k < 0 || STEPS[state][k].next < 0) raise::bad_to_arg(TYPE_DATE, block);
        Slot slot = STEPS[state][k].slot;
        if (k == 0) {
            f.ints[slot] = integer::get(&item);
            f.values[slot] = f.ints[slot];
        } else {
            f.values[slot] = cell::get_float(&item);
        }
        f.given[slot] = true;
        state = STEPS[state][k].next;
        ++f.count;
    }
    if (f.count < 3) raise::bad_to_arg(TYPE_DATE, block);
    return f;
}

uint32_t zone_of_fields(const Fields& f) {
    if (f.given[SLOT_ZONE_TIME]) return zone_of_time(f.values[SLOT_ZONE_TIME]);
    int h = f.ints[SLOT_ZONE_HOURS], m = f.ints[SLOT_ZONE_MINUTES];
    return h != 0 || m != 0 ? pack_zone(h, m) : 0;
}

// make! refuses what would roll over: the day into another month, the time
// into another day.
bool rolled_over(const Cell* result, int year, int month, int day, double t, const Fields& f) {
    uint32_t w = word_of(result);
    if (year_of(w) != year || month_of(w) != month || day_of(w) != day) return true;
    double stored = time_of(result);
    int32_t minute = f.given[SLOT_TIME] ? time::minutes(f.values[SLOT_TIME]) : f.ints[SLOT_MINUTE];
    if (t != 0.0) {
        double hour = std::trunc(t / SECONDS_PER_HOUR);
        return hour < 0.0 || hour > 23.0 || time::minutes(stored) != minute;
    }
    return time::hours(stored) != f.ints[SLOT_HOUR] || time::minutes(stored) != minute;
}

// Day, month and year in either order, then a time given as numbers or as a
// time!, then a zone given as numbers or as a time!.
Cell* from_block(Cell* result, Cell* block, bool check) {
    Fields f = read_block(block);
    int32_t a = f.ints[SLOT_A], b = f.ints[SLOT_B], month = f.ints[SLOT_MONTH];
    int32_t day = a, year = b;
    if (a >= 100 && a > b) {
        day = b;
        year = a;
    }
    double t = f.given[SLOT_TIME] ? f.values[SLOT_TIME]
                                  : f.values[SLOT_HOUR] * SECONDS_PER_HOUR +
                                        f.values[SLOT_MINUTE] * 60.0 + f.values[SLOT_SECOND];
    bool time = f.count > 3;
    Cell date;
    set_at(&date, pack(year, 0, 0, 0, false), 0.0);
    set_month(&date, month);
    date.data1 = from_days(day_number(int64_t(to_days(word_of(&date))) + day), 0, time);
    set_time(&date, t, false);
    if (check && rolled_over(&date, year, month, day, t, f))
        raise::bad_to_arg(TYPE_DATE, block);
    date.data1 |= zone_of_fields(f);
    set_time(&date, time_of(&date), true);
    return copy_cell(&date, result);
}

// Seconds since 1-Jan-1970 00:00 UTC.
Cell* from_epoch(Cell* result, int32_t s) {
    set_at(result, from_days(EPOCH_DAYS + s / 86400, 0, true), double(s % 86400));
    if (s < 0) set_time(result, time_of(result), false);
    return result;
}

// ---- Action handlers ----------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_DATE: return copy_cell(spec, proto);
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: return from_block(proto, spec, true);
        default: raise::bad_to_arg(TYPE_DATE, spec);
    }
}

Cell* to(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_DATE: return copy_cell(spec, proto);
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: return from_block(proto, spec, false);
        case TYPE_INTEGER: return from_epoch(proto, integer::get(spec));
        default: raise::bad_to_arg(TYPE_DATE, spec);
    }
}

int append_padded(Cell* buffer, int32_t n, int width, int part) {
    integer::DecimalText digits = integer::to_decimal(n);
    for (int i = digits.length; i < width; i++) part = cell_text::mold_literal(buffer, "0", false, part);
    return cell_text::mold_literal(buffer, digits.c_str(), false, part);
}

// system/locale/months, or null while there is no system object with a
// locale (before start-up has made it, or once a script replaced it).
Cell* months_list() {
    // The value of a field (any case) of a context, or null.
    auto field = [](Node ctx, uint32_t symbol) -> Cell* {
        int32_t found = context::find_word(ctx, symbol, true);
        Cell* values = found < 0 ? nullptr : context::values_in(ctx);
        return values ? values + context::word_at(ctx, found)->data3 : nullptr;
    };
    Cell* system = field(context::g_global, words::symbol(words::Sym::system));
    if (!system || type_of(system) != TYPE_OBJECT) return nullptr;
    Cell* locale = field(system->data1, symbol::make("locale"));
    if (!locale || type_of(locale) != TYPE_OBJECT) return nullptr;
    return field(locale->data1, symbol::make("months"));
}

// The first three characters of the month's name in the locale's list.
int append_month(Cell* buffer, int month, int part) {
    Cell* list = months_list();
    if (!list || type_of(list) != TYPE_BLOCK || month < 1 || month > block::length_q(list))
        fire(ERR_script_invalid_months);
    Cell name = block::head(list)[month - 1];
    if (type_of(&name) != TYPE_STRING) fire(ERR_script_invalid_months);
    int n = std::min(3, string::length_q(&name));
    string::concatenate(buffer, &name, n, 0, true, string::CONCAT_APPEND);
    return part - n;
}

// "+02:00", "-05:30".
int append_zone(Cell* buffer, uint32_t zone, int part) {
    part = cell_text::mold_literal(buffer, zone & ZONE_NEGATIVE ? "-" : "+", false, part);
    part = append_padded(buffer, int32_t((zone & 0x3F) >> 2), 2, part);
    part = cell_text::mold_literal(buffer, ":", false, part);
    return append_padded(buffer, int32_t(zone & 3) * 15, 2, part);
}

// form and mold: "5-Jan-2024", "1-Feb-0099", "3-Mar-2000/10:30:00+02:00";
// a negative year takes "/" between the fields: "1/Jan/-0050". Mold writes
// the seconds in full, so that the text loads back as the same date.
int write(Cell* value, Cell* buffer, int part, bool exact) {
    uint32_t w = word_of(value);
    int year = year_of(w);
    const char* separator = year < 0 ? "/" : "-";
    part = cell_text::mold_literal(buffer, integer::to_decimal(day_of(w)).c_str(), false, part);
    part = cell_text::mold_literal(buffer, separator, false, part);
    part = append_month(buffer, month_of(w), part);
    part = cell_text::mold_literal(buffer, separator, false, part);
    if (year < 0) part = cell_text::mold_literal(buffer, "-", false, part);
    part = append_padded(buffer, std::abs(year), std::abs(year) < 100 ? 4 : 1, part);
    if (!has_time(w)) return part;
    part = cell_text::mold_literal(buffer, "/", false, part);
    part = time::serialize(to_local(time_of(value), zone_of(w)), buffer, part, exact);
    return zone_of(w) ? append_zone(buffer, zone_of(w), part) : part;
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) { return write(value, buffer, part, true); }

int form(Cell* value, Cell* buffer, int part) { return write(value, buffer, part, false); }

// Dates compare by their stored day and time; the zone takes no part.
int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_DATE) return -2;
    int32_t k1 = int32_t(word_of(value1) & ~TIME_FLAG) >> 7;
    int32_t k2 = int32_t(word_of(value2) & ~TIME_FLAG) >> 7;
    double t1 = time_of(value1), t2 = time_of(value2);
    if (op == COMP_SAME)
        return k1 == k2 && std::bit_cast<uint64_t>(t1) == std::bit_cast<uint64_t>(t2) ? 0 : 1;
    bool same = k1 == k2 && float_::almost_equal_q(t1, t2);
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL:
        case COMP_STRICT_EQUAL:
        case COMP_FIND: return same ? 0 : 1;
        default: break;
    }
    if (same) return 0;
    if (k1 != k2) return k1 < k2 ? -1 : 1;
    return (t1 > t2) - (t1 < t2);
}

// d/month, d/3: the field; d/month: 5 changes the date, and the changed
// date goes back where the path found it (which tells its owner).
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    int field = field_of(element);
    if (!field) fire(ERR_script_invalid_path, path, element);
    static Cell got;
    if (!value) return field_at(&got, parent, field);
    set_field(parent, field, value);
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

// pick d 2, pick d 'julian.
Cell* pick(Cell* value, int, Cell* index) {
    int field = field_of(index);
    if (!field) fire(ERR_script_out_of_range, index);
    static Cell got;
    return field_at(&got, value, field);
}

// A day from the first day of the calendar's day count up to the date; a
// date with a time gets a random zone and a random time of day too.
Cell* random(Cell* value, bool seed, bool secure, bool) {
    uint32_t w = word_of(value);
    double t = time_of(value);
    if (seed) {
        random::seed(w + uint32_t(int64_t(t)));
        cell::set(value, TYPE_UNSET);
        return value;
    }
    int32_t n = random::int_(secure, to_days(w));
    w = from_days(day_number(int64_t(n) - 1), zone_of(w), has_time(w));
    if (!has_time(w)) return set_at(value, w, t);
    int32_t zone_bits = secure ? random::secure_next() : random::next();
    w = (w & ~ZONE_MASK) | (uint32_t(zone_bits) & ZONE_MASK);
    // One of 3600 steps of 24 seconds through the day.
    double steps;
    if (secure) {
        double s1 = random::secure_next(), s2 = random::secure_next();
        steps = (s1 / 2147483647.0 + s2) / (2147483648.0 / 3600.0);
    } else {
        steps = random::next() / 2147483647.0 * 3600.0;
    }
    t = std::floor(steps) / 3600.0 * SECONDS_PER_DAY;
    set_at(value, w, 0.0);
    set_time(value, t, true);
    return value;
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_DATE, 0, "date!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_RANDOM>(random);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_PICK>(pick);
    r.set<ACT_ADD>(add).set<ACT_SUBTRACT>(subtract);
    datatype::register_type(r);
}

}  // namespace zel::date
