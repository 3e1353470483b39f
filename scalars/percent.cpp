// percent!: helpers, form and mold, and the registration under float!.
//
// Cell: {header (type 38), unused, the fraction as a double in words 2-3}.
#include "scalars/percent.h"

#include <string>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/dtoa.h"
#include "scalars/float.h"
#include "scalars/float_text.h"
#include "series/cell_text.h"

namespace zel::percent {

Cell* make_at(Cell* cell, double fraction) {
    cell::set(cell, TYPE_PERCENT);
    cell::put_float(cell, fraction);
    return cell;
}

Cell* box(double fraction) { return make_at(stack::arguments(), fraction); }
Cell* push(double fraction) { return make_at(stack::push_new(), fraction); }

Cell* make_in(Cell* block, uint32_t high, uint32_t low) {
    return make_at(cell::alloc_tail(block), float_::from_halves(high, low));
}

namespace {

// form: "50%", "12.5%", to 13 significant digits.
int form(Cell* value, Cell* buffer, int part) {
    return cell_text::mold_literal(buffer, form_text(float_::get(value)).c_str(), false, part);
}

// mold: every digit the fraction needs to load back the same, and no
// exponent, which the lexer does not read before a "%": 1e-10 molds as
// "0.00000001%". Infinity and NaN have no percent text; they mold as form
// writes them.
int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    double fraction = float_::get(value);
    if (float_::not_finite_q(fraction)) return form(value, buffer, part);
    std::string text = dtoa::positional_text(fraction, 0, 2) + "%";
    return cell_text::mold_literal(buffer, text.c_str(), false, part);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_PERCENT, TYPE_FLOAT, "percent!");
    for (int action : {ACT_MAKE, ACT_RANDOM, ACT_TO, ACT_COMPARE, ACT_ABSOLUTE, ACT_ADD, ACT_DIVIDE,
                       ACT_MULTIPLY, ACT_NEGATE, ACT_POWER, ACT_REMAINDER, ACT_ROUND, ACT_SUBTRACT,
                       ACT_EVEN_Q, ACT_ODD_Q})
        r.inherit(action);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    datatype::register_type(r);
}

}  // namespace zel::percent
