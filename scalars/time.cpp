// time!: constructors, the hour and minute fields, the text form, make and
// to, and the registration under float!.
//
// Cell: {header (type 43), unused, the seconds as a double in words 2-3}.
//
// Relies on float! for the handlers it inherits and the seconds text, on
// integer! for the checked conversion of doubles, and on the loader for
// text.
#include "scalars/time.h"

#include <cmath>
#include <string>

#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/dtoa.h"
#include "scalars/float.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/series.h"

namespace zel::time {

Cell* make_at(Cell* cell, double seconds) {
    cell::set(cell, TYPE_TIME);
    cell::put_float(cell, seconds);
    return cell;
}

Cell* push(double seconds) { return make_at(stack::push_new(), seconds); }

Cell* make_in(Cell* block, uint32_t high, uint32_t low) {
    return make_at(cell::alloc_tail(block), float_::from_halves(high, low));
}

int32_t hours(double seconds) {
    return integer::from_float(std::trunc(seconds / 3600.0), ERR_script_out_of_range);
}

int32_t minutes(double seconds) {
    double m = std::floor(std::fmod(std::fabs(seconds), 3600.0) / 60.0);
    return integer::from_float(m, ERR_script_out_of_range);
}

namespace {

// Two digits, a leading 0 for 0..9.
int append_two_digits(Cell* buffer, int32_t n, int part) {
    if (n < 10) part = cell_text::mold_literal(buffer, "0", false, part);
    return cell_text::mold_literal(buffer, integer::to_decimal(n).c_str(), false, part);
}

// The fewest digits of the seconds s of the time t with which the text
// loads back as t (the loader adds the seconds read to the whole minutes,
// t - s), laid out without the exponent that a time's text cannot take.
std::string exact_seconds(double t, double s) {
    std::string text;
    for (int digits = 1; digits <= 17; digits++) {
        text = dtoa::positional_text(s, digits, 0);
        int unconsumed = 0;
        double read = dtoa::string_to_float(text.data(), text.data() + text.size(), 0, unconsumed);
        if ((t - s) + read == t) break;
    }
    return text;
}

}  // namespace

int serialize(double seconds, Cell* buffer, int part, bool exact) {
    if (seconds < 0.0) part = cell_text::mold_literal(buffer, "-", false, part);
    double t = std::fabs(seconds);
    // A time made infinite or NaN by arithmetic has no fields to show.
    if (float_::not_finite_q(t))
        return cell_text::mold_literal(buffer, float_::to_text(t, float_::TEXT_SECONDS).c_str(), false,
                                  part);
    // The fields by exact remainders, so that a time just short of an hour
    // or a minute is not rounded up into the next one: t = 3600 h + 60 m + s.
    double within_hour = std::fmod(t, 3600.0);
    double s = std::fmod(t, 60.0);
    // The hour count is any integral double: no 32-bit limit on the text.
    dtoa::FloatText h = dtoa::form_float((t - within_hour) / 3600.0, 0, false);
    part = cell_text::mold_literal(buffer, h.c_str(), false, part);
    part = cell_text::mold_literal(buffer, ":", false, part);
    part = append_two_digits(buffer, int32_t((within_hour - s) / 60.0), part);
    part = cell_text::mold_literal(buffer, ":", false, part);
    if (exact ? s == 0.0 : s < 1e-6) return cell_text::mold_literal(buffer, "00", false, part);
    std::string text = exact ? exact_seconds(t, s) : std::string(float_::to_text(s, float_::TEXT_SECONDS).c_str());
    if (text.size() == 1 || text[1] == '.') part = cell_text::mold_literal(buffer, "0", false, part);
    return cell_text::mold_literal(buffer, text.c_str(), false, part);
}

namespace {

// ---- Construction --------------------------------------------------------------------------

// [hours minutes seconds], each part optional from the end: integers, the
// seconds may be a float; only the hours may be negative, which negates
// the whole.
double from_block(Cell* block) {
    int n = block::length_q(block);
    if (n > 3) raise::bad_to_arg(TYPE_TIME, block);
    constexpr double WEIGHTS[] = {3600.0, 60.0, 1.0};
    double total = 0.0;
    bool negative = false;
    for (int i = 0; i < n; i++) {
        Cell item = block::head(block)[i];
        double v;
        if (type_of(&item) == TYPE_INTEGER)
            v = integer::get(&item);
        else if (type_of(&item) == TYPE_FLOAT && i == 2)
            v = cell::get_float(&item);
        else
            raise::bad_to_arg(TYPE_TIME, block);
        if (v < 0.0) {
            if (i > 0) raise::bad_to_arg(TYPE_TIME, block);
            negative = true;
            v = -v;
        }
        total += v * WEIGHTS[i];
    }
    return negative ? -total : total;
}

// ---- Action handlers ----------------------------------------------------------------------

// make and to.
Cell* make(Cell* proto, Cell* spec, int) {
    double seconds = 0.0;
    switch (type_of(spec)) {
        case TYPE_TIME: return copy_cell(spec, proto);
        case TYPE_INTEGER: seconds = integer::get(spec); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT: seconds = cell::get_float(spec); break;
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: seconds = from_block(spec); break;
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(TYPE_TIME, spec);
            return scalar_math::load_typed(spec, TYPE_TIME, proto);
    }
    return make_at(proto, seconds);
}

// form and mold: "1:02:03", "-0:00:05", "0:00:01.5".
int form(Cell* value, Cell* buffer, int part) { return serialize(get(value), buffer, part, false); }

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return serialize(get(value), buffer, part, true);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_TIME, TYPE_FLOAT, "time!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    for (int action : {ACT_RANDOM, ACT_COMPARE, ACT_ABSOLUTE, ACT_NEGATE, ACT_REMAINDER})
        r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::time
