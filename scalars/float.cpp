// float!: helpers, the double core and the float math dispatch, comparison,
// rounding, power, construction, the action handlers and the registration.
//
// Cell: {header (type 12; 38 for percent!, 43 for time!), unused, the double
// in words 2-3, low half first}.
//
// Relies on integer! for the checked conversion to 32 bits, on float_text
// for form and mold, on the text-to-number converters for `to` of text, on
// the text loader (services.h) for percent! text, and on the random
// generator.
#include "scalars/float.h"

#include <cfenv>
#include <cmath>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/money.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "scalars/text_to_number.h"
#include "scalars/tuple.h"
#include "series/cell_text.h"
#include "series/series.h"
#include "series/services.h"
#include "series/string.h"
#include "series/unicode.h"
#include "series/vector.h"

namespace zel::float_ {

using namespace scalar_math;
using namespace compare;

void set_fpu_mode() {
    std::fesetround(FE_TONEAREST);
    fedisableexcept(FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
}

// ---- Making and reading --------------------------------------------------------------

Cell* make_at(Cell* cell, double value) {
    cell::set(cell, TYPE_FLOAT);
    cell::put_float(cell, value);
    return cell;
}

Cell* box(double value) { return make_at(stack::arguments(), value); }
Cell* push(double value) { return make_at(stack::push_new(), value); }

Cell* push64(uint32_t high, uint32_t low) { return push(from_halves(high, low)); }

Cell* make_in(Cell* block, uint32_t high, uint32_t low) {
    return make_at(cell::alloc_tail(block), from_halves(high, low));
}

// ---- Tests -------------------------------------------------------------------------------

namespace {

constexpr uint64_t EXPONENT_BITS = 0x7FF0000000000000ull;
constexpr uint64_t MANTISSA_BITS = 0x000FFFFFFFFFFFFFull;

uint64_t bits_of(double d) { return std::bit_cast<uint64_t>(d); }

// Doubles as integers in numeric order: a negative double is its negated
// magnitude, so neighbouring doubles differ by 1 across zero too.
int64_t ordered(double d) {
    int64_t i = std::bit_cast<int64_t>(d);
    return i < 0 ? INT64_MIN - i : i;
}

int32_t ordered32(float f) {
    int32_t i = std::bit_cast<int32_t>(f);
    return i < 0 ? INT32_MIN - i : i;
}

}  // namespace

bool nan_q(double d) {
    uint64_t b = bits_of(d);
    return (b & EXPONENT_BITS) == EXPONENT_BITS && (b & MANTISSA_BITS) != 0;
}

bool float32_nan_q(float f) {
    uint32_t b = std::bit_cast<uint32_t>(f);
    return (b & 0x7F800000u) == 0x7F800000u && (b & 0x007FFFFFu) != 0;
}

bool not_finite_q(double d) { return (bits_of(d) & EXPONENT_BITS) == EXPONENT_BITS; }

bool almost_equal_q(double a, double b) {
    if (nan_q(a) || nan_q(b)) return false;
    if (a == b) return true;
    if (abs(a - b) < DBL_EPSILON) return true;
    int64_t ia = ordered(a), ib = ordered(b);
    uint64_t distance = ia > ib ? uint64_t(ia) - uint64_t(ib) : uint64_t(ib) - uint64_t(ia);
    return distance <= 10;
}

bool almost_equal32_q(float a, float b) {
    if (float32_nan_q(a) || float32_nan_q(b)) return false;
    if (a == b) return true;
    uint32_t ba = std::bit_cast<uint32_t>(a), bb = std::bit_cast<uint32_t>(b);
    uint32_t ma = ba & 0x7FFFFFFFu, mb = bb & 0x7FFFFFFFu;
    // Around the largest finite value an overflow to infinity is a rounding too.
    if (ma > 0x7F7FFFFEu || mb > 0x7F7FFFFEu)
        return (ba >> 31) == (bb >> 31) && (ma > mb ? ma - mb : mb - ma) < 0x100000u;
    int64_t distance = int64_t(ordered32(a)) - int64_t(ordered32(b));
    return distance >= -10 && distance <= 10;
}

int32_t round_to_int(double d, ErrorId error, const Cell* arg) {
    return integer::from_float(d + ALMOST_HALF, error, arg);
}

// ---- Arithmetic ---------------------------------------------------------------------------

namespace {

// fmod for a finite divisor (0 gives NaN); a NaN divisor gives NaN, an
// infinite one leaves a finite dividend as it is.
double remainder_of(double x, double y) {
    if (y * 0.0 == 0.0) return std::fmod(x, y);
    if (nan_q(y)) return QUIET_NAN;
    return not_finite_q(x) ? QUIET_NAN : x;
}

}  // namespace

double do_math_op(double x, double y, int op) {
    switch (op) {
        case OP_ADD: return x + y;
        case OP_SUBTRACT: return x - y;
        case OP_MULTIPLY: return x * y;
        case OP_DIVIDE: return x / y;
        case OP_REMAINDER: return remainder_of(x, y);
        default: {
            Cell word = action_word(action_of(op));
            Cell type = raise::datatype_arg(TYPE_FLOAT);
            fire(ERR_script_cannot_use, &word, &type);
        }
    }
}

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* left = &args[0];
    Cell* right = &args[1];
    int left_type = type_of(left), right_type = type_of(right);
    switch (right_type) {
        case TYPE_TUPLE: return tuple::do_math(op);
        case TYPE_MONEY: return money::do_math(op);
        case TYPE_VECTOR: return vector::do_math_scalar(op, right, left, true);
        case TYPE_PAIR:
        case TYPE_POINT2D:
        case TYPE_POINT3D:
            if (left_type == TYPE_TIME) break;
            if (op == OP_SUBTRACT || op == OP_DIVIDE) raise_not_related(action_of(op), right_type);
            return exchange_into_coordinates(op);
        case TYPE_CHAR:
            if (left_type == TYPE_PERCENT || left_type == TYPE_TIME) break;
            [[fallthrough]];
        case TYPE_INTEGER:
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME: {
            double result = do_math_op(number_of(left), number_of(right), op);
            // A time on the right makes a time; otherwise the left type stands,
            // an integer! becoming a float!.
            int type = right_type == TYPE_TIME     ? TYPE_TIME
                       : left_type == TYPE_INTEGER ? TYPE_FLOAT
                                                   : left_type;
            cell::set(left, type);
            cell::put_float(left, result);
            return left;
        }
        default: break;
    }
    raise_about_type(ERR_script_invalid_type, right_type);
}

// ---- Comparison ---------------------------------------------------------------------------

int compare(Cell* value1, Cell* value2, int op) {
    int type2 = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && type_of(value1) != type2)
        return 1;
    double a = get(value1), b;
    switch (type2) {
        case TYPE_INTEGER: b = integer::get(value2); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME: b = get(value2); break;
        case TYPE_MONEY: return money::compare_number(value1, value2, op);
        default: return -2;
    }
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL: return almost_equal_q(a, b) ? 0 : 1;
        case COMP_STRICT_EQUAL: return a == b ? 0 : 1;
        case COMP_SAME: return bits_of(a) == bits_of(b) ? 0 : 1;
        default: break;
    }
    if (nan_q(a) || nan_q(b)) {
        // Every ordering with a NaN is false.
        if (op == COMP_LESSER || op == COMP_LESSER_EQUAL) return 1;
        if (op == COMP_GREATER || op == COMP_GREATER_EQUAL) return -1;
        return 0;
    }
    return (a > b) - (a < b);
}

// ---- Rounding -----------------------------------------------------------------------------

namespace {

struct RoundMode {
    bool even, down, half_down, floor, ceiling, half_ceiling;
};

// e rounded to an integral double as the refinements ask; halves go away
// from zero unless a refinement says otherwise.
double round_integral(double e, const RoundMode& mode) {
    double a = std::fabs(e), low = std::floor(a), high = std::ceil(a);
    auto with_sign = [e](double magnitude) { return std::copysign(magnitude, e); };
    if (mode.down) return with_sign(low);
    if (mode.floor) return std::floor(e);
    if (mode.ceiling) return std::ceil(e);
    double half = low + 0.5;
    if (a > half) return with_sign(high);
    if (a < half) return with_sign(low);
    if (mode.even) return with_sign(std::fmod(a, 2.0) >= 1.0 ? high : low);
    if (mode.half_down) return with_sign(low);
    if (mode.half_ceiling) return std::ceil(e);
    return with_sign(high);
}

// n rounded to a multiple of the scale s (s >= 0).
double round_to_scale(double n, double s, const RoundMode& mode) {
    // A scale below the value's precision, or none at all, changes nothing.
    if (std::ldexp(std::fabs(n), -53) > s || s == 0.0) return n;
    if (s >= 1.0) return round_integral(n / s, mode) * s;
    int k = 0;
    int exponent;
    double mantissa = std::frexp(s, &exponent);
    // 1 / s would overflow: divide by the mantissa, the binary exponent apart.
    if (exponent < -1021) {
        n = std::ldexp(n, -exponent);
        s = mantissa;
        k = exponent;
    }
    double r = round_integral(n * (1.0 / s), mode);
    return std::ldexp(r / (1.0 / s), k);
}

}  // namespace

Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
            bool ceiling, bool half_ceiling) {
    int scale_type = scale ? type_of(scale) : TYPE_NONE;
    if (scale_type == TYPE_MONEY) raise_not_related(ACT_ROUND, TYPE_MONEY);
    bool percent = type_of(value) == TYPE_PERCENT;
    double s = percent ? 0.01 : 1.0;
    if (scale) {
        switch (scale_type) {
            case TYPE_INTEGER: s = integer::get(scale); break;
            case TYPE_FLOAT:
            case TYPE_PERCENT:
            case TYPE_TIME: s = get(scale); break;
            default: raise::expect_arg(scale, 2);
        }
        // A percent is rounded in percentage points.
        s = percent ? abs(s) / 100.0 : abs(s);
    }
    double n = get(value);
    double result =
        round_to_scale(n, s, RoundMode{even, down, half_down, floor, ceiling, half_ceiling});
    if (std::isinf(result) && !not_finite_q(n)) fire(ERR_math_overflow);
    if (scale_type == TYPE_INTEGER) {
        int32_t i = integer::from_float(result, ERR_math_overflow);
        cell::set(value, TYPE_INTEGER, 0, uint32_t(i));
        return value;
    }
    if (scale) cell::set(value, scale_type);
    cell::put_float(value, result);
    return value;
}

Cell* power() {
    Cell* args = stack::arguments();
    Cell* exponent = &args[1];
    int exponent_type = type_of(exponent);
    if (exponent_type != TYPE_INTEGER && exponent_type != TYPE_FLOAT)
        raise::expect_arg(exponent, 1);
    cell::put_float(&args[0], std::pow(get(&args[0]), number_of(exponent)));
    return &args[0];
}

namespace {

// ---- Construction --------------------------------------------------------------------------

double block_number(const Cell* element) {
    switch (type_of(element)) {
        case TYPE_INTEGER: return integer::get(element);
        case TYPE_FLOAT: return get(element);
        default: raise::bad_to_arg(TYPE_FLOAT, element);
    }
}

// [mantissa exponent]: mantissa x 10^exponent, the exponent truncated.
double from_block(const Cell* block, int type) {
    Series* s = memory::series_of(block->data2);
    int64_t head = int32_t(block->data1);
    int64_t count = int64_t(s->used() / sizeof(Cell)) - head;
    if (head < 0 || count != 2) raise::bad_to_arg(type, block);
    Cell mantissa = s->cells()[head], exponent = s->cells()[head + 1];
    double m = block_number(&mantissa);
    Cell float_type = raise::datatype_arg(TYPE_FLOAT);
    int32_t e =
        integer::from_float(block_number(&exponent), ERR_script_bad_to_arg, &float_type, &exponent);
    return m * std::pow(10.0, e);
}

double from_text(Cell* text, int type) {
    int error = text_to_number::TEXT_OK;
    int unit = unicode::check_unit(string::buffer_of(text));
    double d = text_to_number::text_to_float(string::head(text), string::length_q(text), unit, error);
    if (error != text_to_number::TEXT_OK) raise::bad_to_arg(type, text);
    return d;
}

// percent! reads its text as a loaded value: "50%", "0.5" and "50" all work.
double percent_from_text(const Cell* text) {
    Cell loaded;
    services::g_loader.load_value(text, &loaded);
    switch (type_of(&loaded)) {
        case TYPE_INTEGER: return integer::get(&loaded);
        case TYPE_FLOAT:
        case TYPE_PERCENT: return get(&loaded);
        default: raise::bad_to_arg(TYPE_PERCENT, text);
    }
}

// ---- Action handlers ----------------------------------------------------------------------

// make and to, the target float! or percent!.
Cell* make(Cell* proto, Cell* spec, int type) {
    double d = 0.0;
    switch (type_of(spec)) {
        case TYPE_INTEGER:
        case TYPE_CHAR: d = integer::get(spec); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME: d = get(spec); break;
        case TYPE_MONEY: d = money::to_float(spec); break;
        // Up to 8 bytes as the bit pattern; fewer fill the low-order end.
        case TYPE_BINARY: d = std::bit_cast<double>(binary_head_bits(spec, 8)); break;
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: d = from_block(spec, type); break;
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(type, spec);
            d = type == TYPE_PERCENT ? percent_from_text(spec) : from_text(spec, type);
            break;
    }
    cell::set(proto, type);
    cell::put_float(proto, d);
    return proto;
}

Cell* random_(Cell* value, bool seed, bool secure, bool) {
    double d = get(value);
    if (seed) {
        uint64_t b = bits_of(d);
        random::seed(uint32_t(b) ^ uint32_t(b >> 32));
        cell::set(value, TYPE_UNSET);
        return value;
    }
    if (secure) {
        double s1 = random::secure_next(), s2 = random::secure_next();
        d = d * (s2 + s1 / 2147483647.0) / 2147483648.0;
    } else {
        d = random::next() / 2147483647.0 * d;
    }
    cell::put_float(value, d);
    return value;
}

int form(Cell* value, Cell* buffer, int part) {
    return cell_text::mold_literal(buffer, form_text(get(value)).c_str(), false, part);
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return cell_text::mold_literal(buffer, mold_text(get(value)).c_str(), false, part);
}

Cell* absolute() {
    Cell* value = stack::arguments();
    cell::put_float(value, abs(get(value)));
    return value;
}

// 0.0 - x, so that the negation of 0.0 is 0.0.
Cell* negate(Cell* value) {
    cell::put_float(value, 0.0 - get(value));
    return value;
}

int32_t parity_bits(const Cell* value) {
    Cell type = raise::datatype_arg(TYPE_INTEGER);
    return integer::from_float(get(value), ERR_script_type_limit, &type);
}

bool even_q(Cell* value) { return (parity_bits(value) & 1) == 0; }
bool odd_q(Cell* value) { return (parity_bits(value) & 1) != 0; }

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_FLOAT, 0, "float!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_RANDOM>(random_);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    r.set<ACT_ABSOLUTE>(absolute).set<ACT_NEGATE>(negate).set<ACT_POWER>(power);
    set_math_actions<do_math>(r, false);
    r.set<ACT_ROUND>(round);
    r.set<ACT_EVEN_Q>(even_q).set<ACT_ODD_Q>(odd_q);
    datatype::register_type(r);
}

}  // namespace zel::float_
