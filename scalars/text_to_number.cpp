// Text-to-number converters of `to`.
//
// Relies on the float validation automaton, the string module's decimal
// to double conversion and money! construction.
#include "scalars/text_to_number.h"

#include "scalars/float.h"
#include "scalars/float_scan.h"
#include "scalars/money.h"
#include "scalars/tuple.h"
#include "series/string.h"

namespace zel::text_to_number {

namespace {

// Code units of a text of any width.
struct Units {
    const uint8_t* text;
    int length;
    int unit;
    uint32_t operator[](int i) const { return string::get_char(text + i * unit, unit); }
};

bool digit_q(uint32_t c) { return c >= '0' && c <= '9'; }
bool letter_q(uint32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Appends a digit to a part of money text; false when it is full.
bool add_digit(char* digits, int& length, char c) {
    if (length == MONEY_TEXT_DIGITS) return false;
    digits[length++] = c;
    digits[length] = '\0';
    return true;
}

bool only_separators_from(const Units& u, int i) {
    for (; i < u.length; i++)
        if (u[i] != '\'') return false;
    return true;
}

}  // namespace

int32_t text_to_integer(const uint8_t* text, int length, int unit, int& error) {
    Units u{text, length, unit};
    int i = 0;
    bool negative = false;
    if (length > 0 && (u[0] == '+' || u[0] == '-')) {
        negative = u[0] == '-';
        i = 1;
    }
    int64_t value = 0;
    bool digit_seen = false;
    for (; i < length; i++) {
        uint32_t c = u[i];
        if (c == '\'') continue;
        if (!digit_q(c)) {
            error = TEXT_INVALID;
            return 0;
        }
        digit_seen = true;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            if (negative && value == -int64_t(INT32_MIN) && only_separators_from(u, i + 1))
                return INT32_MIN;
            error = TEXT_OVERFLOW;
            return 0;
        }
    }
    if (!digit_seen) {
        error = TEXT_INVALID;
        return 0;
    }
    return int32_t(negative ? -value : value);
}

double text_to_float(const uint8_t* text, int length, int unit, int& error) {
    Units u{text, length, unit};
    uint8_t copy[float_scan::FLOAT_TEXT_MAX] = {};
    if (length < 0 || length > int(float_scan::FLOAT_TEXT_MAX)) {
        error = TEXT_INVALID;
        return float_::QUIET_NAN;
    }
    for (int i = 0; i < length; i++) {
        uint32_t c = u[i];
        if (c > 255) {
            error = TEXT_INVALID;
            return float_::QUIET_NAN;
        }
        copy[i] = c == ',' ? '.' : uint8_t(c);
    }
    if (!float_scan::float_text_q(copy, size_t(length))) {
        error = TEXT_INVALID;
        return float_::QUIET_NAN;
    }
    int n = 0;
    for (int i = 0; i < length; i++)
        if (copy[i] != '\'') copy[n++] = copy[i];
    int unconsumed = 0;
    double d = string::to_float(copy, n, unconsumed);
    if (unconsumed != 0) {
        error = TEXT_INVALID;
        return float_::QUIET_NAN;
    }
    return d;
}

int scan_money_text(const uint8_t* text, int length, int unit, MoneyText& out) {
    Units u{text, length, unit};
    out = MoneyText{};
    int i = 0;
    if (length > 0 && (u[0] == '+' || u[0] == '-')) {
        out.negative = u[0] == '-';
        i = 1;
    }
    if (i < length && letter_q(u[i])) {
        // A code: three letters, "$" and at least one more character.
        if (length - i < 5) return TEXT_INVALID;
        for (int k = 0; k < 3; k++) {
            if (!letter_q(u[i + k])) return TEXT_INVALID;
            out.currency[k] = char(u[i + k]);
        }
        i += 3;
        if (u[i] != '$') return TEXT_INVALID;
    }
    if (i < length && u[i] == '$') i++;

    // What the amount's last character was: a separator or a point may not
    // start it, follow a separator or end it; after the point only digits.
    enum { START, DIGIT, SEPARATOR, POINT } last = START;
    bool fraction = false;
    for (; i < length; i++) {
        uint32_t c = u[i];
        if (digit_q(c)) {
            if (!fraction && out.integer_length == 0 && c == '0') {
                // Leading zeros change nothing.
            } else if (!add_digit(fraction ? out.fraction_digits : out.integer_digits,
                                  fraction ? out.fraction_length : out.integer_length, char(c))) {
                return TEXT_INVALID;
            }
            last = DIGIT;
        } else if (c == '\'' && last == DIGIT && !fraction) {
            last = SEPARATOR;
        } else if (c == '.' && last == DIGIT && !fraction) {
            fraction = true;
            last = POINT;
        } else {
            return TEXT_INVALID;
        }
    }
    return last == DIGIT ? TEXT_OK : TEXT_INVALID;
}

Cell* text_to_money(const uint8_t* text, int length, int unit, int& error, Cell* result) {
    MoneyText parts;
    if (scan_money_text(text, length, unit, parts) != TEXT_OK || !money::from_text(parts, result))
        error = TEXT_INVALID;
    return result;
}

Cell* text_to_tuple(const uint8_t* text, int length, int unit, int& error, Cell* result) {
    Units u{text, length, unit};
    uint8_t bytes[12] = {};
    int count = 0;
    int value = -1;  // -1 until the part has a digit
    // A point after the last character closes the last part.
    for (int i = 0; i <= length; i++) {
        uint32_t c = i < length ? u[i] : '.';
        if (digit_q(c)) {
            value = (value < 0 ? 0 : value) * 10 + int(c - '0');
            if (value > 255) break;
        } else if (c == '.' && value >= 0 && count < 12) {
            bytes[count++] = uint8_t(value);
            value = -1;
        } else {
            value = 256;
            break;
        }
    }
    if (value >= 0 || count == 0) {
        error = TEXT_INVALID;
        return result;
    }
    return tuple::make_at(result, bytes, count < tuple::MIN_LENGTH ? tuple::MIN_LENGTH : count);
}

int hex_digit(uint32_t c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c >= 'A' && c <= 'F') return int(c - 'A') + 10;
    if (c >= 'a' && c <= 'f') return int(c - 'a') + 10;
    return -1;
}

const uint8_t* hex_pair(const uint8_t* p, const uint8_t* end, int& value) {
    int high = end - p >= 2 ? hex_digit(p[0]) : -1;
    int low = end - p >= 2 ? hex_digit(p[1]) : -1;
    if (high < 0 || low < 0) {
        value = -1;
        return p;
    }
    value = high << 4 | low;
    return p + 2;
}

char* upcase_ascii(char* text) {
    for (auto* p = reinterpret_cast<unsigned char*>(text); *p; p++)
        if (*p > 96) *p = static_cast<unsigned char>(*p - 32);
    return text;
}

}  // namespace zel::text_to_number
