// point2D! and point3D!: constructors, make and to, form, mold, compare,
// the point math, fields, the unary actions and the registrations. One body
// serves both types: the type id says how many coordinates there are.
//
// Cells: {header (type 51 or 52), x, y, z (point3D! only)}, IEEE singles.
//
// Relies on float! for the double core, rounding, the random draw, the
// tolerant single comparison and the coordinate text; on the hash tables'
// MurmurHash3 for a seed; on the loader for text; and on the evaluator's
// store-back (path.h) for a coordinate set through a path.
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
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/hash_table.h"
#include "series/path.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::point {

using namespace compare;
using namespace scalar_math;

int field_index(const Cell* word, int type) {
    const words::Sym fields[] = {words::Sym::x, words::Sym::y, words::Sym::z};
    uint32_t sym = symbol::resolve(word->data2);
    for (int i = 0; i < dimensions(type); i++)
        if (sym == symbol::resolve(words::symbol(fields[i]))) return i + 1;
    return 0;
}

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* point = &args[0];
    Cell* right = &args[1];
    int type = type_of(point), n = dimensions(type);
    double operand[3];
    switch (type_of(right)) {
        case TYPE_INTEGER: operand[0] = operand[1] = operand[2] = integer::get(right); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            double f = float_::get(right);
            if (op == OP_MULTIPLY || op == OP_DIVIDE) {
                float g = float(f);
                for (int i = 0; i < n; i++) put(point, i, op == OP_MULTIPLY ? get(point, i) * g : get(point, i) / g);
                return point;
            }
            operand[0] = operand[1] = operand[2] = f;
            break;
        }
        case TYPE_PAIR:
            if (type != TYPE_POINT2D) raise_about_type(ERR_script_invalid_type, TYPE_PAIR);
            operand[0] = pair::x_of(right);
            operand[1] = pair::y_of(right);
            break;
        default:
            if (type_of(right) != type) raise_about_type(ERR_script_invalid_type, type_of(right));
            for (int i = 0; i < n; i++) operand[i] = get(right, i);
            break;
    }
    for (int i = 0; i < n; i++) put(point, i, float(float_::do_math_op(double(get(point, i)), operand[i], op)));
    return point;
}

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

// The coordinate (1-based) a path selector names: 1..2 (1..3) by position,
// or a field word; 0 for anything else.
int coordinate_of(const Cell* selector, int type) {
    switch (type_of(selector)) {
        case TYPE_INTEGER: {
            int32_t i = cell::get_int(selector);
            return i >= 1 && i <= dimensions(type) ? i : 0;
        }
        case TYPE_WORD: return field_index(selector, type);
        default: return 0;
    }
}

// p/x, p/3: the coordinate as a float!; p/x: 1.5 stores an integer or a
// float as a single, and the changed point goes back where the path found it.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    int which = coordinate_of(element, type_of(parent));
    if (!which) fire(ERR_script_invalid_path, path, element);
    static Cell coordinate;
    if (!value) return float_::make_at(&coordinate, double(get(parent, which - 1)));
    if (!number_q(value)) raise_about_type(ERR_script_invalid_type, type_of(value));
    put(parent, which - 1, number_of(value));
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

// pick p 2, pick p 'z: the coordinate as a float!.
Cell* pick(Cell* point, int index, Cell* boxed) {
    int type = type_of(point);
    int which = index;
    if (word::any_word_type_q(type_of(boxed))) {
        which = field_index(boxed, type);
        if (!which) fire(ERR_script_cannot_use, boxed, point);
    }
    if (which < 1 || which > dimensions(type)) fire(ERR_script_out_of_range, boxed);
    return float_::make_at(point, double(get(point, which - 1)));
}

// Every coordinate through f.
template <typename F>
Cell* each_coordinate(Cell* point, F f) {
    for (int i = 0; i < dimensions(type_of(point)); i++) put(point, i, f(get(point, i)));
    return point;
}

// /seed: the generator seeded with the MurmurHash3 of the coordinates'
// bytes. Otherwise each coordinate c becomes a float draw in [0, c]; 0
// stays 0.
Cell* random_(Cell* point, bool seed, bool secure, bool) {
    int n = dimensions(type_of(point));
    if (seed) {
        // A fixed hash seed, so that a point seeds the same sequence in every run.
        random::seed(hash_table::murmur3_32_seeded(&point->data1, 4 * n, 0));
        cell::set(point, TYPE_UNSET);
        return point;
    }
    auto draw = datatype::handler<ACT_RANDOM>(TYPE_FLOAT);
    return each_coordinate(point, [&](float c) {
        if (c == 0.0f) return c;
        Cell f;
        draw(float_::make_at(&f, double(c)), false, secure, false);
        return float(float_::get(&f));
    });
}

Cell* absolute() {
    return each_coordinate(stack::arguments(), [](float c) { return std::fabs(c); });
}

// 0 - c, so that the negation of 0 is 0.
Cell* negate(Cell* point) {
    return each_coordinate(point, [](float c) { return 0.0f - c; });
}

// The scale coordinate i of a point rounds with: a pair's or a point's own
// component (none past its last), or the one scale for all. An integer
// scale rounds as a float of the same value, so that a coordinate beyond
// the 32-bit range rounds instead of overflowing.
Cell* coordinate_scale(Cell* scale, int i, Cell* result) {
    if (!scale) return nullptr;
    switch (type_of(scale)) {
        case TYPE_INTEGER: return float_::make_at(result, double(integer::get(scale)));
        case TYPE_PAIR:
            if (i >= 2) return nullptr;
            return float_::make_at(result, double(i == 0 ? pair::x_of(scale) : pair::y_of(scale)));
        case TYPE_POINT2D:
        case TYPE_POINT3D:
            if (i >= dimensions(type_of(scale))) return nullptr;
            return float_::make_at(result, double(get(scale, i)));
        default: return scale;
    }
}

// Each coordinate rounded as a float! with the same refinements.
Cell* round(Cell* point, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    if (scale && type_of(scale) == TYPE_MONEY) raise_not_related(ACT_ROUND, TYPE_MONEY);
    for (int i = 0; i < dimensions(type_of(point)); i++) {
        Cell c, s;
        float_::make_at(&c, double(get(point, i)));
        Cell* r = float_::round(&c, coordinate_scale(scale, i, &s), even, down, half_down, floor, ceiling,
                                half_ceiling);
        put(point, i, float(float_::get(r)));
    }
    return point;
}

// point2D! swaps x and y, point3D! x and z.
Cell* reverse(Cell* point, Cell*, Cell*) {
    int last = dimensions(type_of(point)) - 1;
    float x = get(point, 0);
    put(point, 0, get(point, last));
    put(point, last, x);
    return point;
}

void register_point(int type, const char* name) {
    datatype::TypeRecord r(type, 0, name);
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_RANDOM>(random_);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_COMPARE>(type == TYPE_POINT2D ? point2d::compare : compare_same_type);
    r.set<ACT_ABSOLUTE>(absolute).set<ACT_NEGATE>(negate);
    set_math_actions<do_math>(r, false);
    r.set<ACT_ROUND>(round).set<ACT_PICK>(pick).set<ACT_REVERSE>(reverse);
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
