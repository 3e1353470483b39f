// Float text conversion: digits, layout and reading of doubles.
//
// Relies on std::to_chars and std::from_chars for the correctly rounded
// arithmetic; everything the language decides about the text is here.
#include "scalars/dtoa.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zel::dtoa {

namespace {

constexpr uint64_t SIGN_BIT = 0x8000000000000000ull;
constexpr uint64_t EXPONENT_BITS = 0x7FF0000000000000ull;
constexpr uint64_t QUIET_NAN = 0x7FF8000000000000ull;

void set_text(Digits& d, const char* text) {
    d.length = int(std::strlen(text));
    std::memcpy(d.text, text, size_t(d.length) + 1);
}

// Splits to_chars' scientific text "d.ddde+XX" into the digits (trailing
// zeros dropped) and decpt.
void take_scientific(Digits& d, const char* sci, const char* end) {
    int n = 0;
    const char* p = sci;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.') d.text[n++] = *p;
    while (n > 1 && d.text[n - 1] == '0') --n;
    d.text[n] = '\0';
    d.length = n;
    int exponent = 0;
    ++p;  // the 'e'
    if (*p == '+') ++p;
    std::from_chars(p, end, exponent);
    d.decpt = exponent + 1;
}

}  // namespace

Digits float_to_digits(double value, int ndigits, bool zero_text) {
    Digits d{};
    uint64_t bits = std::bit_cast<uint64_t>(value);
    d.sign = (bits & SIGN_BIT) ? 1 : 0;
    if ((bits & EXPONENT_BITS) == EXPONENT_BITS) {
        d.decpt = DECPT_SPECIAL;
        set_text(d, (bits & ~(SIGN_BIT | EXPONENT_BITS)) ? "1.#NaN"
                    : d.sign                             ? "-1.#INF"
                                                         : "1.#INF");
        return d;
    }
    if (value == 0.0) {
        d.decpt = DECPT_ZERO;
        set_text(d, zero_text ? (d.sign ? "-0.0" : "0.0") : (d.sign ? "-0" : "0"));
        return d;
    }
    double magnitude = std::bit_cast<double>(bits & ~SIGN_BIT);
    char sci[64];
    std::to_chars_result r;
    if (ndigits <= 0) {
        r = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific);
    } else {
        int precision = (ndigits > DIGITS_MAX ? DIGITS_MAX : ndigits) - 1;
        r = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific,
                          precision);
    }
    take_scientific(d, sci, r.ptr);
    return d;
}

namespace {

// Appends to a FloatText; the buffer is sized for the longest layout.
struct Writer {
    FloatText& t;
    void put(char c) { t.chars[t.length++] = c; }
    void put(const char* s, int n) {
        std::memcpy(t.chars + t.length, s, size_t(n));
        t.length += n;
    }
    void zeros(int n) {
        while (n-- > 0) put('0');
    }
    void exponent(int e) {
        auto r = std::to_chars(t.chars + t.length, t.chars + sizeof t.chars, e);
        t.length = int(r.ptr - t.chars);
    }
    void finish() { t.chars[t.length] = '\0'; }
};

}  // namespace

FloatText form_float(double value, int ndigits, bool zero_text) {
    Digits d = float_to_digits(value, ndigits, zero_text);
    FloatText t{};
    Writer w{t};
    if (d.decpt >= DECPT_ZERO) {
        w.put(d.text, d.length);
        w.finish();
        return t;
    }
    if (d.sign) w.put('-');
    if (d.decpt >= 18 || d.decpt < -6) {
        w.put(d.text[0]);
        if (d.length > 1) {
            w.put('.');
            w.put(d.text + 1, d.length - 1);
        } else if (zero_text) {
            w.put(".0", 2);
        }
        w.put('e');
        w.exponent(d.decpt - 1);
    } else {
        if (d.decpt <= 0) {
            w.put("0.", 2);
            w.zeros(-d.decpt);
            w.put(d.text, d.length);
        } else if (d.decpt >= d.length) {
            w.put(d.text, d.length);
            w.zeros(d.decpt - d.length);
            w.put('.');
        } else {
            w.put(d.text, d.decpt);
            w.put('.');
            w.put(d.text + d.decpt, d.length - d.decpt);
        }
        if (t.chars[t.length - 1] == '.') {
            if (zero_text)
                w.put('0');
            else
                --t.length;
        }
    }
    w.finish();
    return t;
}

namespace {

// Significant digits kept for from_chars. A double's halfway points have at
// most 767 significant digits, so the first 780 digits and one sticky digit
// standing for any non-zero rest round exactly as the whole text does.
constexpr int KEEP_DIGITS = 780;

// Beyond this a written exponent only saturates: the value is already far
// outside the double range, whatever the digits and the adjustment.
constexpr int64_t EXPONENT_CEILING = 1'000'000'000'000'000;

// value in [10^(point-1), 10^point): above 10^310 is infinite, below 10^-324
// (under half the smallest subnormal) is zero.
constexpr int64_t POINT_OVERFLOW = 310;
constexpr int64_t POINT_UNDERFLOW = -324;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct DigitRun {
    char kept[KEEP_DIGITS + 1];
    int n_kept = 0;
    int64_t count = 0;  // significant digits, the dropped ones included
    bool sticky = false;

    void add(char c) {
        if (n_kept < KEEP_DIGITS)
            kept[n_kept++] = c;
        else if (c != '0')
            sticky = true;
        ++count;
    }
};

bool special_letter(char c) { return c == 'I' || c == 'i' || c == 'N' || c == 'n'; }

double signed_value(double magnitude, bool negative) { return negative ? -magnitude : magnitude; }

// digits x 10^exp10, correctly rounded.
double scale_digits(const DigitRun& run, int64_t exp10) {
    constexpr double INF = std::numeric_limits<double>::infinity();
    int64_t point = run.count + exp10;
    if (point > POINT_OVERFLOW) return INF;
    if (point < POINT_UNDERFLOW) return 0.0;
    char text[KEEP_DIGITS + 32];
    std::memcpy(text, run.kept, size_t(run.n_kept));
    int n = run.n_kept;
    int64_t e = exp10 + (run.count - run.n_kept);
    if (run.sticky) {
        text[n++] = '1';
        --e;
    }
    text[n++] = 'e';
    auto w = std::to_chars(text + n, text + sizeof text, e);
    double value = 0.0;
    auto r = std::from_chars(text, w.ptr, value);
    if (r.ec == std::errc::result_out_of_range) value = point > 0 ? INF : 0.0;
    return value;
}

}  // namespace

std::string positional_text(double value, int ndigits, int shift) {
    Digits d = float_to_digits(value, ndigits, false);
    if (d.decpt >= DECPT_ZERO) return std::string(d.text, size_t(d.length));
    std::string digits(d.text, size_t(d.length));
    std::string out = d.sign ? "-" : "";
    int point = d.decpt + shift;
    if (point <= 0) return out + "0." + std::string(size_t(-point), '0') + digits;
    if (point >= d.length) return out + digits + std::string(size_t(point - d.length), '0');
    return out + digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
}

double string_to_float(const char* start, const char* end, int exponent_adjust, int& unconsumed) {
    const char* s = start;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    bool zero_seen = false;
    while (s < end && *s == '0') {
        zero_seen = true;
        ++s;
    }
    DigitRun run;
    while (s < end && is_digit(*s)) run.add(*s++);

    if (run.count == 1 && end - s > 2 && s[0] == '.' && s[1] == '#' && special_letter(s[2])) {
        unconsumed = 0;
        if (s[2] == 'N' || s[2] == 'n') return std::bit_cast<double>(QUIET_NAN);
        return signed_value(std::numeric_limits<double>::infinity(), negative);
    }

    int64_t fraction = 0;  // digits after the point, leading zeros included
    if (s < end && *s == '.') {
        ++s;
        if (run.count == 0) {
            while (s < end && *s == '0') {
                zero_seen = true;
                ++fraction;
                ++s;
            }
        }
        while (s < end && is_digit(*s)) {
            run.add(*s++);
            ++fraction;
        }
    }
    if (run.count == 0 && !zero_seen) {  // no number at all: nothing is read
        unconsumed = int(end - start);
        return 0.0;
    }

    int64_t written = 0;
    if (s < end && (*s == 'e' || *s == 'E') && end - s > 1) {
        ++s;
        bool exponent_negative = false;
        if (*s == '+' || *s == '-') {
            exponent_negative = *s == '-';
            ++s;
        }
        // The digits run to the first non-digit: a stray byte is left
        // unconsumed instead of being read as a digit.
        for (; s < end && is_digit(*s); ++s)
            if (written < EXPONENT_CEILING) written = written * 10 + (*s - '0');
        if (exponent_negative) written = -written;
    }
    unconsumed = int(end - s);
    if (run.count == 0) return signed_value(0.0, negative);
    return signed_value(scale_digits(run, written + exponent_adjust - fraction), negative);
}

}  // namespace zel::dtoa
