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
constexpr int FIRST_DIGIT_BYTE = 5;  // the cell byte of digits 1 and 2
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

// ---- The currency list and the places shown ------------------------------------------------

// What money reads of the system object: system/locale/currencies/list (a
// block! of code words, indexes counting its positions) and
// system/options/money-digits. Start-up hands the readers over once the
// object exists; each answers null while there is none, and then the codes
// the list starts with and 2 places serve.
struct System {
    const Cell* (*currency_list)();
    const Cell* (*money_digits)();
};
extern System g_system;

// Codes in the list (at most 255 count).
int currency_count();
// The 1-based index of a 3-letter code (letters in any case), or -1.
int currency_index(const char* code, int length);
// The index of the code a word spells, or -1.
int currency_index_of_word(const Cell* word);
// The code of index 1..currency_count() as the list writes it, NUL-ended in
// `code`; false (and "") for another index.
bool currency_code(int index, char code[4]);
// The word of index 1..currency_count() in `result`; none! for another.
Cell* currency_word(int index, Cell* result);

// Fraction digits form and mold show: the setting when it is an integer!,
// else 2 (0..5 used; more shows 5).
int shown_places();

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

// ---- Arithmetic --------------------------------------------------------------------------

// Exact decimal arithmetic on the signs and digits of two money! cells; the
// result's sign and digits go into `a` (its currency byte is left alone).
// A result beyond 17 integral digits, or a non-zero product or quotient
// below 0.00001, raises script type-limit (money!); dividing by a zero
// amount raises math zero-divide. Products and quotients are truncated
// toward zero at 5 places; a remainder takes the sign of `a`.
void add_values(Cell* a, const Cell* b);
void subtract_values(Cell* a, const Cell* b);
void multiply_values(Cell* a, const Cell* b);
void divide_values(Cell* a, const Cell* b, bool remainder);
// op: scalar_math::Op add .. remainder; any other raises script
// invalid-type (money!).
void do_op(Cell* a, const Cell* b, int op);
// The math core of the binary actions on the first two argument cells,
// with money on either side; integer! and float! hand a money! right
// operand over to it.
Cell* do_math(int op);

// ---- Comparing and text ------------------------------------------------------------------

// Amounts only: -1, 0 or 1.
int compare_values(const Cell* a, const Cell* b);
// The compare handler: money against money!, integer! or float!.
int compare(Cell* value1, Cell* value2, int op);
// An integer! or float! against a money!, the mirror of the money! on the
// left: integers are made money, floats too (their extra places cut), and
// floats beyond what money holds order by their sign.
int compare_number(const Cell* number, const Cell* money, int op);

// Appends the text: sign, code, "$", the integral digits (grouped by "'"
// with `group`), the decimal places shown (all five with `all`). Answers
// the part budget less the characters appended.
int serialize(const Cell* money, Cell* buffer, int part, bool all, bool group);

// ---- Action handlers of money_math.cpp ------------------------------------------------------

Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
            bool ceiling, bool half_ceiling);
Cell* random_(Cell* value, bool seed, bool secure, bool only);

void init();

}  // namespace zel::money
