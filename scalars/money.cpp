// money!: digits, sign and currency of the cell, the currency list,
// construction from text, integers, floats, words and blocks, conversion to
// integers and floats, comparison, the text form, the sign, parity and
// field handlers and the registration (the arithmetic, round and random are
// money_math.cpp's).
//
// Cell bytes: 0-3 header (type 49, bit 14 the sign), 4 the currency index,
// 5-15 22 packed decimal digits (17 integral, 5 decimal places).
//
// Relies on the float text conversion for floats made money and money made
// float, on the text-to-number scanner for `to` of text, and on the symbol
// table for currency words; the currency list and the places shown are
// read from the system object through g_system, which start-up sets.
#include "scalars/money.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/dtoa.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "scalars/text_to_number.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::money {

using namespace compare;

namespace {

const Cell* no_system_value() { return nullptr; }

}  // namespace

System g_system = {no_system_value, no_system_value};

namespace {

// The codes system/locale/currencies/list starts with, in the order their
// indexes count: they serve before the system object exists (the lexer
// reads money text while start-up runs).
constexpr const char CURRENCIES[][4] = {
    "AED", "AFN", "ALL", "AMD", "ANG", "AOA", "ARS", "AUD", "AWG", "AZN", "BAM", "BBD", "BDT",
    "BTC", "BGN", "BHD", "BIF", "BMD", "BND", "BOB", "BRL", "BSD", "BTN", "BWP", "BYN", "BZD",
    "CAD", "CDF", "CHF", "CKD", "CLP", "CNY", "COP", "CRC", "CUC", "CUP", "CVE", "CZK", "DJF",
    "DKK", "DOP", "DZD", "EGP", "ERN", "ETB", "ETH", "EUR", "FJD", "FKP", "FOK", "GBP", "GEL",
    "GGP", "GHS", "GIP", "GMD", "GNF", "GTQ", "GYD", "HKD", "HNL", "HRK", "HTG", "HUF", "IDR",
    "ILS", "IMP", "INR", "IQD", "IRR", "ISK", "JEP", "JMD", "JOD", "JPY", "KES", "KGS", "KHR",
    "KID", "KMF", "KPW", "KRW", "KWD", "KYD", "KZT", "LAK", "LBP", "LKR", "LRD", "LSL", "LYD",
    "MAD", "MDL", "MGA", "MKD", "MMK", "MNT", "MOP", "MRU", "MUR", "MVR", "MWK", "MXN", "MYR",
    "MZN", "NAD", "NGN", "NIO", "NOK", "NPR", "NZD", "OMR", "PAB", "PEN", "PGK", "PHP", "PKR",
    "PLN", "PND", "PRB", "PYG", "QAR", "ZEL", "RON", "RSD", "RUB", "RWF", "SAR", "SBD", "SCR",
    "SDG", "SEK", "SGD", "SHP", "SLL", "SLS", "SOS", "SRD", "SSP", "STN", "SYP", "SZL", "THB",
    "TJS", "TMT", "TND", "TOP", "TRY", "TTD", "TVD", "TWD", "TZS", "UAH", "UGX", "USD", "UYU",
    "UZS", "VES", "VND", "VUV", "WST", "CFA", "XAF", "XCD", "XOF", "CFP", "XPF", "YER", "ZAR",
    "ZMW",
};
constexpr int CURRENCY_COUNT = int(sizeof CURRENCIES / sizeof CURRENCIES[0]);
static_assert(CURRENCY_COUNT == 170 && CURRENCY_COUNT <= CURRENCY_MAX);

const uint8_t* bytes_of(const Cell* c) { return reinterpret_cast<const uint8_t*>(c); }
uint8_t* bytes_of(Cell* c) { return reinterpret_cast<uint8_t*>(c); }

Cell* clear_at(Cell* cell) {
    cell::set(cell, TYPE_MONEY);
    return cell;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

}  // namespace

// ---- Digits, sign and currency ----------------------------------------------------------

int get_digit(const Cell* money, int k) {
    uint8_t byte = bytes_of(money)[FIRST_DIGIT_BYTE + (k - 1) / 2];
    return k % 2 ? byte >> 4 : byte & 0x0F;
}

void set_digit(Cell* money, int k, int d) {
    uint8_t& byte = bytes_of(money)[FIRST_DIGIT_BYTE + (k - 1) / 2];
    byte = k % 2 ? uint8_t((byte & 0x0F) | d << 4) : uint8_t((byte & 0xF0) | d);
}

int significant_digits(const Cell* money) {
    // Byte i holds digits 2i + 1 (high nibble) and 2i + 2.
    const uint8_t* digits = bytes_of(money) + FIRST_DIGIT_BYTE;
    for (int i = 0; i < DIGIT_BYTES; i++)
        if (digits[i]) return DIGITS - 2 * i - (digits[i] < 0x10 ? 1 : 0);
    return 1;
}

bool digits_zero_q(const Cell* money) {
    const uint8_t* digits = bytes_of(money) + FIRST_DIGIT_BYTE;
    uint64_t low;
    std::memcpy(&low, digits + DIGIT_BYTES - sizeof low, sizeof low);
    return low == 0 && digits[0] == 0 && digits[1] == 0 && digits[2] == 0;
}

int sign(const Cell* money) {
    if (digits_zero_q(money)) return 0;
    return get_sign(money) ? -1 : 1;
}

// ---- The currency list ------------------------------------------------------------------

namespace {

// The words of the list, at most CURRENCY_MAX of them; null when there is
// no list to read.
const Cell* list_words(int& count) {
    const Cell* list = g_system.currency_list();
    if (!list || type_of(list) != TYPE_BLOCK) return nullptr;
    count = std::min(block::length_q(list), CURRENCY_MAX);
    return block::head(const_cast<Cell*>(list));
}

// The spelling of a code word of the list, or null for another value.
const char* spelling_of(const Cell* word, int& length) {
    if (type_of(word) != TYPE_WORD) return nullptr;
    int32_t n = 0;
    const uint8_t* name = symbol::utf8(word->data2, n);
    length = int(n);
    return reinterpret_cast<const char*>(name);
}

bool same_code(const char* a, const char* b) {
    return upper(a[0]) == upper(b[0]) && upper(a[1]) == upper(b[1]) && upper(a[2]) == upper(b[2]);
}

}  // namespace

int currency_count() {
    int count = 0;
    return list_words(count) ? count : CURRENCY_COUNT;
}

int currency_index(const char* code, int length) {
    if (length != 3) return -1;
    int count = 0;
    if (const Cell* words = list_words(count)) {
        for (int i = 0; i < count; i++) {
            int n = 0;
            const char* name = spelling_of(&words[i], n);
            if (name && n == 3 && same_code(code, name)) return i + 1;
        }
        return -1;
    }
    for (int i = 0; i < CURRENCY_COUNT; i++)
        if (same_code(code, CURRENCIES[i])) return i + 1;
    return -1;
}

int currency_index_of_word(const Cell* word) {
    int32_t length = 0;
    const uint8_t* name = symbol::utf8(word->data2, length);
    return currency_index(reinterpret_cast<const char*>(name), int(length));
}

bool currency_code(int index, char code[4]) {
    code[0] = '\0';
    int count = 0;
    const char* name = nullptr;
    int length = 3;
    if (const Cell* words = list_words(count)) {
        if (index >= 1 && index <= count) name = spelling_of(&words[index - 1], length);
    } else if (index >= 1 && index <= CURRENCY_COUNT) {
        name = CURRENCIES[index - 1];
    }
    if (!name || length != 3) return false;
    std::memcpy(code, name, 3);
    code[3] = '\0';
    return true;
}

Cell* currency_word(int index, Cell* result) {
    int count = 0;
    if (const Cell* words = list_words(count)) {
        if (index >= 1 && index <= count) return copy_cell(&words[index - 1], result);
    } else if (index >= 1 && index <= CURRENCY_COUNT) {
        *result = word::load(CURRENCIES[index - 1]);
        return result;
    }
    cell::set(result, TYPE_NONE);
    return result;
}

int shown_places() {
    const Cell* setting = g_system.money_digits();
    if (!setting) return 2;
    return type_of(setting) == TYPE_INTEGER ? cell::get_int(setting) : 2;
}

// ---- Making ------------------------------------------------------------------------------

Cell* make_at(Cell* cell, bool negative, int currency, const uint8_t* digit_bytes) {
    clear_at(cell);
    set_sign(cell, negative);
    set_currency(cell, currency);
    std::memcpy(bytes_of(cell) + FIRST_DIGIT_BYTE, digit_bytes, DIGIT_BYTES);
    return cell;
}

bool from_text(const text_to_number::MoneyText& text, Cell* result) {
    int currency = 0;
    if (text.currency[0]) {
        currency = currency_index(text.currency, int(std::strlen(text.currency)));
        if (currency < 0) return false;
    }
    // The integral digits end at digit 17, "'" separators and leading zeros
    // aside; decimal places past the fifth are dropped.
    const char* digits = text.integer_digits;
    int length = text.integer_length;
    while (length > 0 && (*digits == '0' || *digits == '\'')) {
        ++digits;
        --length;
    }
    int count = 0;
    for (int i = 0; i < length; i++) count += digits[i] != '\'';
    if (count > INTEGRAL_DIGITS) return false;
    Cell m;
    clear_at(&m);
    set_sign(&m, text.negative);
    set_currency(&m, currency);
    int k = INTEGRAL_DIGITS;
    for (int i = length - 1; i >= 0; i--)
        if (digits[i] != '\'') set_digit(&m, k--, digits[i] - '0');
    for (int i = 0; i < text.fraction_length && i < SCALE; i++)
        set_digit(&m, INTEGRAL_DIGITS + 1 + i, text.fraction_digits[i] - '0');
    copy_cell(&m, result);
    return true;
}

Cell* from_integer(Cell* result, int32_t n) {
    clear_at(result);
    set_sign(result, n < 0);
    // The magnitude as unsigned, so -2147483648 needs no special case.
    uint32_t m = n < 0 ? 0u - uint32_t(n) : uint32_t(n);
    for (int k = INTEGRAL_DIGITS; m != 0; k--, m /= 10) set_digit(result, k, int(m % 10));
    return result;
}

namespace {

[[noreturn]] void raise_bad_float(double d) {
    Cell value;
    float_::make_at(&value, d);
    raise::bad_make_arg(TYPE_MONEY, &value);
}

}  // namespace

// The shortest decimal digits of the double are the amount: 0.1 is $0.1
// exactly, not the 0.1000000000000000055 the double holds.
Cell* from_float(Cell* result, double d, bool strict) {
    double magnitude = std::fabs(d);
    if (float_::not_finite_q(d) || magnitude >= 1e17 || (magnitude > 0.0 && magnitude < 1e-5))
        raise_bad_float(d);
    text_to_number::MoneyText text{};
    text.negative = std::signbit(d);
    dtoa::Digits digits = dtoa::float_to_digits(d, 0, false);
    if (digits.decpt != dtoa::DECPT_ZERO) {
        // 0.d1d2...dn x 10^decpt, laid out around the point.
        for (int i = 0; i < digits.decpt; i++)
            text.integer_digits[text.integer_length++] = i < digits.length ? digits.text[i] : '0';
        for (int i = digits.decpt; i < digits.length; i++) {
            if (text.fraction_length == text_to_number::MONEY_TEXT_DIGITS) break;
            text.fraction_digits[text.fraction_length++] = i < 0 ? '0' : digits.text[i];
        }
    }
    if (strict && text.fraction_length > SCALE) raise_bad_float(d);
    from_text(text, result);
    return result;
}

// ---- Reading -----------------------------------------------------------------------------

int32_t to_integer(const Cell* money) {
    int64_t value = 0;
    for (int k = 1; k <= INTEGRAL_DIGITS; k++) value = value * 10 + get_digit(money, k);
    bool negative = sign(money) < 0;
    if (value > (negative ? 2147483648LL : 2147483647LL)) {
        Cell type = raise::datatype_arg(TYPE_INTEGER);
        fire(ERR_script_type_limit, &type);
    }
    return int32_t(negative ? -value : value);
}

double to_float(const Cell* money) {
    if (digits_zero_q(money)) return 0.0;
    // Every digit with the point in its place: "00000000000000012.50000".
    uint8_t text[DIGITS + 1];
    int n = 0;
    for (int k = 1; k <= DIGITS; k++) {
        if (k == INTEGRAL_DIGITS + 1) text[n++] = '.';
        text[n++] = uint8_t('0' + get_digit(money, k));
    }
    int unconsumed = 0;
    double d = string::to_float(text, n, unconsumed);
    if (unconsumed != 0) raise::bad_make_arg(TYPE_FLOAT, money);
    return sign(money) < 0 ? -d : d;
}

// ---- Comparing and text ------------------------------------------------------------------

int compare_values(const Cell* a, const Cell* b) {
    int sa = sign(a), sb = sign(b);
    if (sa != sb || sa == 0) return (sa > sb) - (sa < sb);
    int order =
        std::memcmp(bytes_of(a) + FIRST_DIGIT_BYTE, bytes_of(b) + FIRST_DIGIT_BYTE, DIGIT_BYTES);
    order = (order > 0) - (order < 0);
    return sa < 0 ? -order : order;
}

namespace {

// Sorting puts amounts without a currency first, then orders by code. The
// list holds upper-case codes only, so both sorts order them alike.
int compare_currencies(int a, int b) {
    if (a == b) return 0;
    if (a == 0 || b == 0) return a == 0 ? -1 : 1;
    char ca[4], cb[4];
    if (!currency_code(a, ca) || !currency_code(b, cb)) return a < b ? -1 : 1;
    int order = std::strcmp(ca, cb);
    return (order > 0) - (order < 0);
}

// Against another money!: -1, 0 or 1 by currency rules first, or 2 to go on
// to the amounts.
constexpr int BY_AMOUNT = 2;
int compare_denominations(Cell* a, Cell* b, int op) {
    int ca = currency_of(a), cb = currency_of(b);
    bool both_differ = ca != 0 && cb != 0 && ca != cb;
    switch (op) {
        case COMP_LESSER:
        case COMP_LESSER_EQUAL:
        case COMP_GREATER:
        case COMP_GREATER_EQUAL:
            if (both_differ) fire(ERR_script_wrong_denom, a, b);
            return BY_AMOUNT;
        case COMP_SORT:
        case COMP_CASE_SORT: {
            int order = compare_currencies(ca, cb);
            return order ? order : BY_AMOUNT;
        }
        case COMP_FIND: return cb != 0 && ca != cb ? 1 : BY_AMOUNT;
        case COMP_STRICT_EQUAL:
        case COMP_SAME: return ca != cb ? 1 : BY_AMOUNT;
        default: return both_differ ? 1 : BY_AMOUNT;
    }
}

// A float money cannot hold orders by its sign: at or beyond 1e17 in
// magnitude beyond every amount; below 0.00001 (not zero) as zero would,
// but never equal, so against $0 by its own sign. BY_AMOUNT for a float
// money holds (or NaN, which its conversion refuses).
int order_against_float(const Cell* money, double d) {
    double magnitude = std::fabs(d);
    if (magnitude >= 1e17) return d > 0 ? -1 : 1;
    if (magnitude > 0.0 && magnitude < 1e-5) {
        int s = sign(money);
        return s != 0 ? s : (d > 0 ? -1 : 1);
    }
    return BY_AMOUNT;
}

}  // namespace

int compare(Cell* value1, Cell* value2, int op) {
    int type2 = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && type2 != TYPE_MONEY)
        return 1;
    Cell other;
    switch (type2) {
        case TYPE_MONEY: {
            int order = compare_denominations(value1, value2, op);
            if (order != BY_AMOUNT) return order;
            return compare_values(value1, value2);
        }
        case TYPE_INTEGER: from_integer(&other, integer::get(value2)); break;
        case TYPE_FLOAT: {
            double d = cell::get_float(value2);
            int order = order_against_float(value1, d);
            if (order != BY_AMOUNT) return order;
            from_float(&other, d, true);
            break;
        }
        default: return -2;
    }
    return compare_values(value1, &other);
}

int compare_number(const Cell* number, const Cell* money, int op) {
    Cell converted, other = *money;
    if (type_of(number) == TYPE_INTEGER) {
        from_integer(&converted, integer::get(number));
    } else {
        double d = cell::get_float(number);
        int order = order_against_float(money, d);
        if (order != BY_AMOUNT) return -order;
        from_float(&converted, d, false);
    }
    return compare(&converted, &other, op);
}

int serialize(const Cell* money, Cell* buffer, int part, bool all, bool group) {
    // Sign, code, "$", 17 digits with 5 separators, the point and 5 places.
    char text[40];
    int n = 0;
    if (sign(money) < 0) text[n++] = '-';
    if (currency_code(currency_of(money), text + n)) n += 3;
    text[n++] = '$';
    int significant = significant_digits(money);
    if (significant > SCALE) {
        for (int k = DIGITS + 1 - significant; k <= INTEGRAL_DIGITS; k++) {
            text[n++] = char('0' + get_digit(money, k));
            if (group && (k + 1) % 3 == 0 && k != INTEGRAL_DIGITS) text[n++] = '\'';
        }
    } else {
        text[n++] = '0';
    }
    int places = shown_places();
    if (all || places > SCALE) places = SCALE;
    if (places >= 1) {
        text[n++] = '.';
        for (int k = INTEGRAL_DIGITS + 1; k <= INTEGRAL_DIGITS + places; k++)
            text[n++] = char('0' + get_digit(money, k));
    }
    text[n] = '\0';
    return cell_text::mold_literal(buffer, text, false, part);
}

namespace {

// ---- Construction ----------------------------------------------------------------------------

int known_currency(const Cell* word) {
    int index = currency_index_of_word(word);
    if (index < 0) raise::bad_make_arg(TYPE_MONEY, word);
    return index;
}

// [code amount places]: an optional currency word, an integer! or float!
// amount, and after an integer amount optionally its five decimal places as
// an integer! 0..99999.
Cell* from_block(Cell* result, Cell* block) {
    int n = block::length_q(block);
    if (n < 1 || n > 3) raise::bad_make_arg(TYPE_MONEY, block);
    auto item = [block](int i) { return block::head(block)[i]; };
    int i = 0, currency = 0;
    Cell first = item(0);
    if (type_of(&first) == TYPE_WORD) {
        currency = known_currency(&first);
        if (n == 1) raise::bad_make_arg(TYPE_MONEY, &first);
        i = 1;
    }
    Cell amount = item(i++);
    Cell m;
    switch (type_of(&amount)) {
        case TYPE_INTEGER: from_integer(&m, integer::get(&amount)); break;
        case TYPE_FLOAT: from_float(&m, cell::get_float(&amount), true); break;
        default: raise::bad_make_arg(TYPE_MONEY, &amount);
    }
    if (i < n) {
        Cell places = item(i++);
        bool integral = type_of(&amount) == TYPE_INTEGER && type_of(&places) == TYPE_INTEGER;
        int32_t v = integral ? integer::get(&places) : -1;
        if (v < 0 || v > 99999) raise::bad_make_arg(TYPE_MONEY, &places);
        for (int k = DIGITS; k > INTEGRAL_DIGITS; k--, v /= 10) set_digit(&m, k, v % 10);
    }
    if (i < n) {
        Cell extra = item(i);
        raise::bad_make_arg(TYPE_MONEY, &extra);
    }
    set_currency(&m, currency);
    return copy_cell(&m, result);
}

Cell* from_string(Cell* result, Cell* text) {
    int error = text_to_number::TEXT_OK;
    int unit = unicode::check_unit(string::buffer_of(text));
    Cell m;
    text_to_number::text_to_money(string::head(text), string::length_q(text), unit, error, &m);
    if (error != text_to_number::TEXT_OK) raise::bad_to_arg(TYPE_MONEY, text);
    return copy_cell(&m, result);
}

// ---- Action handlers ----------------------------------------------------------------------

Cell* to(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_MONEY: return copy_cell(spec, proto);
        case TYPE_INTEGER: return from_integer(proto, integer::get(spec));
        case TYPE_FLOAT: return from_float(proto, cell::get_float(spec), true);
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(TYPE_MONEY, spec);
            return from_string(proto, spec);
    }
}

Cell* make(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_WORD: {
            int currency = known_currency(spec);
            set_currency(from_integer(proto, 0), currency);
            return proto;
        }
        case TYPE_BLOCK: return from_block(proto, spec);
        default: return to(proto, spec, type);
    }
}

// form groups the integral digits: "USD$1'234.00".
int form(Cell* value, Cell* buffer, int part) {
    return serialize(value, buffer, part, false, true);
}

// mold: "USD$1234.00"; with /all every decimal place.
int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    return serialize(value, buffer, part, all, false);
}

Cell* absolute() {
    Cell* value = stack::arguments();
    set_sign(value, false);
    return value;
}

Cell* negate(Cell* value) {
    set_sign(value, !get_sign(value));
    return value;
}

// Parity is the units digit's.
bool even_q(Cell* value) { return get_digit(value, INTEGRAL_DIGITS) % 2 == 0; }
bool odd_q(Cell* value) { return get_digit(value, INTEGRAL_DIGITS) % 2 != 0; }

// ---- Fields: 1 code, 2 amount ----------------------------------------------------------------

constexpr int FIELD_CODE = 1, FIELD_AMOUNT = 2;

// The field a path element names, by word or position; 0 for another.
int field_of(const Cell* element) {
    switch (type_of(element)) {
        case TYPE_INTEGER: {
            int32_t i = cell::get_int(element);
            return i == FIELD_CODE || i == FIELD_AMOUNT ? i : 0;
        }
        case TYPE_WORD: {
            uint32_t sym = symbol::resolve(element->data2);
            if (sym == symbol::resolve(words::symbol(words::Sym::code))) return FIELD_CODE;
            if (sym == symbol::resolve(words::symbol(words::Sym::amount))) return FIELD_AMOUNT;
            return 0;
        }
        default: return 0;
    }
}

// The code word (none! without a currency), or the amount alone.
Cell* field_value(const Cell* money, int field, Cell* result) {
    if (field == FIELD_CODE) return currency_word(currency_of(money), result);
    copy_cell(money, result);
    set_currency(result, 0);
    return result;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int, bool,
                bool, bool) {
    int field = field_of(element);
    if (!field) fire(ERR_script_invalid_path, path, element);
    if (value) fire(ERR_script_bad_path_set, path, element);
    static Cell result;
    return field_value(parent, field, &result);
}

Cell* pick(Cell* value, int index, Cell* boxed) {
    if (index != FIELD_CODE && index != FIELD_AMOUNT) fire(ERR_script_out_of_range, boxed);
    Cell money = *value;
    return field_value(&money, index, value);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_MONEY, 0, "money!");
    r.set<ACT_MAKE>(make).set<ACT_RANDOM>(random_).set<ACT_TO>(to);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_COMPARE>(compare).set<ACT_ABSOLUTE>(absolute).set<ACT_NEGATE>(negate);
    scalar_math::set_math_actions<do_math>(r, false);
    r.set<ACT_ROUND>(round).set<ACT_EVEN_Q>(even_q).set<ACT_ODD_Q>(odd_q).set<ACT_PICK>(pick);
    datatype::register_type(r);
}

}  // namespace zel::money
