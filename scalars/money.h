// money!: an exact decimal amount with an optional currency, 22 packed
// decimal digits held in the cell.
//
// Cell bytes: 0-3 the header (type 49; bit 14 the sign, set = negative);
// 4 the currency index (0 none, else the 1-based position of the code in the
// currency list); 5-15 packed BCD, 22 digits, most significant first, the
// earlier digit of each byte in the high nibble. Digits are numbered 1 to 22
// from the front: 1-17 the integral part, 18-22 five decimal places. Zero
// is every digit 0, whatever the sign bit.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::text_to_number {
struct MoneyText;
}

namespace zel::money {

constexpr int DIGITS = 22;
constexpr int INTEGRAL_DIGITS = 17;
constexpr int SCALE = 5;  // decimal places
constexpr int DIGIT_BYTES = 11;
constexpr uint32_t SIGN_FLAG = 0x4000;
constexpr int CURRENCY_MAX = 255;

// ---- Digits, sign and currency ----------------------------------------------------------

int get_digit(const Cell* money, int k);  // k 1..22
void set_digit(Cell* money, int k, int d);
// 22 less the leading zero digits, at least 1.
int significant_digits(const Cell* money);
bool digits_zero_q(const Cell* money);

inline bool get_sign(const Cell* money) { return (money->header & SIGN_FLAG) != 0; }
inline void set_sign(Cell* money, bool negative) {
    money->header = negative ? money->header | SIGN_FLAG : money->header & ~SIGN_FLAG;
}
// -1, 0 or 1; 0 for every zero amount.
int sign(const Cell* money);

inline int currency_of(const Cell* money) { return int(money->data1 & 0xFF); }
inline void set_currency(Cell* money, int index) {
    money->data1 = (money->data1 & ~0xFFu) | uint32_t(index & 0xFF);
}

// ---- The currency list ------------------------------------------------------------------

// Codes in the list.
int currency_count();
// The 1-based index of a 3-letter code (letters in any case), or -1.
int currency_index(const char* code, int length);
// The index of the code a word spells, or -1.
int currency_index_of_word(const Cell* word);
// The code of index 1..currency_count(), as the list writes it.
const char* currency_code(int index);

// Fraction digits form and mold show (0..5 used; more shows 5).
extern int shown_digits;

// ---- Making ------------------------------------------------------------------------------

// The cell becomes a money! of a sign, a currency index and the 11 digit
// bytes.
Cell* make_at(Cell* cell, bool negative, int currency, const uint8_t* digit_bytes);
// The money! of scanned money text (scalars/text_to_number.h MoneyText);
// false when construction refuses it (unknown currency, too many digits).
bool from_text(const text_to_number::MoneyText& text, Cell* result);
Cell* from_integer(Cell* result, int32_t n);
// The double through its shortest decimal text. NaN, infinities, magnitudes
// of 1e17 and above or between 0 and 1e-5 raise script bad-make-arg; so do
// more than 5 decimal places when `strict`, which are cut otherwise.
Cell* from_float(Cell* result, double d, bool strict);

// ---- Reading -----------------------------------------------------------------------------

// The integral part; beyond 32 bits raises script type-limit (integer!).
int32_t to_integer(const Cell* money);
double to_float(const Cell* money);

// ---- Comparing and text ------------------------------------------------------------------

// Amounts only: -1, 0 or 1.
int compare_values(const Cell* a, const Cell* b);
// The compare handler: money against money!, integer! or float!.
int compare(Cell* value1, Cell* value2, int op);
// An integer! or float! against a money!: the number made money first.
int compare_number(const Cell* number, const Cell* money, int op);

// Appends the text: sign, code, "$", the integral digits (grouped by "'"
// with `group`), the decimal places shown (all five with `all`). Answers
// the part budget less the characters appended.
int serialize(const Cell* money, Cell* buffer, int part, bool all, bool group);

void init();

}  // namespace zel::money
