// money! arithmetic: add, subtract, multiply, divide and remainder on the
// packed digits, the math core with its currency rules, round and random.
//
// An amount's magnitude is read as a whole number of 0.00001 units, at most
// 22 digits (below 2^74), into a 128-bit integer on the native stack; every
// result is exact before it is truncated toward zero at 5 places and
// written back as digits, so no path allocates.
//
// Relies on: the digits, sign and conversions of money.h, the random
// generator (random.h), the operation codes and type errors of the scalar
// math cores.
#include <bit>
#include <cstring>

#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/money.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"

namespace zel::money {

using namespace scalar_math;

namespace {

__extension__ typedef unsigned __int128 Magnitude;

constexpr uint64_t TEN_16 = 10000000000000000ull;
constexpr uint64_t FIVE_16 = 152587890625ull;  // 10^16 = 2^16 x 5^16
constexpr Magnitude UNITS_PER_ONE = 100000;   // 10^SCALE
constexpr Magnitude LIMIT = Magnitude(1000000) * TEN_16;  // 10^22: one digit too many
// The digits are read and written in two runs: digits 1-6 (bytes 0-2) and
// the 16 after them (bytes 3-10).
constexpr int LOW_BYTES = 8, HIGH_BYTES = DIGIT_BYTES - LOW_BYTES;

const uint8_t* digit_bytes(const Cell* c) {
    return reinterpret_cast<const uint8_t*>(c) + FIRST_DIGIT_BYTE;
}
uint8_t* digit_bytes(Cell* c) { return reinterpret_cast<uint8_t*>(c) + FIRST_DIGIT_BYTE; }

// Up to 16 packed digits, the first in the top nibble of the run, as a
// number: nibble pairs, then byte pairs, then halves of each lane combined
// at once.
uint64_t from_packed(uint64_t x) {
    x = (x >> 4 & 0x0F0F0F0F0F0F0F0Full) * 10 + (x & 0x0F0F0F0F0F0F0F0Full);
    x = (x >> 8 & 0x00FF00FF00FF00FFull) * 100 + (x & 0x00FF00FF00FF00FFull);
    x = (x >> 16 & 0x0000FFFF0000FFFFull) * 10000 + (x & 0x0000FFFF0000FFFFull);
    return (x >> 32) * 100000000 + (x & 0xFFFFFFFFull);
}

// The digits as a number of 0.00001 units.
Magnitude magnitude_of(const Cell* money) {
    const uint8_t* b = digit_bytes(money);
    uint64_t high = uint64_t(b[0]) << 16 | uint64_t(b[1]) << 8 | b[2], low;
    std::memcpy(&low, b + HIGH_BYTES, LOW_BYTES);
    if constexpr (std::endian::native == std::endian::little) low = __builtin_bswap64(low);
    return Magnitude(from_packed(high)) * TEN_16 + from_packed(low);
}

// p < 100 as one packed byte: (p / 10) x 16 + p % 10.
uint8_t packed_pair(uint32_t p) { return uint8_t(p + 6 * ((p * 103) >> 10)); }

// n as `count` bytes of packed digits ending at `last`, four digits at a
// time (each split in two by a multiplication).
void to_packed(uint64_t n, uint8_t* last, int count) {
    for (int i = 0; i < count; i += 2) {
        uint64_t q = n / 10000;
        uint32_t chunk = uint32_t(n - q * 10000), high = (chunk * 5243) >> 19;
        n = q;
        last[-i] = packed_pair(chunk - high * 100);
        if (i + 1 < count) last[-i - 1] = packed_pair(high);
    }
}

// Writes a magnitude below 10^22 as the digits; the split at 10^16 shifts
// out the 2^16 first, so that 64-bit division by a constant does the rest.
void put_magnitude(Cell* money, Magnitude m) {
    uint64_t high = uint64_t(m >> 16) / FIVE_16;
    uint64_t low = uint64_t(m) - high * TEN_16;
    uint8_t* b = digit_bytes(money);
    to_packed(low, b + DIGIT_BYTES - 1, LOW_BYTES);
    to_packed(high, b + HIGH_BYTES - 1, HIGH_BYTES);
}

void put(Cell* a, bool negative, Magnitude m) {
    put_magnitude(a, m);
    set_sign(a, negative);
}

// The result is b, with a sign.
void take(Cell* a, const Cell* b, bool negative) {
    std::memcpy(digit_bytes(a), digit_bytes(b), DIGIT_BYTES);
    set_sign(a, negative);
}

[[noreturn]] void out_of_range() { raise_about_type(ERR_script_type_limit, TYPE_MONEY); }

// A sum or difference of two signed amounts: |a| and |b| with their signs.
void signed_sum(Cell* a, bool a_negative, Magnitude x, bool b_negative, Magnitude y) {
    if (a_negative == b_negative) {
        Magnitude sum = x + y;
        if (sum >= LIMIT) out_of_range();
        put(a, a_negative, sum);
        return;
    }
    // Opposite signs: the larger magnitude's sign; a zero result is positive.
    if (x > y) return put(a, a_negative, x - y);
    put(a, b_negative && y != x, y - x);
}

}  // namespace

void add_values(Cell* a, const Cell* b) {
    int sa = sign(a), sb = sign(b);
    if (sb == 0) return;
    if (sa == 0) return take(a, b, get_sign(b));
    signed_sum(a, sa < 0, magnitude_of(a), sb < 0, magnitude_of(b));
}

void subtract_values(Cell* a, const Cell* b) {
    int sa = sign(a), sb = sign(b);
    if (sb == 0) return;
    if (sa == 0) return take(a, b, !get_sign(b));
    signed_sum(a, sa < 0, magnitude_of(a), sb > 0, magnitude_of(b));
}

void multiply_values(Cell* a, const Cell* b) {
    int sa = sign(a), sb = sign(b);
    if (sa == 0) return;
    if (sb == 0) return take(a, b, get_sign(b));
    // Below 29 significant digits together the exact product stays below
    // 10^28 units squared; at or above 10^27 it is 10^17 or more.
    if (significant_digits(a) + significant_digits(b) > 28) out_of_range();
    Magnitude product = magnitude_of(a) * magnitude_of(b);
    if (product >= LIMIT * UNITS_PER_ONE) out_of_range();
    product /= UNITS_PER_ONE;
    if (product == 0) out_of_range();
    put(a, sa != sb, product);
}

void divide_values(Cell* a, const Cell* b, bool remainder) {
    int sa = sign(a), sb = sign(b);
    if (sb == 0) fire(ERR_math_zero_divide);
    if (sa == 0) return;
    bool negative = remainder ? sa < 0 : sa != sb;
    // The quotient's digits must fit beside 5 more places.
    if (significant_digits(a) - significant_digits(b) + 6 > DIGITS) out_of_range();
    Magnitude x = magnitude_of(a), y = magnitude_of(b);
    if (remainder) {
        put(a, negative, x % y);
        return;
    }
    Magnitude quotient = x * UNITS_PER_ONE / y;
    if (quotient == 0 || quotient >= LIMIT) out_of_range();
    put(a, negative, quotient);
}

void do_op(Cell* a, const Cell* b, int op) {
    switch (op) {
        case OP_ADD: add_values(a, b); break;
        case OP_SUBTRACT: subtract_values(a, b); break;
        case OP_MULTIPLY: multiply_values(a, b); break;
        case OP_DIVIDE: divide_values(a, b, false); break;
        case OP_REMAINDER: divide_values(a, b, true); break;
        default: raise_about_type(ERR_script_invalid_type, type_of(a));
    }
}

namespace {

// An operand of the math core made money: integers exactly, floats and
// percents through their shortest digits, extra places cut.
void as_money(const Cell* operand, Cell* result) {
    switch (type_of(operand)) {
        case TYPE_MONEY: *result = *operand; return;
        case TYPE_INTEGER: from_integer(result, integer::get(operand)); return;
        case TYPE_FLOAT:
        case TYPE_PERCENT: from_float(result, cell::get_float(operand), false); return;
        default: raise_about_type(ERR_script_invalid_type, type_of(operand));
    }
}

}  // namespace

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    int ta = type_of(&args[0]), tb = type_of(&args[1]);
    bool by_money = tb == TYPE_MONEY;
    if ((op == OP_MULTIPLY && ta == TYPE_MONEY && by_money) ||
        ((op == OP_DIVIDE || op == OP_REMAINDER) && ta != TYPE_MONEY && by_money))
        raise_about_type(ERR_script_invalid_type, ta);
    Cell a, b;
    as_money(&args[0], &a);
    as_money(&args[1], &b);
    int ca = currency_of(&a), cb = currency_of(&b);
    if (ca != 0 && cb != 0 && ca != cb) fire(ERR_script_wrong_denom, &a, &b);
    do_op(&a, &b, op);
    if (op == OP_DIVIDE && ta == TYPE_MONEY && by_money)
        return float_::make_at(&args[0], to_float(&a));
    set_currency(&a, cb != 0 ? cb : ca);
    args[0] = a;
    return &args[0];
}

// ---- Round ----------------------------------------------------------------------------------

namespace {

// The scale of round/to as a magnitude: a money! as it is, an integer! or a
// float! (strictly) made money.
Magnitude scale_of(Cell* scale) {
    Cell m;
    switch (type_of(scale)) {
        case TYPE_MONEY: m = *scale; break;
        case TYPE_INTEGER: from_integer(&m, integer::get(scale)); break;
        case TYPE_FLOAT: from_float(&m, cell::get_float(scale), true); break;
        default: raise_not_related(ACT_ROUND, type_of(scale));
    }
    return magnitude_of(&m);
}

}  // namespace

// To a multiple of the scale ($1 without /to), on magnitudes: r is what lies
// above the multiple below, u what is missing to the one above; a half is
// exactly r = u, and goes away from zero unless a refinement says
// otherwise. The sign and the currency stay.
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
            bool ceiling, bool half_ceiling) {
    if (sign(value) == 0) return value;
    Magnitude s = scale ? scale_of(scale) : UNITS_PER_ONE;
    if (s == 0) return value;
    Magnitude v = magnitude_of(value), r = v % s;
    if (r == 0) return value;
    Magnitude u = s - r, lower = v - r, upper = v + u;
    bool negative = get_sign(value), half = r == u;
    // Toward zero, or away from it.
    bool away;
    if (down) away = false;
    else if (floor) away = negative;
    else if (ceiling) away = !negative;
    else if (!half) away = r > u;
    else if (even) away = (v / s) % 2 != 0;
    else if (half_down) away = false;
    else if (half_ceiling) away = !negative;
    else away = true;
    if (!away) {
        put_magnitude(value, lower);
        return value;
    }
    if (upper >= LIMIT) out_of_range();
    put_magnitude(value, upper);
    return value;
}

// ---- Random ---------------------------------------------------------------------------------

// An amount between 0 and the value, drawn digit by digit from the first
// significant one: while the drawn digits equal the value's, the next is
// drawn up to the value's digit (a drawn maximum is drawn once more unless
// two further draws agree, which keeps the value itself rare); after a
// smaller digit the rest are free. /seed seeds the generator from the cell.
Cell* random_(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(value->data1 ^ value->data2 ^ value->data3 ^ (value->header & SIGN_FLAG));
        cell::set(value, TYPE_UNSET);
        return value;
    }
    auto draw = [secure] { return secure ? random::secure_next() : random::next(); };
    bool bounded = true;
    for (int k = DIGITS + 1 - significant_digits(value); k <= DIGITS; k++) {
        int top = get_digit(value, k), d;
        if (!bounded) {
            d = draw() % 10;
        } else {
            d = draw() % (top + 1);
            if (d == top && top != 0 && draw() % 1000 != draw() % 1000) d = draw() % (top + 1);
            bounded = d == top;
        }
        set_digit(value, k, d);
    }
    return value;
}

}  // namespace zel::money
