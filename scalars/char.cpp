// char!: constructors, make and to, form, mold, compare and the
// registration under integer!.
//
// Cell: {header (type 10), unused, the code point 0..0x10FFFF, unused}.
//
// Relies on integer! for the checked conversion of doubles, on the string
// module for writing characters and their escapes, and on the unicode
// module for decoding a binary's first character.
#include "scalars/char.h"

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/integer.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"

namespace zel::char_ {

using namespace compare;

Cell* make_at(Cell* cell, uint32_t cp) {
    cell::set(cell, TYPE_CHAR, 0, cp);
    return cell;
}

Cell* push(uint32_t cp) { return make_at(stack::push_new(), cp); }
Cell* make_in(Cell* block, uint32_t cp) { return make_at(cell::alloc_tail(block), cp); }

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
    for (int action : {ACT_RANDOM, ACT_ABSOLUTE, ACT_EVEN_Q, ACT_ODD_Q}) r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::char_
