// Text-to-number conversion for `to`: small converters that read a string's
// code units directly, without running the lexer, and share the float
// validation automaton (float_scan.h) with the lexer's float loader. They
// sit below the lexer, which shares their hexadecimal digit reader and the
// money text record.
//
// Each takes the text as an address, a length in characters and the unit
// width (1, 2 or 4 bytes), compares every code unit by its whole value (a
// character above 255 is never a digit, sign, point or separator), and
// reports failure through `error`, which it leaves alone on success. They
// raise nothing: the calling `to` handler raises its own error.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::text_to_number {

enum TextError : int {
    TEXT_OK = 0,
    TEXT_INVALID = -1,
    TEXT_OVERFLOW = -2,  // text-to-integer only
};

// An optional sign and decimal digits; "'" separators are skipped wherever
// they stand. At least one digit. "-2147483648" is the one text past
// 2147483647 that fits.
int32_t text_to_integer(const uint8_t* text, int length, int unit, int& error);

// Float text as the lexer accepts it, "," standing for "." and "'"
// separators skipped; at most 312 characters. NaN on failure.
double text_to_float(const uint8_t* text, int length, int unit, int& error);

// Money text taken apart: an optional sign, an optional 3-letter currency
// code followed by "$", and the amount's digits (leading zeros of the
// integer part dropped).
constexpr int MONEY_TEXT_DIGITS = 32;  // more than any money! holds
struct MoneyText {
    bool negative;
    char currency[4];  // as written, NUL-terminated; "" without a code
    char integer_digits[MONEY_TEXT_DIGITS + 1];
    int integer_length;
    char fraction_digits[MONEY_TEXT_DIGITS + 1];
    int fraction_length;
};
// TEXT_OK with the parts, or TEXT_INVALID.
int scan_money_text(const uint8_t* text, int length, int unit, MoneyText& out);
// The money! of the text in `result`; a text the scan or the money!
// construction refuses is TEXT_INVALID and leaves `result` alone.
Cell* text_to_money(const uint8_t* text, int length, int unit, int& error, Cell* result);

// Decimal parts 0-255 joined by "." (at most 12); fewer than 3 parts are
// padded with zeros as every tuple! construction pads.
Cell* text_to_tuple(const uint8_t* text, int length, int unit, int& error, Cell* result);

// The value of a hexadecimal digit, or -1.
int hex_digit(uint32_t c);
// Two hexadecimal digits as one byte, first digit high, answering the
// address after them; fewer than two bytes or a non-digit gives -1 and
// answers p.
const uint8_t* hex_pair(const uint8_t* p, const uint8_t* end, int& value);
// Subtracts 32 from every byte above 96, in place.
char* upcase_ascii(char* text);

}  // namespace zel::text_to_number
