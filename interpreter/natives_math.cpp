// The maths natives: trigonometry in degrees or radians, logarithms, exp and
// square-root, NaN?, zero?, the sign tests, and max and min with their
// element-wise rules for pairs, points and tuples.
//
// Floating point is IEEE double with every exception masked: a domain error
// gives NaN or an infinity, never an error.
//
// Relies on: the number, money, pair, point and tuple cells, the comparison
// service (max and min of other values), the degree reduction of the
// platform layer.
#include <cmath>

#include "foundation/compare.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/money.h"
#include "scalars/pair.h"
#include "scalars/percent.h"
#include "scalars/point.h"
#include "scalars/simple_types.h"
#include "scalars/time.h"
#include "scalars/tuple.h"

namespace zel::natives {

namespace {

constexpr double PI = 3.141592653589793;
constexpr double LN_2 = 0.6931471805599453;
constexpr double E = 2.718281828459045;
// Below this a sine or cosine is taken as exactly 0 (the double epsilon), so
// that sine 180 and cosine 90 are 0.0.
constexpr double TRIG_ZERO = 2.220446049250313e-16;

// Kinds of the degree reduction.
constexpr int TANGENT = 0, COSINE = 1, SINE = 2;

// The argument cell becomes a float!: an integer! by its value, a percent!
// keeping its stored fraction.
double arg_to_float(Cell* value) {
    double d = float_::number_of(value);
    float_::make_at(value, d);
    return d;
}

Exit answer(double d) {
    float_::make_at(arg(0), d);
    return Exit{};
}

// ---- Trigonometry ---------------------------------------------------------------------------------

// /radians is refinement slot 0 of every trigonometric native.
template <int KIND>
Exit sine_or_cosine(bool, const int32_t* r) {
    double angle = arg_to_float(arg(0));
    if (!has(r, 0)) angle = platform::degrees_to_radians(angle, KIND);
    double d = KIND == SINE ? std::sin(angle) : std::cos(angle);
    return answer(std::fabs(d) < TRIG_ZERO ? 0.0 : d);
}

Exit tangent(bool, const int32_t* r) {
    double angle = arg_to_float(arg(0));
    if (!has(r, 0)) angle = platform::degrees_to_radians(angle, TANGENT);
    if (angle == PI / 2.0) return answer(INFINITY);
    if (angle == -PI / 2.0) return answer(-INFINITY);
    return answer(std::tan(angle));
}

template <double (*F)(double)>
Exit arc(bool, const int32_t* r) {
    double d = F(arg_to_float(arg(0)));
    return answer(has(r, 0) ? d : d * 180.0 / PI);
}

Exit arctangent2(bool, const int32_t* r) {
    double d = std::atan2(float_::number_of(arg(0)), float_::number_of(arg(1)));
    return answer(has(r, 0) ? d : d * 180.0 / PI);
}

// ---- Logarithms and powers -----------------------------------------------------------------------

double log_2(double v) { return std::log(v) / LN_2; }
double exp_e(double v) { return std::pow(E, v); }

template <double (*F)(double)>
Exit float_function(bool, const int32_t*) {
    return answer(F(arg_to_float(arg(0))));
}

// ---- Tests -----------------------------------------------------------------------------------------

Exit nan_q(bool, const int32_t*) {
    Cell* v = arg(0);
    bool nan = type_of(v) != TYPE_INTEGER && std::isnan(cell::get_float(v));
    logic::set(v, nan);
    return Exit{};
}

bool zero_value_q(const Cell* v) {
    switch (type_of(v)) {
        case TYPE_CHAR: case TYPE_INTEGER: return integer::get(v) == 0;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: return cell::get_float(v) == 0.0;
        case TYPE_PAIR: return pair::x_of(v) == 0 && pair::y_of(v) == 0;
        case TYPE_TUPLE: {
            const uint8_t* bytes = tuple::bytes_of(v);
            for (int i = 0; i < tuple::length_of(v); i++)
                if (bytes[i]) return false;
            return true;
        }
        case TYPE_MONEY: return money::digits_zero_q(v);
        case TYPE_POINT2D: case TYPE_POINT3D:
            for (int i = 0; i < point::dimensions(type_of(v)); i++)
                if (point::get(v, i) != 0.0f) return false;
            return true;
        default: return false;
    }
}

Exit zero_q(bool, const int32_t*) {
    logic::set(arg(0), zero_value_q(arg(0)));
    return Exit{};
}

// -1, 0 or 1 (NaN gives 0); another type raises script expect-arg.
int sign_of(const Cell* v) {
    switch (type_of(v)) {
        case TYPE_INTEGER: return integer::sign(integer::get(v));
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: {
            double d = cell::get_float(v);
            return d > 0.0 ? 1 : d < 0.0 ? -1 : 0;
        }
        case TYPE_MONEY: return money::sign(v);
        default: raise::expect_arg(v, 0);
    }
}

template <int SIGN>
Exit sign_test(bool, const int32_t*) {
    logic::set(arg(0), sign_of(arg(0)) == SIGN);
    return Exit{};
}

Exit sign_q(bool, const int32_t*) {
    integer::make_at(arg(0), sign_of(arg(0)));
    return Exit{};
}

// ---- max and min ----------------------------------------------------------------------------------

bool plain_number_q(int type) { return type == TYPE_INTEGER || type == TYPE_FLOAT || type == TYPE_PERCENT; }
bool nan_number_q(const Cell* v) {
    return (type_of(v) == TYPE_FLOAT || type_of(v) == TYPE_PERCENT) && std::isnan(cell::get_float(v));
}

template <typename T>
T pick_of(T a, T b, bool max) {
    return max ? (a < b ? b : a) : (b < a ? b : a);
}

// Coordinate by coordinate as singles: a coordinate is replaced when the
// other is greater (max) or smaller (min), or NaN.
void max_min_points(Cell* a, const Cell* b, bool max) {
    int n = point::dimensions(type_of(a));
    for (int i = 0; i < n; i++) {
        float x = point::get(a, i);
        float y = type_of(b) == TYPE_INTEGER || type_of(b) == TYPE_FLOAT ? float(float_::number_of(b))
                  : type_of(b) == TYPE_PAIR ? float(i == 0 ? pair::x_of(b) : pair::y_of(b))
                                            : point::get(b, i);
        if (std::isnan(y) || (max ? x < y : x > y)) point::put(a, i, y);
    }
}

Exit max_min(bool max) {
    Cell* a = arg(0);
    Cell* b = arg(1);
    if (nan_number_q(a) && plain_number_q(type_of(b))) return Exit{};
    if (nan_number_q(b) && plain_number_q(type_of(a))) {
        *a = *b;
        return Exit{};
    }
    int tb = type_of(b);
    bool composite_b = tb == TYPE_PAIR || tb == TYPE_POINT2D || tb == TYPE_POINT3D || tb == TYPE_TUPLE;
    if (composite_b && (type_of(a) == TYPE_INTEGER || type_of(a) == TYPE_FLOAT)) std::swap(*a, *b);
    int ta = type_of(a);
    tb = type_of(b);
    bool number_b = tb == TYPE_INTEGER || tb == TYPE_FLOAT;
    if (ta == TYPE_PAIR && number_b) {
        double n = float_::number_of(b);
        if (tb == TYPE_FLOAT && integer::float_out_of_range_q(n)) {
            pair::to_point(a);
            point2d::make_at(b, float(n), float(n));
            max_min_points(a, b, max);
            return Exit{};
        }
        int32_t k = tb == TYPE_FLOAT ? int32_t(n) : integer::get(b);
        pair::make_at(a, pick_of(pair::x_of(a), k, max), pick_of(pair::y_of(a), k, max));
        return Exit{};
    }
    if (ta == TYPE_PAIR && tb == TYPE_PAIR) {
        pair::make_at(a, pick_of(pair::x_of(a), pair::x_of(b), max), pick_of(pair::y_of(a), pair::y_of(b), max));
        return Exit{};
    }
    if (ta == TYPE_PAIR && tb == TYPE_POINT2D) {
        pair::to_point(a);
        max_min_points(a, b, max);
        return Exit{};
    }
    if ((ta == TYPE_POINT2D || ta == TYPE_POINT3D) && (number_b || tb == ta || (ta == TYPE_POINT2D && tb == TYPE_PAIR))) {
        max_min_points(a, b, max);
        return Exit{};
    }
    if (ta == TYPE_TUPLE && number_b) {
        Cell limit_type = raise::datatype_arg(TYPE_INTEGER);
        int32_t k = tb == TYPE_FLOAT ? integer::from_float(float_::number_of(b), ERR_script_type_limit, &limit_type)
                                     : integer::get(b);
        uint8_t byte = uint8_t(k < 0 ? 0 : k > 255 ? 255 : k);
        uint8_t* bytes = tuple::bytes_of(a);
        for (int i = 0; i < tuple::length_of(a); i++) bytes[i] = pick_of(bytes[i], byte, max);
        return Exit{};
    }
    if (ta == TYPE_TUPLE && tb == TYPE_TUPLE && tuple::length_of(a) == tuple::length_of(b)) {
        uint8_t* bytes = tuple::bytes_of(a);
        const uint8_t* other = tuple::bytes_of(b);
        for (int i = 0; i < tuple::length_of(a); i++) bytes[i] = pick_of(bytes[i], other[i], max);
        return Exit{};
    }
    // Equal values: max keeps the first, min takes the second.
    bool less = compare::compare(a, b, compare::COMP_LESSER);
    if (max ? less : !less) *a = *b;
    return Exit{};
}

Exit max_(bool, const int32_t*) { return max_min(true); }
Exit min_(bool, const int32_t*) { return max_min(false); }

}  // namespace

void register_maths() {
    set(Native::sine, sine_or_cosine<SINE>);
    set(Native::cosine, sine_or_cosine<COSINE>);
    set(Native::tangent, tangent);
    set(Native::arcsine, arc<std::asin>);
    set(Native::arccosine, arc<std::acos>);
    set(Native::arctangent, arc<std::atan>);
    set(Native::arctangent2, arctangent2);
    set(Native::nan_q, nan_q);
    set(Native::log_2, float_function<log_2>);
    set(Native::log_10, float_function<std::log10>);
    set(Native::log_e, float_function<std::log>);
    set(Native::exp_, float_function<exp_e>);
    set(Native::square_root, float_function<std::sqrt>);
    set(Native::zero_q, zero_q);
    set(Native::negative_q, sign_test<-1>);
    set(Native::positive_q, sign_test<1>);
    set(Native::sign_q, sign_q);
    set(Native::max_, max_);
    set(Native::min_, min_);
}

}  // namespace zel::natives
