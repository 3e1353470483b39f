// vector!: element-wise arithmetic and bitwise operations, with a scalar
// (in place) or with another vector of the same element type (into a new
// buffer). Floats go through the float core; integers through the integer
// core, except that a sum, difference or product wraps at 32 bits instead
// of becoming a float, and a quotient stays an integer; the result then
// keeps the element's width. A char! result must stay a code point, as
// char! arithmetic requires. Every result is computed before the first one
// is stored, so an error leaves the vector as it was.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "series/vector.h"

namespace zel::vector {

namespace {

using scalar_math::OP_ADD;
using scalar_math::OP_DIVIDE;
using scalar_math::OP_MULTIPLY;
using scalar_math::OP_SUBTRACT;

bool float_type(int type) { return type == TYPE_FLOAT || type == TYPE_PERCENT; }

// The integer core without its float results.
int32_t int_op(int32_t left, int32_t right, int op) {
    uint32_t l = uint32_t(left), r = uint32_t(right);
    switch (op) {
        case OP_ADD: return int32_t(l + r);
        case OP_SUBTRACT: return int32_t(l - r);
        case OP_MULTIPLY: return int32_t(l * r);
        default: return integer::do_math_op(left, right, op, nullptr);
    }
}

// A code point combined with a number: outside 0 .. 0x10FFFF, or past 32
// bits on the way, is a math overflow.
int32_t char_op(int32_t left, int32_t right, int op) {
    int64_t exact;
    switch (op) {
        case OP_ADD: exact = int64_t(left) + right; break;
        case OP_SUBTRACT: exact = int64_t(left) - right; break;
        case OP_MULTIPLY: exact = int64_t(left) * right; break;
        default: exact = integer::do_math_op(left, right, op, nullptr); break;
    }
    if (exact < 0 || exact > int64_t(char_::MAX_CODE_POINT)) fire(ERR_math_overflow);
    return int32_t(exact);
}

int32_t element_op(int32_t left, int32_t right, int op, int type) {
    return type == TYPE_CHAR ? char_op(left, right, op) : int_op(left, right, op);
}

// Stores a result at the element size: a double or a single, or the low
// bytes of the 32-bit integer.
void store_float(uint8_t* p, int unit, double d) {
    if (unit == 8) {
        std::memcpy(p, &d, 8);
    } else {
        float f = float(d);
        std::memcpy(p, &f, 4);
    }
}

void store_int(uint8_t* p, int unit, int32_t n) { std::memcpy(p, &n, size_t(std::min(unit, 4))); }

// The elements from the head of a vector as the math sees them.
struct Operand {
    Node node;
    int unit;
    int type;
    int64_t head;
    int64_t length;

    explicit Operand(const Cell* vector) : node(vector->data2), type(int(vector->data3)) {
        Series* s = memory::series_of(node);
        unit = s->unit();
        int64_t total = int64_t(s->used()) / unit;
        head = std::clamp<int64_t>(int32_t(vector->data1), 0, total);
        length = total - head;
    }
    const uint8_t* at(int64_t i) const { return memory::series_of(node)->head() + (head + i) * unit; }
    double number(int64_t i) const { return element_number(at(i), unit, type); }
    int32_t integer(int64_t i) const { return int32_t(element_number(at(i), unit, type)); }
};

// Adding or subtracting nothing, or multiplying or dividing by one.
bool identity(int op, double right) {
    return ((op == OP_ADD || op == OP_SUBTRACT) && right == 0.0) ||
           ((op == OP_MULTIPLY || op == OP_DIVIDE) && right == 1.0);
}

// Combines two vectors of the same element type into a new buffer of the
// shorter length and the larger element size, in the first argument cell.
Cell* combine(int op, Cell* left, Cell* right) {
    if (left->data3 != right->data3) fire(ERR_script_not_same_type);
    Operand a(left), b(right);
    int type = a.type;
    int64_t n = std::min(a.length, b.length);
    int unit = std::max(a.unit, b.unit);
    std::vector<double> floats;
    std::vector<int32_t> ints;
    for (int64_t i = 0; i < n; i++) {
        if (float_type(type)) floats.push_back(float_::do_math_op(a.number(i), b.number(i), op));
        else ints.push_back(element_op(a.integer(i), b.integer(i), op, type));
    }
    Node node = memory::alloc_series(n, unit, 0);
    Series* s = memory::series_of(node);
    for (int64_t i = 0; i < n; i++) {
        uint8_t* p = s->head() + i * unit;
        if (float_type(type)) store_float(p, unit, floats[size_t(i)]);
        else store_int(p, unit, ints[size_t(i)]);
    }
    s->tail = s->offset + uint32_t(n * unit);
    cell::set(left, TYPE_VECTOR, 0, node, uint32_t(type));
    return left;
}

double float_scalar(const Cell* scalar) {
    switch (type_of(scalar)) {
        case TYPE_INTEGER: return cell::get_int(scalar);
        case TYPE_FLOAT:
        case TYPE_PERCENT: return cell::get_float(scalar);
        default: fire(ERR_internal_not_done);
    }
}

int32_t integer_scalar(const Cell* scalar) {
    switch (type_of(scalar)) {
        case TYPE_INTEGER: return cell::get_int(scalar);
        case TYPE_FLOAT:
        case TYPE_PERCENT: return integer::from_float(cell::get_float(scalar), ERR_script_out_of_range, scalar);
        default: fire(ERR_internal_not_done);
    }
}

void scalar_in_place(int op, const Cell* vector, const Cell* scalar, bool scalar_left) {
    Operand v(vector);
    if (float_type(v.type)) {
        double y = float_scalar(scalar);
        if (!scalar_left && identity(op, y)) return;
        std::vector<double> results(size_t(v.length));
        for (int64_t i = 0; i < v.length; i++) {
            double x = v.number(i);
            results[size_t(i)] = scalar_left ? float_::do_math_op(y, x, op) : float_::do_math_op(x, y, op);
        }
        for (int64_t i = 0; i < v.length; i++) store_float(const_cast<uint8_t*>(v.at(i)), v.unit, results[size_t(i)]);
        return;
    }
    int32_t y = integer_scalar(scalar);
    if (!scalar_left && identity(op, y)) return;
    std::vector<int32_t> results(size_t(v.length));
    for (int64_t i = 0; i < v.length; i++) {
        int32_t x = v.integer(i);
        results[size_t(i)] = scalar_left ? element_op(y, x, op, v.type) : element_op(x, y, op, v.type);
    }
    for (int64_t i = 0; i < v.length; i++) store_int(const_cast<uint8_t*>(v.at(i)), v.unit, results[size_t(i)]);
}

}  // namespace

Cell* do_math_scalar(int op, Cell* vector, Cell* scalar, bool scalar_left) {
    scalar_in_place(op, vector, scalar, scalar_left);
    return copy_cell(vector, stack::arguments());
}

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    if (type_of(&args[1]) == TYPE_VECTOR) return combine(op, &args[0], &args[1]);
    return do_math_scalar(op, &args[0], &args[1], false);
}

}  // namespace zel::vector
