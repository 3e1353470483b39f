// Float text conversion: doubles to decimal digits and to the language's
// float text, and decimal text back to doubles, correctly rounded both ways.
//
// Digit generation stands on std::to_chars (the shortest digits that read
// back to the same double, or a given number of significant digits rounded
// to nearest with ties to even) and reading on std::from_chars. What is ours:
// the scanning of the text (its accepted forms, the unconsumed count, the
// exponent adjustment, the special forms, the saturation of huge exponents),
// the layout of the float text and the texts of zeros, infinities and NaN.
//
// Results are returned by value in small fixed buffers: there is no shared
// static buffer, so two results may be kept side by side.
#pragma once

#include <cstddef>
#include <string>

namespace zel::dtoa {

// decpt of a result whose text is already final.
constexpr int DECPT_SPECIAL = 9999;  // infinity or NaN
constexpr int DECPT_ZERO = 9998;     // zero

// The most significant digits ever produced; larger requests are cut to it.
constexpr int DIGITS_MAX = 30;

// Digits of a double: the value is 0.d1d2... x 10^decpt. For zero and the
// specials (decpt 9998 or 9999), `text` is the complete text with its sign.
struct Digits {
    char text[DIGITS_MAX + 2];  // NUL-terminated
    int length;                 // characters in text
    int decpt;
    int sign;  // 1 for a negative value, -0.0 included
};

// A laid-out float text, NUL-terminated.
struct FloatText {
    char chars[48];
    int length;
    const char* c_str() const { return chars; }
};

// ndigits <= 0: the shortest digits that read back to the same double;
// ndigits > 0: at most that many significant digits (up to DIGITS_MAX),
// correctly rounded, ties to even; trailing zeros removed either way.
// Infinity and NaN give "1.#INF", "-1.#INF", "1.#NaN"; zero gives "0.0" and
// "-0.0" with zero_text set, "0" and "-0" without.
Digits float_to_digits(double value, int ndigits, bool zero_text);

// The language's float text of the digits above: scientific from 1e17 up and
// below 1e-7 ("1.2345e20", "5.0e-8"), positional otherwise ("0.000123",
// "12.5"). zero_text keeps the ".0" of "100.0" and "1.0e17"; without it they
// are "100" and "1e17".
FloatText form_float(double value, int ndigits, bool zero_text);

// The digits of the value as float_to_digits makes them (ndigits <= 0: the
// shortest that read back to the same double), with the point moved `shift`
// places to the right and laid out without an exponent whatever the
// magnitude, for texts that take none (a time's seconds, a percent with
// shift 2): "12.5", "0.000000001", "100". Zero is "0" or "-0"; infinity
// and NaN give their special texts.
std::string positional_text(double value, int ndigits, int shift);

// Reads an optional sign, digits, an optional point and fraction, and an
// optional exponent (taken only when something follows the "e"), stopping at
// the first character that does not fit; `unconsumed` receives how many
// characters were left before end (0 when the whole text was read). The
// exponent adjustment is added to the decimal exponent (-2 reads "50" as
// 0.5). One significant digit followed by ".#I" or ".#N" (either case) is
// infinity with its sign or the quiet NaN. Out-of-range magnitudes saturate to
// infinity or zero with the text's sign; nothing is ever raised.
double string_to_float(const char* start, const char* end, int exponent_adjust, int& unconsumed);

}  // namespace zel::dtoa
