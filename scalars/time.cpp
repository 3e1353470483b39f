// time!: constructors, the hour, minute and second fields, the text form,
// make and to, arithmetic, parity and rounding, and the registration under
// float!.
//
// Cell: {header (type 43), unused, the seconds as a double in words 2-3}.
//
// Relies on float! for the handlers it inherits, its math core, rounding and
// the seconds text, on integer! for the checked conversion of doubles, on
// date! for a date added to a time, on the loader for text, and on the
// evaluator's store-back (path.h) for a field set through a path.
#include "scalars/time.h"

#include <cmath>
#include <string>
#include <utility>

#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/date.h"
#include "scalars/dtoa.h"
#include "scalars/float.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/path.h"
#include "series/series.h"
#include "words/symbol.h"

namespace zel::time {

using namespace scalar_math;

Cell* make_at(Cell* cell, double seconds) {
    cell::set(cell, TYPE_TIME);
    cell::put_float(cell, seconds);
    return cell;
}

Cell* push(double seconds) { return make_at(stack::push_new(), seconds); }

Cell* make_in(Cell* block, uint32_t high, uint32_t low) {
    return make_at(cell::alloc_tail(block), float_::from_halves(high, low));
}

namespace {

// A count that no integer! holds (or a NaN time's) is past the type's limit.
int32_t field_integer(double d) {
    Cell type = raise::datatype_arg(TYPE_INTEGER);
    return integer::from_float(d, ERR_script_type_limit, &type);
}

}  // namespace

int32_t hours(double seconds) { return field_integer(std::trunc(seconds / 3600.0)); }

int32_t minutes(double seconds) {
    return field_integer(std::floor(std::fmod(std::fabs(seconds), 3600.0) / 60.0));
}

// ---- Fields -------------------------------------------------------------------------------

int field_named(const Cell* element, std::span<const FieldName> names, int count) {
    switch (type_of(element)) {
        case TYPE_INTEGER: {
            int32_t i = integer::get(element);
            return i >= 1 && i <= count ? i : 0;
        }
        case TYPE_WORD: {
            // Most words are spelt as the field names are: their symbols
            // match without the case-folding lookups.
            for (const FieldName& n : names)
                if (element->data2 == words::symbol(n.name)) return n.field;
            uint32_t sym = symbol::resolve(element->data2);
            for (const FieldName& n : names)
                if (sym == symbol::resolve(words::symbol(n.name))) return n.field;
            return 0;
        }
        default: return 0;
    }
}

int field_of(const Cell* element) {
    static constexpr FieldName NAMES[] = {
        {words::Sym::hour, FIELD_HOUR}, {words::Sym::minute, FIELD_MINUTE}, {words::Sym::second, FIELD_SECOND}};
    return field_named(element, NAMES, FIELD_SECOND);
}

Cell* field_at(Cell* cell, double seconds, int field) {
    switch (field) {
        case FIELD_HOUR: cell::set(cell, TYPE_INTEGER, 0, uint32_t(hours(seconds))); return cell;
        case FIELD_MINUTE: cell::set(cell, TYPE_INTEGER, 0, uint32_t(minutes(seconds))); return cell;
        default: return float_::make_at(cell, std::fmod(seconds, 60.0));
    }
}

double with_field(double t, int field, const Cell* value) {
    bool integral = type_of(value) == TYPE_INTEGER;
    if (!integral && !(field == FIELD_SECOND && type_of(value) == TYPE_FLOAT))
        fire(ERR_script_invalid_arg, value);
    double v = integral ? integer::get(value) : float_::get(value);
    switch (field) {
        case FIELD_HOUR: return t - (std::floor(t / 3600.0) - v) * 3600.0;
        case FIELD_MINUTE: return t - (std::floor(std::fmod(t, 3600.0) / 60.0) - v) * 60.0;
        default: return t - (std::fmod(t, 60.0) - v);
    }
}

// ---- Text -----------------------------------------------------------------------------------

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

// t/hour, t/2: the field; t/minute: 5 changes the time, and the changed time
// goes back where the path found it (which tells its owner).
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    int field = field_of(element);
    if (!field) fire(ERR_script_invalid_path, path, element);
    static Cell got;
    if (!value) return field_at(&got, get(parent), field);
    cell::put_float(parent, with_field(get(parent), field, value));
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

// pick t 1, pick t 'second.
Cell* pick(Cell* value, int, Cell* index) {
    int field = field_of(index);
    if (!field) {
        if (type_of(index) == TYPE_WORD) fire(ERR_script_cannot_use, index, value);
        fire(ERR_script_out_of_range, index);
    }
    static Cell got;
    return field_at(&got, get(value), field);
}

// A date on the right is moved by the time: the date's own addition.
Cell* add() {
    Cell* args = stack::arguments();
    if (type_of(&args[1]) != TYPE_DATE) return float_::do_math(OP_ADD);
    std::swap(args[0], args[1]);
    return date::add();
}

Cell* subtract() {
    if (type_of(&stack::arguments()[1]) == TYPE_DATE) raise_not_related(ACT_SUBTRACT, TYPE_TIME);
    return float_::do_math(OP_SUBTRACT);
}

Cell* multiply() {
    if (type_of(&stack::arguments()[1]) == TYPE_TIME) raise_not_related(ACT_MULTIPLY, TYPE_TIME);
    return float_::do_math(OP_MULTIPLY);
}

// A time divided by a time is their ratio, a float!.
Cell* divide() {
    bool ratio = type_of(&stack::arguments()[1]) == TYPE_TIME;
    Cell* result = float_::do_math(OP_DIVIDE);
    if (ratio) cell::set_type(result, TYPE_FLOAT);
    return result;
}

// The parity of the whole seconds field; the nudge away from zero keeps a
// second that arithmetic left a hair below its value (2.9999999) whole.
bool odd_q(Cell* value) {
    double t = get(value);
    t += t >= 0.0 ? 1e-6 : -1e-6;
    double s = std::trunc(std::fmod(t, 60.0));
    // An infinite or NaN time has no seconds field: even.
    return !std::isnan(s) && std::fmod(s, 2.0) != 0.0;
}

bool even_q(Cell* value) { return !odd_q(value); }

// The float! rounding, the result staying a time (an integer! scale gives
// whole seconds).
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    Cell* result = float_::round(value, scale, even, down, half_down, floor, ceiling, half_ceiling);
    double seconds = type_of(result) == TYPE_INTEGER ? double(integer::get(result)) : float_::get(result);
    return make_at(result, seconds);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_TIME, TYPE_FLOAT, "time!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_PICK>(pick);
    r.set<ACT_ADD>(add).set<ACT_SUBTRACT>(subtract).set<ACT_MULTIPLY>(multiply).set<ACT_DIVIDE>(divide);
    r.set<ACT_EVEN_Q>(even_q).set<ACT_ODD_Q>(odd_q).set<ACT_ROUND>(round);
    for (int action : {ACT_RANDOM, ACT_COMPARE, ACT_ABSOLUTE, ACT_NEGATE, ACT_REMAINDER})
        r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::time
