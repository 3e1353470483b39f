// Loaders of numbers, tuples, pairs, points, times, dates, money and
// binaries: each checks its token's text to the limits of its syntax and,
// when loading, pushes the value.
//
// Relies on: the float validation automaton and the correctly rounded
// text-to-double conversion, the scalar value makers (scalar_values.h), the
// binary! decoders, and the lexer's value stack and error raiser.
#include <cmath>
#include <cstring>
#include <string_view>

#include "lexer/routines.h"
#include "lexer/scalar_values.h"
#include "scalars/dtoa.h"
#include "scalars/float.h"
#include "scalars/float_scan.h"
#include "scalars/integer.h"
#include "scalars/percent.h"
#include "scalars/text_to_number.h"
#include "series/binary.h"
#include "series/binary_codec.h"

namespace zel::lexer {

namespace {

bool digit_q(uint8_t c) { return c >= '0' && c <= '9'; }

enum class Number { ok, invalid, too_big };

// An optional sign and decimal digits with single "'" separators between
// them. More than 10 digits, or a value past 32 bits (other than
// -2147483648), is too big.
Number read_integer(const uint8_t* p, const uint8_t* end, int32_t& value) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int digits = 0;
    int64_t v = 0;
    bool separator = false;
    for (; p < end; p++) {
        if (*p == '\'') {
            if (separator) return Number::invalid;
            separator = true;
            continue;
        }
        if (!digit_q(*p)) return Number::invalid;
        separator = false;
        if (++digits > 10) return Number::too_big;
        v = v * 10 + (*p - '0');
    }
    if (digits == 0) return Number::invalid;
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return Number::too_big;
    value = int32_t(v);
    return Number::ok;
}

// Float text (signs, digits, "'" separators, a point, an exponent) to a
// double, with a decimal exponent adjustment (-2 for percents).
bool read_float(const uint8_t* start, const uint8_t* end, int exponent_adjust, double& value) {
    size_t n = size_t(end - start);
    if (!float_scan::float_text_q(start, n)) return false;
    char copy[float_scan::FLOAT_TEXT_MAX];
    size_t used = 0;
    for (size_t i = 0; i < n; i++)
        if (start[i] != '\'') copy[used++] = char(start[i]);
    int unconsumed = 0;
    value = dtoa::string_to_float(copy, copy + used, exponent_adjust, unconsumed);
    return unconsumed == 0;
}

// "1.#NaN", "-1.#INF": an optional sign, "1.#" and a name of three letters.
bool read_special_float(const uint8_t* p, const uint8_t* end, double& value) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (end - p != 6 || std::memcmp(p, "1.#", 3) != 0) return false;
    char name[4];
    for (int i = 0; i < 3; i++) {
        uint8_t c = p[3 + i];
        name[i] = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    name[3] = '\0';
    if (std::strcmp(name, "NAN") == 0) {
        value = float_::QUIET_NAN;
        return true;
    }
    if (std::strcmp(name, "INF") == 0) {
        value = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    return false;
}

void push_float(State* lex, double d) {
    Cell c{};
    push_value(lex, *float_::make_at(&c, d));
}

// ---- Dates ----------------------------------------------------------------------------

constexpr const char* MONTH_NAMES[12] = {"january", "february", "march",     "april",
                                         "may",     "june",     "july",      "august",
                                         "september", "october", "november", "december"};
constexpr int MONTH_DAYS[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool leap_year_q(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// A cursor over the token's text.
struct Text {
    const uint8_t* p;
    const uint8_t* end;

    bool at(char c) const { return p < end && *p == c; }
    bool at_digit() const { return p < end && digit_q(*p); }
    bool take(char c) {
        if (!at(c)) return false;
        p++;
        return true;
    }
    // Up to `most` digits; `count` receives how many were read.
    int digits(int most, int& count) {
        int value = 0;
        for (count = 0; count < most && at_digit(); count++) value = value * 10 + (*p++ - '0');
        return value;
    }
    // Exactly `n` digits, or -1.
    int exactly(int n) {
        int count;
        int value = digits(n, count);
        return count == n ? value : -1;
    }
};

// Seconds: digits and points.
bool read_seconds(Text& t, double& seconds) {
    const uint8_t* from = t.p;
    while (t.at_digit() || t.at('.')) t.p++;
    return t.p > from && read_float(from, t.p, 0, seconds);
}

// "Z" or a sign, hours, an optional ":" and minutes.
bool read_zone(Text& t, value::DateFields& d) {
    if (t.take('Z')) return true;
    if (!t.at('+') && !t.at('-')) return true;
    int sign = *t.p++ == '-' ? -1 : 1;
    int count;
    d.zone_hours = t.digits(2, count);
    if (count == 0) return false;
    t.take(':');
    d.zone_minutes = t.digits(2, count);
    d.zone_hours *= sign;
    d.zone_minutes *= sign;
    return true;
}

// hours ":" minutes [":" seconds] [zone]
bool read_time_part(Text& t, value::DateFields& d) {
    int count;
    int hours = t.digits(2, count);
    if (count == 0 || !t.take(':')) return false;
    int minutes = t.digits(2, count);
    if (count == 0) return false;
    double seconds = 0.0;
    if (t.take(':') && !read_seconds(t, seconds)) return false;
    if (hours >= 24 || minutes >= 60 || !(seconds < 60.0)) return false;
    d.time_of_day = hours * 3600.0 + minutes * 60.0 + seconds;
    d.has_time = true;
    return read_zone(t, d);
}

// YYYYMMDD "T" hhmm[ss[.fff]] ["Z" | sign hh mm]
bool read_compact(Text& t, value::DateFields& d) {
    d.month = t.exactly(2);
    d.day = t.exactly(2);
    if (d.month < 0 || d.day < 0 || !t.take('T')) return false;
    int hours = t.exactly(2), minutes = t.exactly(2);
    if (hours < 0 || minutes < 0) return false;
    double seconds = 0.0;
    if (t.at_digit() && !read_seconds(t, seconds)) return false;
    if (hours >= 24 || minutes >= 60 || !(seconds < 60.0)) return false;
    d.time_of_day = hours * 3600.0 + minutes * 60.0 + seconds;
    d.has_time = true;
    if (t.take('Z')) return true;
    if (t.at('+') || t.at('-')) {
        int sign = *t.p++ == '-' ? -1 : 1;
        d.zone_hours = t.exactly(2);
        d.zone_minutes = t.exactly(2);
        if (d.zone_hours < 0 || d.zone_minutes < 0) return false;
        d.zone_hours *= sign;
        d.zone_minutes *= sign;
    }
    return true;
}

// A month as one or two digits or as the first 3 to 9 letters of its name.
int read_month(Text& t) {
    int count;
    int month = t.digits(2, count);
    if (count > 0) return month;
    const uint8_t* from = t.p;
    while (t.p < t.end && ((*t.p | 32) >= 'a' && (*t.p | 32) <= 'z')) t.p++;
    size_t n = size_t(t.p - from);
    if (n < 3 || n > 9) return 0;
    for (int m = 0; m < 12; m++) {
        if (std::strlen(MONTH_NAMES[m]) < n) continue;
        bool same = true;
        for (size_t i = 0; i < n && same; i++) same = uint8_t(from[i] | 32) == uint8_t(MONTH_NAMES[m][i]);
        if (same) return m + 1;
    }
    return 0;
}

enum class DateForm { calendar, week, ordinal };

bool read_date(Text& t, value::DateFields& d, DateForm& form) {
    bool negative = t.take('-');
    int first_digits;
    int first = t.digits(4, first_digits);
    if (first_digits == 0) return false;
    if (negative) first = -first;
    form = DateForm::calendar;
    if (t.at_digit()) {
        d.year = first;
        return first_digits == 4 && !negative && read_compact(t, d);
    }
    if (t.at('-') && t.p + 1 < t.end && t.p[1] == 'W' && first_digits == 4) {
        t.p += 2;
        form = DateForm::week;
        d.year = first;
        d.week = t.exactly(2);
        d.weekday = 1;
        if (t.take('-')) {
            int count;
            d.weekday = t.digits(1, count);
            if (count == 0) return false;
        }
        if (d.week < 1 || d.week > 53 || d.weekday < 1 || d.weekday > 7) return false;
        return !t.take('T') || read_time_part(t, d);
    }
    if (t.at('-') && t.end - t.p >= 4 && digit_q(t.p[1]) && digit_q(t.p[2]) && digit_q(t.p[3]) &&
        (t.end - t.p == 4 || !digit_q(t.p[4]))) {
        t.p++;
        form = DateForm::ordinal;
        d.year = first;
        d.yearday = t.exactly(3);
        if (d.yearday < 1 || d.yearday > (leap_year_q(d.year) ? 366 : 365)) return false;
        return !t.take('T') || read_time_part(t, d);
    }
    if (!t.at('-') && !t.at('/')) return false;
    char separator = char(*t.p++);
    d.month = read_month(t);
    if (!t.take(separator)) return false;
    // A year before year 0 stands last, after "/" separators: "1/Jan/-0050".
    bool third_negative = separator == '/' && t.take('-');
    int third_digits;
    int third = t.digits(5, third_digits);
    if (third_digits == 0) return false;
    if (third_negative) third = -third;
    int year_digits;
    if (third > 31 || third < 0 || first < 100) {
        d.day = first;
        d.year = third;
        year_digits = third_digits;
    } else {
        d.year = first;
        d.day = third;
        year_digits = first_digits;
    }
    if (d.year >= 0 && d.year <= 99 && year_digits < 3) d.year += d.year < 50 ? 2000 : 1900;
    if (t.take('/') || t.take('T')) return read_time_part(t, d);
    return true;
}

bool valid_date(const value::DateFields& d, DateForm form) {
    if (d.year <= -10000 || d.year >= 10000) return false;
    if (d.zone_hours < -15 || d.zone_hours > 15 || d.zone_minutes <= -60 || d.zone_minutes >= 60) return false;
    if (form == DateForm::week) return d.week <= value::iso_weeks_in(d.year);
    if (form != DateForm::calendar) return true;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > MONTH_DAYS[d.month - 1]) return false;
    return !(d.month == 2 && d.day == 29 && !leap_year_q(d.year));
}

// ---- Money ----------------------------------------------------------------------------

constexpr int MONEY_INTEGER_DIGITS = 17;
constexpr int MONEY_FRACTION_DIGITS = 5;

bool add_money_digit(char* digits, int& length, uint8_t c) {
    if (length >= text_to_number::MONEY_TEXT_DIGITS) return false;
    digits[length++] = char(c);
    digits[length] = '\0';
    return true;
}

bool read_money(const uint8_t* p, const uint8_t* end, text_to_number::MoneyText& m) {
    m = text_to_number::MoneyText{};
    if (p < end && (*p == '+' || *p == '-')) m.negative = *p++ == '-';
    if (p < end && *p != '$') {
        if (end - p < 4 || p[3] != '$') return false;
        std::memcpy(m.currency, p, 3);
        p += 3;
    }
    if (p >= end || *p != '$') return false;
    p++;
    if (p >= end || *p == '.' || *p == ',' || *p == '\'') return false;
    // Leading zeros and separators say nothing; one digit stays before a
    // point or the end.
    while (p < end && (*p == '0' || *p == '\'')) {
        if (*p == '0' && (p + 1 == end || p[1] == '.' || p[1] == ',')) break;
        p++;
    }
    int digits = 0;
    bool separator = false;
    for (; p < end && *p != '.' && *p != ','; p++) {
        if (*p == '\'') {
            if (separator) return false;
            separator = true;
            continue;
        }
        if (!digit_q(*p)) return false;
        separator = false;
        if (++digits > MONEY_INTEGER_DIGITS) return false;
        if (m.integer_length == 0 && *p == '0') continue;
        add_money_digit(m.integer_digits, m.integer_length, *p);
    }
    if (separator || digits == 0) return false;
    if (p == end) return true;
    p++;
    if (p == end || end - p > MONEY_FRACTION_DIGITS) return false;
    for (; p < end; p++) {
        if (!digit_q(*p)) return false;
        add_money_digit(m.fraction_digits, m.fraction_length, *p);
    }
    return true;
}

// ---- Point literals -------------------------------------------------------------------

// One component: blanks, a number (or a special float), blanks.
bool read_component(State* lex, const uint8_t* p, const uint8_t* end, float& out) {
    while (p < end && (*p == ' ' || *p == '\t')) p++;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t')) end--;
    if (p == end) return false;
    double d;
    bool special = std::memchr(p, '#', size_t(end - p)) != nullptr;
    if (special ? !read_special_float(p, end, d) : !read_float(p, end, 0, d))
        raise_error(lex, p, end, TYPE_FLOAT);
    out = float(d);
    return true;
}

}  // namespace

// ---- Integers and floats ---------------------------------------------------------------------

// Too many digits for 32 bits make the token a float.
void load_integer(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end;
    int32_t value;
    switch (read_integer(start, end, value)) {
        case Number::invalid: raise_error(lex, start, end, TYPE_INTEGER);
        case Number::too_big:
            lex->type = TYPE_FLOAT;
            load_float(lex, start, end, flags, load);
            return;
        case Number::ok: break;
    }
    if (!load) return;
    Cell c{};
    cell::set(&c, TYPE_INTEGER);
    push_value(lex, *integer::make_at(&c, value));
}

// Two to eight upper-case hexadecimal digits and "h": 32 bits, so
// "FFFFFFFFh" is -1.
void load_hex(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    const uint8_t* digits_end = end - 1;
    int64_t n = digits_end - start;
    if (n == 1 && !digit_q(*start)) raise_error(lex, start, end, TYPE_WORD);
    if (n < 2 || n > 8) raise_error(lex, start, end, TYPE_INTEGER);
    uint32_t value = 0;
    for (const uint8_t* p = start; p < digits_end; p++) {
        int d = text_to_number::hex_digit(*p);
        if (d < 0) raise_error(lex, start, end, TYPE_INTEGER);
        value = value << 4 | uint32_t(d);
    }
    if (!load) return;
    Cell c{};
    cell::set(&c, TYPE_INTEGER);
    push_value(lex, *integer::make_at(&c, int32_t(value)));
}

void load_float(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    double d;
    if (!read_float(start, end, 0, d)) raise_error(lex, start, end, TYPE_FLOAT);
    if (load) push_float(lex, d);
}

void load_special_float(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    double d;
    if (!read_special_float(start, end, d)) raise_error(lex, start, end, TYPE_FLOAT);
    if (load) push_float(lex, d);
}

// The number before "%", in hundredths.
void load_percent(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end + 1;
    double d;
    if (!read_float(start, end, -2, d)) raise_error(lex, start, end, TYPE_FLOAT);
    if (!load) return;
    Cell c{};
    push_value(lex, *percent::make_at(&c, d));
}

// ---- Tuples, pairs, points ----------------------------------------------------------------------

// 3 to 12 decimal parts of 0-255 joined by points.
void load_tuple(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    uint8_t bytes[12] = {};
    int count = 0;
    int part = -1;  // -1 until the part has a digit
    for (const uint8_t* p = start; p <= end; p++) {
        uint8_t c = p < end ? *p : '.';
        if (digit_q(c)) {
            part = (part < 0 ? 0 : part) * 10 + (c - '0');
            if (part > 255) raise_error(lex, start, end, TYPE_TUPLE);
        } else if (c == '.' && part >= 0 && count < 12) {
            bytes[count++] = uint8_t(part);
            part = -1;
        } else {
            raise_error(lex, start, end, TYPE_TUPLE);
        }
    }
    if (count < 3) raise_error(lex, start, end, TYPE_TUPLE);
    if (!load) return;
    Cell c{};
    push_value(lex, *value::make_tuple(&c, bytes, count));
}

// Two integers joined by "x", each within 32 bits.
void load_pair(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    const uint8_t* x = start;
    while (x < end && *x != 'x' && *x != 'X') x++;
    if (x == end || std::memchr(start, '.', size_t(end - start))) raise_error(lex, start, end, TYPE_PAIR);
    int32_t parts[2];
    if (read_integer(start, x, parts[0]) != Number::ok || read_integer(x + 1, end, parts[1]) != Number::ok)
        raise_error(lex, start, end, TYPE_PAIR);
    if (!load) return;
    Cell c{};
    push_value(lex, *value::make_pair(&c, parts[0], parts[1]));
}

// The inside of "(x, y)" or "(x, y, z)", from after the "(" to the ")".
void load_point(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->state = STATE_BETWEEN;
    lex->token_lines = lex->point_lines;
    lex->position = end + 1;
    const uint8_t* open = start - 1;
    float xyz[3];
    int count = 0;
    const uint8_t* p = start;
    for (;;) {
        const uint8_t* comma = p;
        while (comma < end && *comma != ',') comma++;
        if (count == 3) raise_error(lex, open, end + 1, TYPE_POINT3D);
        if (!read_component(lex, p, comma, xyz[count]))
            raise_error(lex, open, end + 1, count == 2 ? TYPE_POINT3D : TYPE_POINT2D);
        count++;
        if (comma == end) break;
        p = comma + 1;
    }
    if (count < 2) raise_error(lex, open, end + 1, TYPE_POINT2D);
    lex->type = count == 2 ? TYPE_POINT2D : TYPE_POINT3D;
    if (!load) return;
    Cell c{};
    if (count == 2)
        value::make_point2d(&c, xyz[0], xyz[1]);
    else
        value::make_point3d(&c, xyz[0], xyz[1], xyz[2]);
    push_value(lex, c);
}

// ---- Times, dates, money --------------------------------------------------------------------------

// [+][-]hours:minutes[:seconds] or [-]minutes:seconds.fraction. The whole
// may hold no more hours than the hours field reads (32 bits), so that every
// time loaded molds as text that loads again.
void load_time(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    const uint8_t* p = start;
    if (p < end && *p == '+') p++;
    const uint8_t* hours_start = p;
    bool negative = p < end && *p == '-';
    while (p < end && *p != ':') p++;
    int32_t hours;
    if (p == hours_start + negative || p == end || read_integer(hours_start, p, hours) != Number::ok)
        raise_error(lex, start, end, TYPE_TIME);
    double hour_count = std::fabs(double(hours));
    p++;
    const uint8_t* minutes_start = p;
    int64_t minutes = 0;
    while (p < end && digit_q(*p)) {
        minutes = minutes * 10 + (*p++ - '0');
        if (minutes > INT32_MAX) raise_error(lex, start, end, TYPE_TIME);
    }
    if (p == minutes_start) raise_error(lex, start, end, TYPE_TIME);
    double seconds = 0.0;
    if (p < end) {
        if (*p == ':' && p + 1 == end) raise_error(lex, start, end, TYPE_TIME);
        for (const uint8_t* q = start; q < end; q++)
            if (*q == 'e' || *q == 'E') raise_error(lex, start, end, TYPE_TIME);
        const uint8_t* seconds_start = p + 1;
        if (*p == '.' || *p == ',') {  // minutes:seconds.fraction
            seconds_start = minutes_start;
            minutes = int64_t(hour_count);
            hour_count = 0.0;
        } else if (*p != ':') {
            raise_error(lex, start, end, TYPE_TIME);
        }
        int error = text_to_number::TEXT_OK;
        seconds = text_to_number::text_to_float(seconds_start, int(end - seconds_start), 1, error);
        if (error != text_to_number::TEXT_OK || !(seconds >= 0.0)) raise_error(lex, start, end, TYPE_TIME);
    }
    double total = hour_count * 3600.0 + double(minutes) * 60.0 + seconds;
    double whole_hours = (total - std::fmod(total, 3600.0)) / 3600.0;  // as mold counts them
    if (whole_hours > (negative ? -double(INT32_MIN) : double(INT32_MAX)))
        raise_error(lex, start, end, TYPE_TIME);
    if (!load) return;
    Cell c{};
    push_value(lex, *value::make_time(&c, negative ? -total : total));
}

void load_date(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    value::DateFields d{};
    DateForm form;
    Text t{start, end};
    if (!read_date(t, d, form) || t.p != end || !valid_date(d, form))
        raise_error(lex, start, end, TYPE_DATE);
    if (!load) return;
    Cell c{};
    switch (form) {
        case DateForm::calendar: value::make_date(&c, d); break;
        case DateForm::week: value::make_date_from_week(&c, d); break;
        case DateForm::ordinal: value::make_date_from_yearday(&c, d); break;
    }
    push_value(lex, c);
}

void load_money(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    text_to_number::MoneyText text;
    if (!read_money(start, end, text)) raise_error(lex, start, end, TYPE_MONEY);
    if (!load) return;
    Cell c{};
    if (!value::make_money(&c, text)) raise_error(lex, start, end, TYPE_MONEY);
    push_value(lex, c);
}

// ---- Binaries ---------------------------------------------------------------------------------------

// "#{...}", "2#{...}", "16#{...}" or "64#{...}".
void load_binary(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end + 1;
    const uint8_t* hash = start;
    while (hash < end && *hash != '#') hash++;
    int base = 16;
    if (hash > start) {
        std::string_view digits(reinterpret_cast<const char*>(start), size_t(hash - start));
        if (digits == "2")
            base = 2;
        else if (digits == "64")
            base = 64;
        else if (digits != "16")
            raise_error(lex, start, end, TYPE_BINARY);
    }
    const uint8_t* text = hash + 2;
    int64_t count = end - text;
    int64_t bad = 0;
    using binary::DecodeRules;
    Node node = base == 2    ? binary::decode_base2(text, count, 1, DecodeRules::literal, &bad)
                : base == 16 ? binary::decode_base16(text, count, 1, DecodeRules::literal, &bad)
                             : binary::decode_base64(text, count, 1, DecodeRules::literal, &bad);
    if (!node) raise_error(lex, text + bad, end, TYPE_BINARY);
    if (!load) return;
    Cell c{};
    c.header = 0;
    push_value(lex, *binary::make_over(&c, node));
}

}  // namespace zel::lexer
