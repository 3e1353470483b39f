// pair!: constructors, make and to, form, mold, compare, paths and pick, the
// pair math with its continuation as point2D! math, the unary actions and
// the registration.
//
// Cell: {header (type 37), unused, x (signed 32-bit), y (signed 32-bit)}.
//
// Relies on integer! for the checked conversion of floats and for the
// integer core and rounding each component goes through, on point2D! for
// what leaves the integers, on the random generator, on the loader for
// text, and on the evaluator's store-back (path.h) for a component set
// through a path.
#include "scalars/pair.h"

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/point.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/path.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::pair {

using namespace scalar_math;

Cell* make_at(Cell* cell, int32_t x, int32_t y) {
    cell::set(cell, TYPE_PAIR, 0, uint32_t(x), uint32_t(y));
    return cell;
}

Cell* push(int32_t x, int32_t y) { return make_at(stack::push_new(), x, y); }
Cell* make_in(Cell* block, int32_t x, int32_t y) { return make_at(cell::alloc_tail(block), x, y); }

Cell* to_point(Cell* cell) { return point2d::make_at(cell, float(x_of(cell)), float(y_of(cell))); }

namespace {

// The component a word names: 1 for x, 2 for y, 0 for any other word.
int component_of_word(const Cell* word) {
    uint32_t sym = symbol::resolve(word->data2);
    if (sym == symbol::resolve(words::symbol(words::Sym::x))) return 1;
    if (sym == symbol::resolve(words::symbol(words::Sym::y))) return 2;
    return 0;
}

}  // namespace

int component_index(const Cell* word, const Cell* pair) {
    int which = component_of_word(word);
    if (!which) fire(ERR_script_cannot_use, word, pair);
    return which;
}

namespace {

// ---- Construction --------------------------------------------------------------------------

// An integer as it is; a float truncated toward zero, when a 32-bit integer
// holds it (NaN and the infinities never do), else script invalid-arg.
int32_t component_from(const Cell* number) {
    if (type_of(number) == TYPE_INTEGER) return integer::get(number);
    return integer::from_float(float_::get(number), ERR_script_invalid_arg, number);
}

bool number_q(const Cell* c) { return type_of(c) == TYPE_INTEGER || type_of(c) == TYPE_FLOAT; }

// [x y ...]: the first two values integers or floats.
Cell* from_block(Cell* result, Cell* block) {
    if (block::length_q(block) < 2) fire(ERR_syntax_malconstruct, block);
    Cell* head = block::head(block);
    Cell x = head[0], y = head[1];
    if (!number_q(&x) || !number_q(&y)) fire(ERR_syntax_malconstruct, block);
    int32_t x_value = component_from(&x);
    return make_at(result, x_value, component_from(&y));
}

// A coordinate that no 32-bit integer holds (NaN and infinities too) is
// refused with the point.
int32_t from_coordinate(float f, const Cell* point) {
    return integer::from_float(double(f), ERR_script_invalid_arg, point);
}

// ---- Arithmetic ---------------------------------------------------------------------------

// The left pair as a point2D!, the right operand the point of the numbers
// the components met, and the point math with the op.
Cell* continue_as_points(int op, int32_t right_x, int32_t right_y) {
    Cell* args = stack::arguments();
    to_point(&args[0]);
    point2d::make_at(&args[1], float(right_x), float(right_y));
    return point::do_math(op);
}

// One component through the integer core; false when it leaves the
// integers (an overflow, an inexact quotient, -2147483648 / -1).
bool component_math(int32_t left, int32_t right, int op, int32_t& result) {
    if (op == OP_DIVIDE && left == INT32_MIN && right == -1) return false;
    Cell scratch = {TYPE_INTEGER, 0, 0, 0};
    result = integer::do_math_op(left, right, op, &scratch);
    return type_of(&scratch) == TYPE_INTEGER;
}

}  // namespace

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    Cell* right = &args[1];
    int32_t right_x, right_y;
    switch (type_of(right)) {
        case TYPE_INTEGER: right_x = right_y = integer::get(right); break;
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            double f = float_::get(right);
            if (op == OP_MULTIPLY || op == OP_DIVIDE) {
                // Dividing by an infinity is still a number; multiplying by one is not.
                if (op == OP_MULTIPLY ? float_::not_finite_q(f) : float_::nan_q(f))
                    fire(ERR_script_invalid_arg, right);
                to_point(&args[0]);
                return point::do_math(op);
            }
            right_x = right_y = component_from(right);
            break;
        }
        case TYPE_PAIR:
            right_x = x_of(right);
            right_y = y_of(right);
            break;
        case TYPE_POINT2D: to_point(&args[0]); return point::do_math(op);
        default: raise_about_type(ERR_script_invalid_type, type_of(right));
    }
    int32_t x, y;
    // Both components go through the core first, so that a zero divisor
    // raises whichever component meets it.
    bool x_exact = component_math(x_of(&args[0]), right_x, op, x);
    bool y_exact = component_math(y_of(&args[0]), right_y, op, y);
    if (!x_exact || !y_exact) return continue_as_points(op, right_x, right_y);
    return make_at(&args[0], x, y);
}

namespace {

// ---- Action handlers ----------------------------------------------------------------------

// make and to.
Cell* make(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_PAIR: return copy_cell(spec, proto);
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            int32_t n = component_from(spec);
            return make_at(proto, n, n);
        }
        case TYPE_BLOCK: return from_block(proto, spec);
        case TYPE_STRING: return load_typed(spec, TYPE_PAIR, proto);
        case TYPE_POINT2D: {
            Cell point = *spec;
            int32_t x = from_coordinate(point::get(&point, 0), &point);
            return make_at(proto, x, from_coordinate(point::get(&point, 1), &point));
        }
        default: raise::bad_to_arg(TYPE_PAIR, spec);
    }
}

// /seed: the generator seeded with x xor y. Otherwise each component n
// becomes a draw in 1..n (n..-1 for a negative n); 0 stays 0.
Cell* random_(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(uint32_t(x_of(value) ^ y_of(value)));
        cell::set(value, TYPE_UNSET);
        return value;
    }
    int32_t x = random::int_(secure, x_of(value));
    return make_at(value, x, random::int_(secure, y_of(value)));
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
        case TYPE_WORD: return component_of_word(selector);
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
    if (type_of(value) != TYPE_INTEGER) raise_about_type(ERR_script_invalid_type, type_of(value));
    (which == 1 ? parent->data2 : parent->data3) = uint32_t(cell::get_int(value));
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

// pick p 1, pick p 'y: the component as an integer!.
Cell* pick(Cell* pair, int index, Cell* boxed) {
    int which = word::any_word_type_q(type_of(boxed)) ? component_index(boxed, pair) : index;
    if (which != 1 && which != 2) fire(ERR_script_out_of_range, boxed);
    return integer::make_at(pair, which == 1 ? x_of(pair) : y_of(pair));
}

Cell* absolute() {
    Cell* value = stack::arguments();
    int32_t x = integer::abs(x_of(value));
    return make_at(value, x, integer::abs(y_of(value)));
}

// -2147483648 has no opposite and stays as it is.
int32_t wrapped_negation(int32_t n) { return int32_t(0u - uint32_t(n)); }

Cell* negate(Cell* value) { return make_at(value, wrapped_negation(x_of(value)), wrapped_negation(y_of(value))); }

// round/to p 10 rounds both components to tens; round/to p 5x10 x to fives
// and y to tens. Each goes through integer! rounding, and a float scale's
// float result is truncated back, when it fits.
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling) {
    if (scale && type_of(scale) == TYPE_MONEY) raise_not_related(ACT_ROUND, TYPE_MONEY);
    auto integer_round = datatype::handler<ACT_ROUND>(TYPE_INTEGER);
    bool per_component = scale && type_of(scale) == TYPE_PAIR;
    int32_t components[] = {x_of(value), y_of(value)};
    for (int i = 0; i < 2; i++) {
        Cell n = {TYPE_INTEGER, 0, uint32_t(components[i]), 0};
        Cell component_scale = {TYPE_INTEGER, 0, 0, 0};
        Cell* s = scale;
        if (per_component) {
            component_scale.data2 = uint32_t(i == 0 ? x_of(scale) : y_of(scale));
            s = &component_scale;
        }
        Cell* r = integer_round(&n, s, even, down, half_down, floor, ceiling, half_ceiling);
        components[i] =
            type_of(r) == TYPE_INTEGER ? integer::get(r) : integer::from_float(float_::get(r), ERR_math_overflow);
    }
    return make_at(value, components[0], components[1]);
}

Cell* reverse(Cell* pair, Cell*, Cell*) { return make_at(pair, y_of(pair), x_of(pair)); }

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_PAIR, 0, "pair!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_RANDOM>(random_);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare);
    r.set<ACT_ABSOLUTE>(absolute).set<ACT_NEGATE>(negate);
    set_math_actions<do_math>(r, true);
    r.set<ACT_ROUND>(round).set<ACT_PICK>(pick).set<ACT_REVERSE>(reverse);
    datatype::register_type(r);
}

}  // namespace zel::pair
