// point2D! and point3D!: constructors, make and to, form, mold, compare and
// the registrations. One body serves both types: the type id says how many
// coordinates there are.
//
// Cells: {header (type 51 or 52), x, y, z (point3D! only)}, IEEE singles.
//
// Relies on float! for the tolerant single comparison and the coordinate
// text, and on the loader for text.
#include "scalars/point.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/float.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/pair.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"

namespace zel::point {

using namespace compare;

namespace {

Cell* make_at(Cell* cell, int type, const float* coords) {
    cell::set(cell, type);
    for (int i = 0; i < dimensions(type); i++) put(cell, i, coords[i]);
    return cell;
}

// ---- Construction --------------------------------------------------------------------------

float number_of(const Cell* c) {
    return type_of(c) == TYPE_INTEGER ? float(integer::get(c)) : float(cell::get_float(c));
}

bool number_q(const Cell* c) { return type_of(c) == TYPE_INTEGER || type_of(c) == TYPE_FLOAT; }

// [x y] or [x y z]: integers or floats; values past them are ignored.
Cell* from_block(Cell* result, Cell* block, int type) {
    int n = dimensions(type);
    if (block::length_q(block) < n) fire(ERR_syntax_malconstruct, block);
    float coords[3] = {};
    Cell* head = block::head(block);
    for (int i = 0; i < n; i++) {
        if (!number_q(&head[i])) fire(ERR_syntax_malconstruct, block);
        coords[i] = number_of(&head[i]);
    }
    return make_at(result, type, coords);
}

// ---- Action handlers ----------------------------------------------------------------------

// make and to, the target point2D! or point3D!.
Cell* make(Cell* proto, Cell* spec, int type) {
    int spec_type = type_of(spec);
    if (spec_type == type) return copy_cell(spec, proto);
    switch (spec_type) {
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            float f = number_of(spec);
            const float coords[] = {f, f, f};
            return make_at(proto, type, coords);
        }
        case TYPE_BLOCK: return from_block(proto, spec, type);
        case TYPE_PAIR: {
            const float coords[] = {float(pair::x_of(spec)), float(pair::y_of(spec)), 0.0f};
            return make_at(proto, type, coords);
        }
        case TYPE_POINT2D: {
            // Only point3D! gets here: x and y, with z 0.
            const float coords[] = {get(spec, 0), get(spec, 1), 0.0f};
            return make_at(proto, type, coords);
        }
        case TYPE_STRING: return scalar_math::load_typed(spec, type, proto);
        default: raise::bad_to_arg(type, spec);
    }
}

// A coordinate for mold: the shortest digits that load back as the same
// single ("1.1", "1.1111111e31", "1e-5"); infinities and NaN as form
// writes them.
dtoa::FloatText exact_coordinate(float f) {
    if (!std::isfinite(f)) return float_::to_text(double(f), float_::TEXT_POINT);
    char digits[32];
    const char* end = std::to_chars(digits, digits + sizeof digits, f).ptr;
    const char* e = std::find(static_cast<const char*>(digits), end, 'e');
    std::string text(static_cast<const char*>(digits), e);
    if (e != end) {  // the exponent without "+" and leading zeros, as float text writes it
        const char* p = e + 1;
        text += *p == '-' ? "e-" : "e";
        if (*p == '+' || *p == '-') p++;
        while (p + 1 < end && *p == '0') p++;
        text.append(p, end);
    }
    dtoa::FloatText t{};
    t.length = int(text.copy(t.chars, sizeof t.chars - 1));
    return t;
}

// "(1.5, 2)", "(0, 0, 1)": form writes each coordinate to 7 digits, mold
// (exact) every digit it needs to load back the same.
int write(Cell* value, Cell* buffer, int part, bool exact) {
    part = cell_text::mold_literal(buffer, "(", false, part);
    for (int i = 0; i < dimensions(type_of(value)); i++) {
        if (i > 0) part = cell_text::mold_literal(buffer, ", ", false, part);
        float f = get(value, i);
        dtoa::FloatText t = exact ? exact_coordinate(f) : float_::to_text(double(f), float_::TEXT_POINT);
        part = cell_text::mold_literal(buffer, t.c_str(), false, part);
    }
    return cell_text::mold_literal(buffer, ")", false, part);
}

int form(Cell* value, Cell* buffer, int part) { return write(value, buffer, part, false); }

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) { return write(value, buffer, part, true); }

// Every coordinate pair passes the test.
template <typename Test>
bool all_coordinates(const Cell* a, const Cell* b, Test test) {
    for (int i = 0; i < dimensions(type_of(a)); i++)
        if (!test(get(a, i), get(b, i))) return false;
    return true;
}

int compare_points(const Cell* a, const Cell* b, int op) {
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL:
        case COMP_FIND: return all_coordinates(a, b, float_::almost_equal32_q) ? 0 : 1;
        case COMP_STRICT_EQUAL:
            return all_coordinates(a, b, [](float x, float y) { return x == y; }) ? 0 : 1;
        case COMP_SAME:
            return all_coordinates(a, b,
                                   [](float x, float y) {
                                       return std::bit_cast<uint32_t>(x) ==
                                              std::bit_cast<uint32_t>(y);
                                   })
                       ? 0
                       : 1;
        default: break;
    }
    // Ordering: the first coordinate whose difference is not (almost) zero.
    float d = 0.0f;
    for (int i = 0; i < dimensions(type_of(a)); i++) {
        d = get(a, i) - get(b, i);
        if (!float_::almost_equal32_q(d, 0.0f)) break;
    }
    return (d > 0.0f) - (d < 0.0f);
}

// The point3D! compare; point2D! first turns a pair into a point.
int compare_same_type(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != type_of(value1)) return -2;
    return compare_points(value1, value2, op);
}

void register_point(int type, const char* name) {
    datatype::TypeRecord r(type, 0, name);
    r.set<ACT_MAKE>(make).set<ACT_TO>(make);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(type == TYPE_POINT2D ? point2d::compare : compare_same_type);
    datatype::register_type(r);
}

}  // namespace

}  // namespace zel::point

namespace zel::point2d {

Cell* make_at(Cell* cell, float x, float y) {
    cell::set(cell, TYPE_POINT2D);
    point::put(cell, 0, x);
    point::put(cell, 1, y);
    return cell;
}

Cell* push(float x, float y) { return make_at(stack::push_new(), x, y); }
Cell* make_in(Cell* block, float x, float y) { return make_at(cell::alloc_tail(block), x, y); }

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_PAIR) return point::compare_same_type(value1, value2, op);
    Cell other = *value2;
    return point::compare_same_type(value1, pair::to_point(&other), op);
}

void init() { point::register_point(TYPE_POINT2D, "point2D!"); }

}  // namespace zel::point2d

namespace zel::point3d {

Cell* make_at(Cell* cell, float x, float y, float z) {
    cell::set(cell, TYPE_POINT3D);
    point::put(cell, 0, x);
    point::put(cell, 1, y);
    point::put(cell, 2, z);
    return cell;
}

Cell* push(float x, float y, float z) { return make_at(stack::push_new(), x, y, z); }
Cell* make_in(Cell* block, float x, float y, float z) {
    return make_at(cell::alloc_tail(block), x, y, z);
}

void init() { point::register_point(TYPE_POINT3D, "point3D!"); }

}  // namespace zel::point3d
