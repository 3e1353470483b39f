// tuple!: constructors, the byte-wise arithmetic, make and to, form, mold,
// compare, paths, the series-like actions and the registration.
//
// Cell: the header holds the type (39) and the length (3..12) in bits
// 19-22; payload bytes 4..15 hold the bytes, those past the length 0.
//
// Relies on the integer and double cores for each byte's arithmetic, on
// the symbol table for the hexadecimal names of issues, on the loader for
// text, on the random generator, and on the evaluator's store-back
// (path.h) for a byte set through a path.
#include "scalars/tuple.h"

#include <algorithm>
#include <cstring>

#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/random.h"
#include "scalars/scalar_math.h"
#include "scalars/text_to_number.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/path.h"
#include "series/series.h"
#include "series/string.h"
#include "words/symbol.h"

namespace zel::tuple {

Cell* make_at(Cell* cell, const uint8_t* bytes, int count) {
    cell::set(cell, TYPE_TUPLE);
    cell->header |= uint32_t(count) << LENGTH_SHIFT;
    std::memcpy(bytes_of(cell), bytes, size_t(count));
    return cell;
}

namespace {

void set_length(Cell* tuple, int length) {
    tuple->header = (tuple->header & ~LENGTH_MASK) | uint32_t(length) << LENGTH_SHIFT;
}

// A double as a byte, decided in the double domain so that nothing wraps:
// NaN and whatever is not above 0 give 0, 255 and above give 255, the rest
// is truncated.
uint8_t clamp_byte(double d) {
    if (!(d > 0.0)) return 0;
    if (d >= 255.0) return 255;
    return uint8_t(d);
}

uint8_t clamp_byte(int32_t n) { return uint8_t(std::clamp(n, 0, 255)); }

}  // namespace

Cell* push(int length, uint32_t word1, uint32_t word2, uint32_t word3) {
    Cell* cell = stack::push_new();
    cell::set(cell, TYPE_TUPLE, word1, word2, word3);
    set_length(cell, length);
    return cell;
}

Cell* push_from_ints(int count, const int32_t* values) {
    uint8_t bytes[MAX_LENGTH] = {};
    count = std::min(count, MAX_LENGTH);
    for (int i = 0; i < count; i++) bytes[i] = uint8_t(values[i]);
    return make_at(stack::push_new(), bytes, std::max(count, MIN_LENGTH));
}

Cell* from_binary(Cell* binary, Cell* result) {
    uint8_t bytes[MAX_LENGTH] = {};
    int n = std::min(string::length_q(binary), MAX_LENGTH);
    std::memcpy(bytes, string::head(binary), size_t(n));
    return make_at(result, bytes, std::max(n, MIN_LENGTH));
}

Cell* from_issue(Cell* issue, Cell* result) {
    int32_t length = 0;
    const uint8_t* name = symbol::utf8(issue->data2, length);
    uint8_t digits[8];
    if (length != 3 && length != 6 && length != 8) fire(ERR_script_invalid_data, issue);
    for (int i = 0; i < length; i++) {
        int d = name[i] < 32 ? -1 : text_to_number::hex_digit(name[i]);
        if (d < 0) fire(ERR_script_invalid_data, issue);
        digits[i] = uint8_t(d);
    }
    uint8_t bytes[4];
    int count = length == 3 ? 3 : length / 2;
    for (int i = 0; i < count; i++)
        bytes[i] =
            length == 3 ? uint8_t(digits[i] * 17) : uint8_t(digits[2 * i] << 4 | digits[2 * i + 1]);
    return make_at(result, bytes, count);
}

Cell* make_rgba(Cell* cell, uint8_t r, uint8_t g, uint8_t b, int alpha) {
    const uint8_t bytes[4] = {r, g, b, uint8_t(alpha)};
    return make_at(cell, bytes, alpha < 0 ? 3 : 4);
}

bool zero_q(const Cell* tuple) {
    const uint8_t* bytes = bytes_of(tuple);
    return std::all_of(bytes, bytes + length_of(tuple), [](uint8_t b) { return b == 0; });
}

void poke(Cell* tuple, int32_t index, const Cell* value) {
    int length = length_of(tuple);
    if (index < 1 || index > length) {
        Cell at = *value;
        fire(ERR_script_out_of_range, &at);
    }
    uint8_t* bytes = bytes_of(tuple);
    if (type_of(value) == TYPE_NONE) {
        std::memset(bytes + index - 1, 0, size_t(length - index + 1));
        set_length(tuple, std::max(MIN_LENGTH, int(index) - 1));
        return;
    }
    bytes[index - 1] = clamp_byte(cell::get_int(value));
}

int compare(Cell* value1, Cell* value2, int) {
    if (type_of(value2) != TYPE_TUPLE) return -2;
    int la = length_of(value1), lb = length_of(value2);
    for (int i = 0; i < std::max(la, lb); i++) {
        int a = i < la ? bytes_of(value1)[i] : 0;
        int b = i < lb ? bytes_of(value2)[i] : 0;
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

namespace {

// One byte through the integer core: the quotient truncated, a result
// that overflowed 32 bits saturating by its sign, then clamped.
uint8_t byte_op(uint8_t left, int32_t right, int op) {
    Cell exact;
    cell::set(&exact, TYPE_INTEGER);
    int32_t r = integer::do_math_op(left, right, op, op == scalar_math::OP_DIVIDE ? nullptr : &exact);
    if (type_of(&exact) != TYPE_INTEGER) return float_::get(&exact) > 0.0 ? 255 : 0;
    return clamp_byte(r);
}

}  // namespace

Cell* do_math(int op) {
    Cell* args = stack::arguments();
    if (type_of(&args[0]) != TYPE_TUPLE) {
        if (op == scalar_math::OP_SUBTRACT || op == scalar_math::OP_DIVIDE)
            scalar_math::raise_not_related(scalar_math::action_of(op), type_of(&args[0]));
        std::swap(args[0], args[1]);
    }
    Cell* tuple = &args[0];
    const Cell* other = &args[1];
    uint8_t* bytes = bytes_of(tuple);
    int length = length_of(tuple);
    switch (type_of(other)) {
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            double f = cell::get_float(other);
            for (int i = 0; i < length; i++) bytes[i] = clamp_byte(float_::do_math_op(bytes[i], f, op));
            return tuple;
        }
        case TYPE_INTEGER: {
            int32_t n = cell::get_int(other);
            for (int i = 0; i < length; i++) bytes[i] = byte_op(bytes[i], n, op);
            return tuple;
        }
        case TYPE_TUPLE: {
            int other_length = length_of(other);
            // A longer right tuple grows the left one; its missing bytes count as 0.
            if (other_length > length) set_length(tuple, length = other_length);
            for (int i = 0; i < length; i++)
                bytes[i] = byte_op(bytes[i], i < other_length ? bytes_of(other)[i] : 0, op);
            return tuple;
        }
        default: scalar_math::raise_about_type(ERR_script_invalid_type, type_of(other));
    }
}

namespace {

// ---- Construction --------------------------------------------------------------------------

// At most 12 integers or characters within 0..255, or floats, which are
// clamped to a byte.
Cell* from_block(Cell* result, Cell* block) {
    int n = block::length_q(block);
    if (n > MAX_LENGTH) raise::bad_to_arg(TYPE_TUPLE, block);
    uint8_t bytes[MAX_LENGTH] = {};
    for (int i = 0; i < n; i++) {
        Cell item = block::head(block)[i];
        switch (type_of(&item)) {
            case TYPE_INTEGER:
            case TYPE_CHAR: {
                int32_t v = integer::get(&item);
                if (v < 0 || v > 255) raise::bad_to_arg(TYPE_TUPLE, block);
                bytes[i] = uint8_t(v);
                break;
            }
            case TYPE_FLOAT: bytes[i] = clamp_byte(cell::get_float(&item)); break;
            default: raise::bad_to_arg(TYPE_TUPLE, block);
        }
    }
    return make_at(result, bytes, std::max(n, MIN_LENGTH));
}

// ---- Action handlers ----------------------------------------------------------------------

// to, and make with the same rules.
Cell* to(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_TUPLE: return copy_cell(spec, proto);
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: return from_block(proto, spec);
        case TYPE_ISSUE: return from_issue(spec, proto);
        case TYPE_BINARY: return from_binary(spec, proto);
        default:
            if (!series::any_string(type_of(spec))) raise::bad_to_arg(TYPE_TUPLE, spec);
            return scalar_math::load_typed(spec, TYPE_TUPLE, proto);
    }
}

// form and mold: "255.0.127".
int form(Cell* value, Cell* buffer, int part) {
    const uint8_t* bytes = bytes_of(value);
    for (int i = 0; i < length_of(value); i++) {
        if (i > 0) part = cell_text::mold_literal(buffer, ".", false, part);
        part = cell_text::mold_literal(buffer, integer::to_decimal(bytes[i]).c_str(), false, part);
    }
    return part;
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return form(value, buffer, part);
}

// t/2: the byte as an integer!; t/2: 7 (or none) stores it, and the changed
// tuple goes back where the path found it.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    if (type_of(element) != TYPE_INTEGER) scalar_math::raise_about_type(ERR_script_invalid_type, type_of(element));
    int32_t at = cell::get_int(element);
    if (!value) {
        if (at < 1 || at > length_of(parent)) fire(ERR_script_out_of_range, element);
        static Cell byte;
        return integer::make_at(&byte, bytes_of(parent)[at - 1]);
    }
    if (type_of(value) != TYPE_INTEGER && type_of(value) != TYPE_NONE)
        scalar_math::raise_about_type(ERR_script_invalid_type, type_of(value));
    poke(parent, at, value);
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

Cell* complement(Cell* value) {
    uint8_t* bytes = bytes_of(value);
    for (int i = 0; i < length_of(value); i++) bytes[i] = uint8_t(~bytes[i]);
    return value;
}

int length_q(Cell* value) { return length_of(value); }

Cell* pick(Cell* value, int index, Cell* boxed) {
    if (index < 1 || index > length_of(value)) fire(ERR_script_out_of_range, boxed);
    cell::set(value, TYPE_INTEGER, 0, bytes_of(value)[index - 1]);
    return value;
}

// The first /part bytes (all without it) reversed, one by one or, with
// /skip, as records of that many bytes each keeping its order.
Cell* reverse(Cell* value, Cell* part, Cell* skip) {
    int range = length_of(value);
    if (part) {
        if (type_of(part) != TYPE_INTEGER) series::bad_refinement("part", part);
        if (cell::get_int(part) < 0) fire(ERR_script_out_of_range, part);
        range = std::min(range, int(cell::get_int(part)));
    }
    int size = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER) series::bad_refinement("skip", skip);
        if (cell::get_int(skip) < 1) fire(ERR_script_out_of_range, skip);
        if (cell::get_int(skip) == range) return value;
        if (cell::get_int(skip) > range || range % cell::get_int(skip) != 0)
            series::bad_refinement("skip", skip);
        size = int(cell::get_int(skip));
    }
    uint8_t* bytes = bytes_of(value);
    uint8_t reversed[MAX_LENGTH];
    int records = range / size;
    for (int r = 0; r < records; r++)
        std::memcpy(reversed + (records - 1 - r) * size, bytes + r * size, size_t(size));
    std::memcpy(bytes, reversed, size_t(range));
    return value;
}

// /seed takes the three payload words folded into one; a draw replaces
// each byte b by a number in 0..b.
Cell* random_(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(value->data1 ^ value->data2 ^ value->data3);
        cell::set(value, TYPE_UNSET);
        return value;
    }
    uint8_t* bytes = bytes_of(value);
    for (int i = 0; i < length_of(value); i++)
        bytes[i] = uint8_t(random::int_(secure, bytes[i] + 1) - 1);
    return value;
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_TUPLE, 0, "tuple!");
    r.set<ACT_MAKE>(to).set<ACT_RANDOM>(random_).set<ACT_TO>(to);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_COMPARE>(compare);
    scalar_math::set_math_actions<do_math>(r, true);
    r.set<ACT_COMPLEMENT>(complement).set<ACT_LENGTH_Q>(length_q).set<ACT_PICK>(pick);
    r.set<ACT_REVERSE>(reverse);
    datatype::register_type(r);
}

}  // namespace zel::tuple
