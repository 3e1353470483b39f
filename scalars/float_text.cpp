// The text of float! and percent! values: to_text with its kinds, the pretty
// pass and the ".0" and "%" decorations.
//
// Relies on dtoa for digits and the shortest layout. The "%.Ng" prints are
// our own: 17 correctly rounded digits cut half-up to N, laid out as %g
// does (positional when -4 <= exponent < N, trailing zeros dropped), with
// the exponent written short ("e20", "e-5").
#include "scalars/float_text.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace zel::float_ {

int pretty_print_q = 1;
int full_support_q = 0;

namespace {

using dtoa::FloatText;

// Per kind: the digits of the plain print (0: through form_float with 6
// digits) and of the pretty reprint.
constexpr int PRINT_DIGITS[] = {7, 16, 7, 13, 0, 7};
constexpr int PRETTY_DIGITS[] = {5, 14, 14, 14, 5, 5};
constexpr int SECONDS_DIGITS = 6;
constexpr int ROUNDING_DIGITS = 17;

bool percent_kind(int kind) { return kind == TEXT_PERCENT32 || kind == TEXT_PERCENT; }

FloatText make_text(const char* s) {
    FloatText t{};
    t.length = int(std::strlen(s));
    std::memcpy(t.chars, s, size_t(t.length) + 1);
    return t;
}

// Cuts the digits to n, rounding half-up on the digits alone; a carry out of
// the first digit raises decpt.
void round_half_up(dtoa::Digits& d, int n) {
    if (d.length <= n) return;
    bool up = d.text[n] >= '5';
    d.length = n;
    if (up) {
        int i = n - 1;
        while (i >= 0 && d.text[i] == '9') --i;
        if (i < 0) {
            d.text[0] = '1';
            d.length = 1;
            ++d.decpt;
        } else {
            ++d.text[i];
            d.length = i + 1;
        }
    }
    while (d.length > 1 && d.text[d.length - 1] == '0') --d.length;
    d.text[d.length] = '\0';
}

// The "%.Ng" print of a finite value.
FloatText print_g(double value, int precision) {
    if (value == 0.0) return make_text(std::signbit(value) ? "-0" : "0");
    dtoa::Digits d = dtoa::float_to_digits(value, ROUNDING_DIGITS, true);
    round_half_up(d, precision);
    FloatText t{};
    auto put = [&t](char c) { t.chars[t.length++] = c; };
    if (d.sign) put('-');
    int x = d.decpt - 1;  // the exponent of the first digit
    if (x < -4 || x >= precision) {
        put(d.text[0]);
        if (d.length > 1) {
            put('.');
            for (int i = 1; i < d.length; ++i) put(d.text[i]);
        }
        put('e');
        if (x < 0) put('-');
        int magnitude = x < 0 ? -x : x;
        if (magnitude >= 100) put(char('0' + magnitude / 100));
        if (magnitude >= 10) put(char('0' + magnitude / 10 % 10));
        put(char('0' + magnitude % 10));
    } else if (x < 0) {
        put('0');
        put('.');
        for (int i = -1; i > x; --i) put('0');
        for (int i = 0; i < d.length; ++i) put(d.text[i]);
    } else {
        for (int i = 0; i <= x; ++i) put(i < d.length ? d.text[i] : '0');
        if (d.length > x + 1) {
            put('.');
            for (int i = x + 1; i < d.length; ++i) put(d.text[i]);
        }
    }
    t.chars[t.length] = '\0';
    return t;
}

// The noise of a print that missed a short decimal by an ulp or two: a long
// text whose last digits before any exponent are "01" or "99".
bool noisy(const FloatText& t) {
    const char* e = static_cast<const char*>(std::memchr(t.chars, 'e', size_t(t.length)));
    int n = e ? int(e - t.chars) : t.length;
    const char* first_digit = t.chars + (t.chars[0] == '-');
    int limit = (!e && *first_digit == '0') ? 17 : 16;
    if (n <= limit) return false;
    const char* tail = t.chars + n - 2;
    return (tail[0] == '0' && tail[1] == '1') || (tail[0] == '9' && tail[1] == '9');
}

void append(FloatText& t, char c) {
    t.chars[t.length++] = c;
    t.chars[t.length] = '\0';
}

// ".0" goes before the exponent, or at the end.
void add_point_zero(FloatText& t) {
    char* e = static_cast<char*>(std::memchr(t.chars, 'e', size_t(t.length)));
    int at = e ? int(e - t.chars) : t.length;
    std::memmove(t.chars + at + 2, t.chars + at, size_t(t.length - at) + 1);
    t.chars[at] = '.';
    t.chars[at + 1] = '0';
    t.length += 2;
}

}  // namespace

FloatText to_text(double value, int kind) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    if ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull)
        return make_text(std::isnan(value) ? "1.#NaN" : value < 0 ? "-1.#INF" : "1.#INF");
    if (pretty_print_q && std::fabs(value) < DBL_EPSILON)
        return make_text(percent_kind(kind) ? "0%" : kind == TEXT_POINT ? "0" : "0.0");

    FloatText t = kind == TEXT_SECONDS ? dtoa::form_float(value, SECONDS_DIGITS, false)
                                       : print_g(value, PRINT_DIGITS[kind]);
    if (pretty_print_q && noisy(t)) t = print_g(value, PRETTY_DIGITS[kind]);

    if (percent_kind(kind))
        append(t, '%');
    else if (kind != TEXT_SECONDS && kind != TEXT_POINT &&
             !std::memchr(t.chars, '.', size_t(t.length)))
        add_point_zero(t);
    return t;
}

FloatText form_text(double value) { return to_text(value, TEXT_FLOAT); }

FloatText mold_text(double value) { return dtoa::form_float(value, 0, true); }

}  // namespace zel::float_

namespace zel::percent {

dtoa::FloatText form_text(double fraction) {
    return float_::to_text(fraction * 100.0, float_::TEXT_PERCENT);
}

}  // namespace zel::percent
