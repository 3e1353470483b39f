// pair!: constructors, make and to, form, mold, compare and the
// registration.
//
// Cell: {header (type 37), unused, x (signed 32-bit), y (signed 32-bit)}.
//
// Relies on point2D! for comparing with points, on the cell helpers for the
// checked conversion of float components, on the loader for text, and on
// the evaluator's store-back (path.h) for a component set through a path.
#include "scalars/pair.h"

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/integer.h"
#include "scalars/point.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/path.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::pair {

Cell* make_at(Cell* cell, int32_t x, int32_t y) {
    cell::set(cell, TYPE_PAIR, 0, uint32_t(x), uint32_t(y));
    return cell;
}

Cell* push(int32_t x, int32_t y) { return make_at(stack::push_new(), x, y); }
Cell* make_in(Cell* block, int32_t x, int32_t y) { return make_at(cell::alloc_tail(block), x, y); }

Cell* to_point(Cell* cell) { return point2d::make_at(cell, float(x_of(cell)), float(y_of(cell))); }

namespace {

// ---- Construction --------------------------------------------------------------------------

bool number_q(const Cell* c) { return type_of(c) == TYPE_INTEGER || type_of(c) == TYPE_FLOAT; }

// [x y ...]: the first two values integers or floats, truncated toward zero.
Cell* from_block(Cell* result, Cell* block) {
    if (block::length_q(block) < 2) fire(ERR_syntax_malconstruct, block);
    Cell* head = block::head(block);
    Cell x = head[0], y = head[1];
    if (!number_q(&x) || !number_q(&y)) fire(ERR_syntax_malconstruct, block);
    return make_at(result, cell::number_to_int(&x), cell::number_to_int(&y));
}

// A coordinate that no 32-bit integer holds (NaN and infinities too) is
// refused with the point.
int32_t from_coordinate(float f, const Cell* point) {
    return integer::from_float(double(f), ERR_script_invalid_arg, point);
}

// ---- Action handlers ----------------------------------------------------------------------

// make and to.
Cell* make(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_PAIR: return copy_cell(spec, proto);
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            int32_t n = cell::number_to_int(spec);
            return make_at(proto, n, n);
        }
        case TYPE_BLOCK: return from_block(proto, spec);
        case TYPE_STRING: return scalar_math::load_typed(spec, TYPE_PAIR, proto);
        case TYPE_POINT2D: {
            Cell point = *spec;
            int32_t x = from_coordinate(point::get(&point, 0), &point);
            return make_at(proto, x, from_coordinate(point::get(&point, 1), &point));
        }
        default: raise::bad_to_arg(TYPE_PAIR, spec);
    }
}

// form and mold: "10x-20".
int form(Cell* value, Cell* buffer, int part) {
    part = cell_text::mold_literal(buffer, integer::to_decimal(x_of(value)).c_str(), false, part);
    part = cell_text::mold_literal(buffer, "x", false, part);
    return cell_text::mold_literal(buffer, integer::to_decimal(y_of(value)).c_str(), false, part);
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return form(value, buffer, part);
}

// x decides, then y; a point2D! compares as points.
int compare(Cell* value1, Cell* value2, int op) {
    switch (type_of(value2)) {
        case TYPE_PAIR: break;
        case TYPE_POINT2D: {
            Cell point = *value1;
            return point2d::compare(to_point(&point), value2, op);
        }
        default: return -2;
    }
    int32_t a = x_of(value1), b = x_of(value2);
    if (a == b) {
        a = y_of(value1);
        b = y_of(value2);
    }
    return (a > b) - (a < b);
}

// The component a path selector names: 1 or 2, by position or as x and y;
// 0 for anything else.
int component_of(const Cell* selector) {
    switch (type_of(selector)) {
        case TYPE_INTEGER: {
            int32_t i = cell::get_int(selector);
            return i == 1 || i == 2 ? i : 0;
        }
        case TYPE_WORD: {
            uint32_t sym = symbol::resolve(selector->data2);
            if (sym == symbol::resolve(words::symbol(words::Sym::x))) return 1;
            if (sym == symbol::resolve(words::symbol(words::Sym::y))) return 2;
            return 0;
        }
        default: return 0;
    }
}

// p/x, p/2: the component as an integer!; p/x: 3 stores it, and the changed
// pair goes back where the path found it.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    int which = component_of(element);
    if (!which) fire(ERR_script_invalid_path, path, element);
    static Cell component;
    if (!value) return integer::make_at(&component, which == 1 ? x_of(parent) : y_of(parent));
    if (type_of(value) != TYPE_INTEGER) {
        Cell type = raise::datatype_arg(type_of(value));
        fire(ERR_script_invalid_type, &type);
    }
    (which == 1 ? parent->data2 : parent->data3) = uint32_t(cell::get_int(value));
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_PAIR, 0, "pair!");
    r.set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_MAKE>(make).set<ACT_TO>(make);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::pair
