// char!: constructors, the arithmetic, make and to, form, mold, compare
// and the registration under integer!.
//
// Cell: {header (type 10), unused, the code point 0..0x10FFFF, unused}.
//
// Relies on integer! for the integer core and the checked conversion of
// doubles, on vector! for a vector operand, on the string module for
// writing characters and their escapes, and on the unicode module for
// decoding a binary's first character.
#include "scalars/char.h"

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "series/vector.h"

namespace zel::char_ {

using namespace compare;

Cell* make_at(Cell* cell, uint32_t cp) {
    cell::set(cell, TYPE_CHAR, 0, cp);
    return cell;
}

Cell* push(uint32_t cp) { return make_at(stack::push_new(), cp); }
Cell* make_in(Cell* block, uint32_t cp) { return make_at(cell::alloc_tail(block), cp); }

// A character stays a character: the quotient is truncated, and a result
// that overflowed 32 bits or left 0..0x10FFFF is refused, as is a float
// that no 32-bit integer holds.
Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* right = &args[1];
    int32_t by = 0;
    switch (type_of(right)) {
        case TYPE_INTEGER:
        case TYPE_CHAR: by = integer::get(right); break;
        case TYPE_FLOAT: by = integer::from_float(cell::get_float(right), ERR_math_overflow); break;
        case TYPE_VECTOR: {
            Cell code_point;
            cell::set(&code_point, TYPE_INTEGER, 0, args[0].data2);
            return vector::do_math_scalar(op, right, &code_point, true);
        }
        default: scalar_math::raise_about_type(ERR_script_invalid_type, type_of(right));
    }
    int32_t left = integer::get(&args[0]);
    Cell exact;
    cell::set(&exact, TYPE_INTEGER);
    // Only a divide leaves the result cell out: its quotient is truncated,
    // never a float!.
    int32_t r = integer::do_math_op(left, by, op, op == scalar_math::OP_DIVIDE ? nullptr : &exact);
    if (type_of(&exact) != TYPE_INTEGER || r < 0 || uint32_t(r) > MAX_CODE_POINT)
        fire(ERR_math_overflow);
    return make_at(&args[0], uint32_t(r));
}

namespace {

// ---- Construction --------------------------------------------------------------------------

uint32_t checked_code_point(int32_t n, const Cell* spec) {
    if (n < 0 || uint32_t(n) > MAX_CODE_POINT) fire(ERR_script_out_of_range, spec);
    return uint32_t(n);
}

uint32_t from_text(Cell* text) {
    if (string::length_q(text) == 0) raise::bad_to_arg(TYPE_CHAR, text);
    Series* s = string::buffer_of(text);
    return string::get_char(string::head(text), s->unit());
}

// The UTF-8 sequence at the binary's head; a sequence cut short by the end
// of the binary is malformed too.
uint32_t from_binary(Cell* binary) {
    int available = string::length_q(binary);
    if (available == 0) raise::bad_to_arg(TYPE_CHAR, binary);
    const uint8_t* p = string::head(binary);
    int count = available;
    int32_t cp = unicode::decode_utf8_char(p, count);
    if (cp < 0) unicode::raise_invalid_utf8(p, available < 4 ? available : 4);
    return uint32_t(cp);
}

// ---- Action handlers ----------------------------------------------------------------------

// make and to.
Cell* make(Cell* proto, Cell* spec, int) {
    uint32_t cp = 0;
    switch (type_of(spec)) {
        case TYPE_INTEGER:
        case TYPE_CHAR: cp = checked_code_point(integer::get(spec), spec); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
            cp = checked_code_point(
                integer::from_float(cell::get_float(spec), ERR_script_out_of_range, spec), spec);
            break;
        case TYPE_BINARY: cp = from_binary(spec); break;
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(TYPE_CHAR, spec);
            cp = from_text(spec);
            break;
    }
    return make_at(proto, cp);
}

int form(Cell* value, Cell* buffer, int part) {
    string::append_char(string::buffer_of(buffer), get(value));
    return part - 1;
}

// #"a", the character in mold notation; the budget counts four characters
// whatever the escape's length.
int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    string::append_c_string(buffer, "#\"");
    string::append_escaped_char(buffer, get(value), all);
    string::append_c_string(buffer, "\"");
    return part - 4;
}

int compare(Cell* value1, Cell* value2, int op) {
    int type2 = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_FIND) && type2 != TYPE_CHAR) return 1;
    if (type2 != TYPE_CHAR && type2 != TYPE_INTEGER) return -2;
    int32_t a = int32_t(get(value1)), b = integer::get(value2);
    return (a > b) - (a < b);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_CHAR, TYPE_INTEGER, "char!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    scalar_math::set_math_actions<do_math>(r, true);
    for (int action : {ACT_RANDOM, ACT_ABSOLUTE, ACT_EVEN_Q, ACT_ODD_Q}) r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::char_
