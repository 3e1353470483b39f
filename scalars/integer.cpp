// integer!: helpers, the integer core and the math dispatch, the action
// handlers and the registration.
//
// Cell: {header (type 11), unused, the value as a signed 32-bit integer,
// unused}.
//
// Relies on float! for every operation whose other side or result is a
// double, on the text-to-number converters for `to` of text, and on the
// random generator.
#include "scalars/integer.h"

#include <algorithm>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/date.h"
#include "scalars/float.h"
#include "scalars/int_math.h"
#include "scalars/money.h"
#include "scalars/not_built.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "scalars/simple_types.h"
#include "scalars/text_to_number.h"
#include "scalars/tuple.h"
#include "series/cell_text.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "series/vector.h"

namespace zel::integer {

using namespace scalar_math;
using namespace compare;

// ---- Making and reading --------------------------------------------------------------

Cell* make_at(Cell* cell, int32_t value) {
    cell::set_type(cell, TYPE_INTEGER);
    cell->data2 = uint32_t(value);
    return cell;
}

namespace {
Cell* set(Cell* cell, int32_t value) {
    cell::set(cell, TYPE_INTEGER, 0, uint32_t(value));
    return cell;
}
}  // namespace

Cell* box(int32_t value) { return set(stack::arguments(), value); }
Cell* push(int32_t value) { return set(stack::push_new(), value); }
Cell* make_in(Cell* block, int32_t value) { return set(cell::alloc_tail(block), value); }
int32_t get_arg() { return get(stack::arguments()); }

int32_t get_arg_or_zero() {
    const Cell* c = stack::arguments();
    return type_of(c) == TYPE_INTEGER ? get(c) : 0;
}

// ---- Conversions -----------------------------------------------------------------------

bool float_out_of_range_q(double d) { return !cell::fits_int32(d); }

int32_t from_float(double d, ErrorId error, const Cell* arg1, const Cell* arg2) {
    if (float_out_of_range_q(d)) fire(error, arg1, arg2);
    return int32_t(d);
}

int32_t from_hex_name(const uint8_t* name, int length, const Cell* issue) {
    if (length > 8) fire(ERR_script_invalid_data, issue);
    uint32_t v = 0;
    for (int i = 0; i < length; i++) {
        int d = text_to_number::hex_digit(name[i]);
        if (d < 0) fire(ERR_script_invalid_data, issue);
        v = v << 4 | uint32_t(d);
    }
    return int32_t(v);
}

DecimalText to_decimal(int32_t value) {
    char digits[sizeof(DecimalText::chars)];
    int at = int(sizeof digits);
    // The magnitude as unsigned, so -2147483648 needs no special case.
    uint32_t m = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    do {
        digits[--at] = char('0' + m % 10);
        m /= 10;
    } while (m);
    if (value < 0) digits[--at] = '-';
    DecimalText t{};
    t.length = int(sizeof digits) - at;
    std::copy(digits + at, digits + sizeof digits, t.chars);
    t.chars[t.length] = '\0';
    return t;
}

// ---- Arithmetic ---------------------------------------------------------------------------

int32_t abs(int32_t value) {
    if (value == INT32_MIN) fire(ERR_math_overflow);
    return value < 0 ? -value : value;
}

int sign(int32_t value) { return (value > 0) - (value < 0); }

namespace {

// An overflow or an inexact quotient continues as a float! holding the
// operation done on doubles.
int32_t continue_as_float(Cell* result, double value) {
    if (result) float_::make_at(result, value);
    return 0;
}

void check_divisor(int32_t left, int32_t right) {
    if (right == 0) fire(ERR_math_zero_divide);
    if (left == INT32_MIN && right == -1) fire(ERR_math_overflow);
}

}  // namespace

int32_t do_math_op(int32_t left, int32_t right, int op, Cell* result) {
    int32_t r = 0;
    switch (op) {
        case OP_ADD:
        case OP_SUBTRACT:
        case OP_MULTIPLY: {
            int_math::Op o = op == OP_ADD        ? int_math::Op::add
                             : op == OP_SUBTRACT ? int_math::Op::subtract
                                                 : int_math::Op::multiply;
            if (!int_math::fits(o, left, right, &r))
                return continue_as_float(result, int_math::on_doubles(o, left, right));
            break;
        }
        case OP_DIVIDE:
            check_divisor(left, right);
            if (result && left % right != 0) return continue_as_float(result, double(left) / right);
            r = left / right;
            break;
        case OP_REMAINDER:
            check_divisor(left, right);
            r = left % right;
            break;
        case OP_OR: r = left | right; break;
        case OP_AND: r = left & right; break;
        case OP_XOR: r = left ^ right; break;
    }
    if (result) result->data2 = uint32_t(r);
    return r;
}

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* right = &args[1];
    int right_type = type_of(right);
    switch (right_type) {
        case TYPE_INTEGER:
        case TYPE_CHAR: do_math_op(get(&args[0]), get(right), op, &args[0]); return &args[0];
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME: return float_::do_math(op);
        case TYPE_MONEY: return money::do_math(op);
        case TYPE_PAIR:
        case TYPE_POINT2D:
        case TYPE_POINT3D:
            if (op == OP_DIVIDE) raise_not_related(ACT_DIVIDE, TYPE_INTEGER);
            return exchange_into_coordinates(op);
        case TYPE_TUPLE:
            if (op == OP_SUBTRACT || op == OP_DIVIDE)
                raise_not_related(action_of(op), TYPE_INTEGER);
            return tuple::do_math(op);
        case TYPE_VECTOR: return vector::do_math_scalar(op, right, &args[0], true);
        case TYPE_DATE:
            if (op == OP_SUBTRACT) raise_not_related(ACT_SUBTRACT, TYPE_INTEGER);
            if (op != OP_ADD) break;
            std::swap(args[0], args[1]);
            return date::add();
        default: break;
    }
    raise_about_type(ERR_script_invalid_type, right_type);
}

int32_t shift(int32_t data, int32_t bits, bool left, bool logical) {
    if (bits < 0) bits = 0;
    if (bits >= 32) return left || logical || data >= 0 ? 0 : -1;
    if (left) return int32_t(uint32_t(data) << bits);
    if (logical) return int32_t(uint32_t(data) >> bits);
    return data >> bits;
}

namespace {

// ---- Conversions for make and to ---------------------------------------------------------

int32_t from_text(Cell* text) {
    int error = text_to_number::TEXT_OK;
    int unit = unicode::check_unit(string::buffer_of(text));
    int length = string::length_q(text);
    int32_t v = text_to_number::text_to_integer(string::head(text), length, unit, error);
    if (error != text_to_number::TEXT_OK) raise::bad_to_arg(TYPE_INTEGER, text);
    return v;
}

int32_t from_float_checked(double d) {
    Cell type = raise::datatype_arg(TYPE_INTEGER);
    return from_float(d, ERR_script_type_limit, &type);
}

// ---- Action handlers ----------------------------------------------------------------------

Cell* to(Cell* proto, Cell* spec, int) {
    int32_t v = 0;
    switch (type_of(spec)) {
        case TYPE_INTEGER:
        case TYPE_CHAR: v = get(spec); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT: v = from_float_checked(float_::get(spec)); break;
        // Half a second added, then truncated: the nearest second of a positive time.
        case TYPE_TIME: v = from_float_checked(float_::get(spec) + 0.5); break;
        case TYPE_MONEY: v = money::to_integer(spec); break;
        case TYPE_BINARY: v = int32_t(binary_head_bits(spec, 4)); break;
        case TYPE_ISSUE: {
            int length = 0;
            const uint8_t* name = not_built::issue_name(spec, length);
            v = from_hex_name(name, length, spec);
            break;
        }
        case TYPE_DATE: v = date::epoch_seconds(spec); break;
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(TYPE_INTEGER, spec);
            v = from_text(spec);
            break;
    }
    return set(proto, v);
}

Cell* make(Cell* proto, Cell* spec, int type) {
    if (type_of(spec) == TYPE_LOGIC) return set(proto, logic::get(spec) ? 1 : 0);
    return to(proto, spec, type);
}

Cell* random_(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(uint32_t(get(value)));
        cell::set(value, TYPE_UNSET);
        return value;
    }
    // The value changes, the type stays: a char!'s draw is a char!.
    value->data2 = uint32_t(random::int_(secure, get(value)));
    return value;
}

int form(Cell* value, Cell* buffer, int part) {
    return cell_text::mold_literal(buffer, to_decimal(get(value)).c_str(), false, part);
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return form(value, buffer, part);
}

int compare(Cell* value1, Cell* value2, int op) {
    int type2 = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_FIND) && type2 != TYPE_INTEGER) return 1;
    switch (type2) {
        case TYPE_INTEGER:
        case TYPE_CHAR: {
            int32_t a = get(value1), b = get(value2);
            return (a > b) - (a < b);
        }
        case TYPE_MONEY: return money::compare_number(value1, value2, op);
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME: {
            Cell as_float;
            float_::make_at(&as_float, double(get(value1)));
            return float_::compare(&as_float, value2, op);
        }
        default: return -2;
    }
}

// The value changes, the type stays: char! takes this over.
Cell* absolute() {
    Cell* value = stack::arguments();
    value->data2 = uint32_t(abs(get(value)));
    return value;
}

Cell* negate(Cell* value) {
    int32_t v = get(value);
    if (v == INT32_MIN) fire(ERR_math_overflow);
    return make_at(value, -v);
}

Cell* complement(Cell* value) { return make_at(value, ~get(value)); }
bool even_q(Cell* value) { return (get(value) & 1) == 0; }
bool odd_q(Cell* value) { return (get(value) & 1) != 0; }

// base ** exponent by binary exponentiation; false when a product that
// matters overflows.
bool exact_power(int32_t base, int32_t exponent, int32_t& result) {
    int32_t r = 1;
    while (exponent != 0) {
        if ((exponent & 1) && __builtin_mul_overflow(r, base, &r)) return false;
        exponent >>= 1;
        if (exponent != 0 && __builtin_mul_overflow(base, base, &base)) return false;
    }
    result = r;
    return true;
}

// A float! exponent, a negative one, or an overflow continue as float! power.
Cell* power() {
    Cell* args = stack::arguments();
    Cell* exponent = &args[1];
    int exponent_type = type_of(exponent);
    if (exponent_type != TYPE_INTEGER && exponent_type != TYPE_FLOAT)
        raise::expect_arg(exponent, 1);
    int32_t result;
    if (exponent_type == TYPE_INTEGER && get(exponent) >= 0 &&
        exact_power(get(&args[0]), get(exponent), result))
        return make_at(&args[0], result);
    float_::make_at(&args[0], double(get(&args[0])));
    return float_::power();
}

// The multiple of scale nearest to n in the direction the refinements ask.
// Only the candidate returned must fit 32 bits.
int64_t round_multiple(int32_t n, int32_t scale, bool even, bool down, bool half_down, bool floor,
                       bool ceiling, bool half_ceiling) {
    bool negative = n < 0;
    int64_t m = negative ? -int64_t(n) : n;
    int64_t r = m % scale;
    if (r == 0) return n;
    int64_t lower = m - r, upper = m + (scale - r);
    auto with_sign = [negative](int64_t magnitude) { return negative ? -magnitude : magnitude; };
    if (down) return with_sign(lower);
    if (floor) return negative ? -upper : lower;
    if (ceiling) return negative ? -lower : upper;
    if (r < scale - r) return with_sign(lower);
    if (r > scale - r) return with_sign(upper);
    if (even) return with_sign((m / scale) % 2 ? upper : lower);
    if (half_down) return with_sign(lower);
    if (half_ceiling) return negative ? -lower : upper;
    return with_sign(upper);
}

Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
            bool ceiling, bool half_ceiling) {
    if (scale && type_of(scale) == TYPE_MONEY) raise_not_related(ACT_ROUND, TYPE_MONEY);
    int32_t n = get(value);
    if (n == INT32_MIN) return value;
    if (scale && type_of(scale) != TYPE_INTEGER) {
        float_::make_at(value, double(n));
        return float_::round(value, scale, even, down, half_down, floor, ceiling, half_ceiling);
    }
    int32_t s = scale ? abs(get(scale)) : 1;
    if (s == 0) return value;
    int64_t r = round_multiple(n, s, even, down, half_down, floor, ceiling, half_ceiling);
    if (r < INT32_MIN || r > INT32_MAX) fire(ERR_math_overflow);
    return make_at(value, int32_t(r));
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_INTEGER, 0, "integer!");
    r.set<ACT_MAKE>(make).set<ACT_RANDOM>(random_).set<ACT_TO>(to);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    r.set<ACT_ABSOLUTE>(absolute).set<ACT_NEGATE>(negate).set<ACT_POWER>(power);
    set_math_actions<do_math>(r, true);
    r.set<ACT_ROUND>(round);
    r.set<ACT_EVEN_Q>(even_q).set<ACT_ODD_Q>(odd_q);
    r.set<ACT_COMPLEMENT>(complement);
    datatype::register_type(r);
}

}  // namespace zel::integer
