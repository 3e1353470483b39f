// vector!: element access, making from a spec, text, comparison and the
// type's row. Arithmetic is vector_math.cpp, append, insert and change
// vector_modify.cpp.
//
// Cell: {header (type 35), head index in elements, node of a byte series
// whose unit is the element size, element type id}.
#include "series/vector.h"

#include <algorithm>
#include <cstring>

#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/scalar_math.h"
#include "series/block.h"
#include "series/series.h"
#include "series/string.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::vector {

namespace {

// A vector's buffer as the element code sees it; taken again after anything
// that may allocate.
struct Elements {
    Series* s;
    int unit;
    int type;
    int64_t total;  // elements in use
    int64_t head;   // clamped to 0 .. total

    uint8_t* at(int64_t i) const { return s->head() + i * unit; }
    int64_t length() const { return total - head; }
};

Elements elements_of(const Cell* vector) {
    Series* s = memory::series_of(vector->data2);
    int unit = s->unit();
    int64_t total = int64_t(s->used()) / unit;
    return Elements{s, unit, int(vector->data3), total, std::clamp<int64_t>(int32_t(vector->data1), 0, total)};
}

// Element types whose elements are IEEE floats.
bool float_type(int type) { return type == TYPE_FLOAT || type == TYPE_PERCENT; }

// The width a spec may leave out, and that molds in the short shape.
int default_unit(int type) { return float_type(type) ? 8 : 4; }

[[noreturn]] void impossible_element() {
    platform::runtime_error(101, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

int32_t read_int(const uint8_t* p, int unit, bool code_point) {
    switch (unit) {
        case 1: return code_point ? int32_t(*p) : int32_t(int8_t(*p));
        case 2: {
            uint16_t u;
            std::memcpy(&u, p, 2);
            return code_point ? int32_t(u) : int32_t(int16_t(u));
        }
        case 4: {
            int32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
        default: impossible_element();
    }
}

double read_float(const uint8_t* p, int unit) {
    if (unit == 8) {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    if (unit != 4) impossible_element();
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

}  // namespace

bool element_type_q(int type) {
    return type == TYPE_CHAR || type == TYPE_INTEGER || type == TYPE_FLOAT || type == TYPE_PERCENT;
}

// ---- Elements --------------------------------------------------------------------------------

Cell get_value(const uint8_t* p, int unit, int type) {
    Cell c;
    switch (type) {
        case TYPE_CHAR:
        case TYPE_INTEGER:
            cell::set(&c, type, 0, uint32_t(read_int(p, unit, type == TYPE_CHAR)));
            break;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
            cell::set(&c, type);
            cell::put_float(&c, read_float(p, unit));
            break;
        default: impossible_element();
    }
    return c;
}

double element_number(const uint8_t* p, int unit, int type) {
    if (float_type(type)) return read_float(p, unit);
    return read_int(p, unit, type == TYPE_CHAR);
}

void set_value(uint8_t* p, const Cell* value, int unit) {
    switch (type_of(value)) {
        case TYPE_CHAR:
        case TYPE_INTEGER:
            std::memcpy(p, &value->data2, size_t(std::min(unit, 4)));
            break;
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            double d = cell::get_float(value);
            if (unit == 8) {
                std::memcpy(p, &d, 8);
            } else {
                float f = float(d);
                std::memcpy(p, &f, 4);
            }
            break;
        }
        default: {
            Cell type = raise::datatype_arg(type_of(value));
            fire(ERR_script_invalid_type, &type);
        }
    }
}

Cell element_at(const Cell* vector, int64_t i) {
    Elements e = elements_of(vector);
    return get_value(e.at(i), e.unit, e.type);
}

void check_value(const Cell* vector, const Cell* value) {
    if (type_of(value) != int(vector->data3)) fire(ERR_script_invalid_arg, value);
}

void append_value(Cell* vector, const Cell* value) {
    check_value(vector, value);
    int unit = memory::series_of(vector->data2)->unit();
    uint32_t at = memory::alloc_tail_bytes(vector->data2, unit);
    set_value(memory::series_of(vector->data2)->data() + at, value, unit);
}

void append_block(Cell* vector, const Cell* block) {
    for (int i = 0, n = block::length_q(block); i < n; i++) {
        Cell value = *block::abs_at(block, int32_t(block->data1) + i);
        append_value(vector, &value);
    }
}

Cell* to_block(const Cell* vector, Cell* result) {
    Cell source = *vector;
    int64_t head = elements_of(&source).head, length = elements_of(&source).length();
    block::make_at(result, int(std::max<int64_t>(length, 1)));
    for (int64_t i = 0; i < length; i++) {
        Cell element = element_at(&source, head + i);
        block::append_cell(result, &element);
    }
    return result;
}

Cell* make_at(Cell* cell, int64_t count, int type, int unit) {
    if (count * unit > INT32_MAX) fire(ERR_internal_no_memory);
    Node node = memory::alloc_series(count, unit, 0);
    cell::set(cell, TYPE_VECTOR, 0, node, uint32_t(type));
    return cell;
}

// ---- Text --------------------------------------------------------------------------------------

namespace {

// One element's text. A char! molds as #"c", forms as its mold notation.
int element_text(Cell* buffer, const uint8_t* p, int unit, int type, bool all, bool mold, int part) {
    switch (type) {
        case TYPE_CHAR: {
            int before = string::abs_length_q(buffer);
            if (mold) string::append_c_string(buffer, "#\"");
            string::append_escaped_char(buffer, uint32_t(read_int(p, unit, true)), all);
            if (mold) string::append_c_string(buffer, "\"");
            return part - (string::abs_length_q(buffer) - before);
        }
        case TYPE_INTEGER: return append_text(buffer, integer::to_decimal(read_int(p, unit, false)).c_str(), part);
        case TYPE_FLOAT: {
            int kind = unit == 8 ? float_::TEXT_FLOAT : float_::TEXT_FLOAT32;
            return append_text(buffer, float_::to_text(read_float(p, unit), kind).c_str(), part);
        }
        default: {
            int kind = unit == 8 ? float_::TEXT_PERCENT : float_::TEXT_PERCENT32;
            return append_text(buffer, float_::to_text(read_float(p, unit) * 100.0, kind).c_str(), part);
        }
    }
}

}  // namespace

int mold_values(const Cell* vector, Cell* buffer, bool all, int part, bool mold) {
    Elements e = elements_of(vector);
    for (int64_t i = e.head; i < e.total && part >= 1; i++) {
        if (i > e.head) part = append_text(buffer, " ", part);
        // The text buffer and the vector are different series: e stays valid.
        part = element_text(buffer, e.at(i), e.unit, e.type, all, mold, part);
    }
    return part;
}

int form(Cell* value, Cell* buffer, int part) { return mold_values(value, buffer, false, part, false); }

// The short shape "make vector! [1 2 3]" for elements of the default width;
// otherwise the long one "make vector! [integer! 8 [1 2 3]]", which an empty
// vector always takes. With /only the outer brackets go.
int mold(Cell* value, Cell* buffer, bool only, bool all, bool, int part, int) {
    Elements e = elements_of(value);
    if (!only) part = append_text(buffer, "make vector! [", part);
    if (e.length() > 0 && e.unit == default_unit(e.type)) {
        part = mold_values(value, buffer, all, part, true);
        return only ? part : append_text(buffer, "]", part);
    }
    part = append_text(buffer, datatype::type_name(e.type), part);
    part = append_text(buffer, " ", part);
    part = append_text(buffer, integer::to_decimal(e.unit * 8).c_str(), part);
    part = append_text(buffer, " [", part);
    part = mold_values(value, buffer, all, part, true);
    return append_text(buffer, only ? "]" : "]]", part);
}

// ---- Comparison ----------------------------------------------------------------------------------

namespace {

bool equality_op(int op) { return op == 0 || op == 1 || op == 2 || op == 12; }

}  // namespace

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_VECTOR) return -2;
    if (value1->data3 != value2->data3) fire(ERR_script_not_same_type);
    Elements a = elements_of(value1), b = elements_of(value2);
    bool same = value1->data2 == value2->data2 && a.head == b.head;
    if (op == 9) return same ? 0 : -1;
    if (same && equality_op(op)) return 0;
    int64_t len1 = a.length(), len2 = b.length();
    if (len1 == 0 && len2 == 0) return 0;
    if (len1 != len2 && equality_op(op)) return 1;
    for (int64_t i = 0, n = std::min(len1, len2); i < n; i++) {
        double x = element_number(a.at(a.head + i), a.unit, a.type);
        double y = element_number(b.at(b.head + i), b.unit, b.type);
        if (x < y) return -1;
        if (x > y) return 1;  // a NaN on either side compares as equal
    }
    return len1 < len2 ? -1 : len1 > len2 ? 1 : 0;
}

// ---- Making ------------------------------------------------------------------------------------

namespace {

// What a spec asks for: the element type and size, the count (-1: none
// given) and the values (a block!, or none).
struct Spec {
    int type = TYPE_INTEGER;
    int unit = 4;
    int64_t count = -1;
    Cell values{TYPE_NONE, 0, 0, 0};
};

bool names(const Cell* word, words::Sym sym) {
    return symbol::resolve(word->data2) == symbol::resolve(words::symbol(sym));
}

int type_named(const Cell* word) {
    if (names(word, words::Sym::integer_type)) return TYPE_INTEGER;
    if (names(word, words::Sym::char_type)) return TYPE_CHAR;
    if (names(word, words::Sym::float_type)) return TYPE_FLOAT;
    if (names(word, words::Sym::percent_type)) return TYPE_PERCENT;
    return 0;
}

// The element size a width in bits gives, or 0 when the type cannot have it.
int unit_for_bits(int type, int32_t bits) {
    switch (type) {
        case TYPE_PERCENT: return 8;
        case TYPE_FLOAT: return bits == 32 ? 4 : bits == 64 ? 8 : 0;
        default: return bits == 8 ? 1 : bits == 16 ? 2 : bits == 32 ? 4 : 0;
    }
}

int64_t checked_count(int32_t n, const Cell* spec) {
    if (n < 0) fire(ERR_script_out_of_range, spec);
    return n;
}

// [type! bits count [values]], [type! bits [values]], [type! bits count], or
// [percent! ...] without the width.
Spec typed_spec(const Cell* spec, const Cell* items, int n) {
    Spec sp;
    if (n < 2) raise::bad_make_arg(TYPE_VECTOR, spec);
    sp.type = type_named(&items[0]);
    if (!sp.type) raise::bad_make_arg(TYPE_VECTOR, spec);
    int at = 1;
    if (type_of(&items[1]) == TYPE_INTEGER) {
        sp.unit = unit_for_bits(sp.type, cell::get_int(&items[1]));
        if (!sp.unit) raise::bad_make_arg(TYPE_VECTOR, spec);
        at = 2;
    } else if (sp.type == TYPE_PERCENT) {
        sp.unit = 8;
    } else {
        fire(ERR_script_invalid_spec_field, spec);
    }
    if (at < n && type_of(&items[at]) == TYPE_INTEGER) sp.count = checked_count(cell::get_int(&items[at++]), spec);
    else if (at >= n || type_of(&items[at]) != TYPE_BLOCK) fire(ERR_script_invalid_spec_field, spec);
    if (at < n) {
        if (type_of(&items[at]) != TYPE_BLOCK) fire(ERR_script_invalid_spec_field, spec);
        sp.values = items[at];
    }
    return sp;
}

Spec spec_of(const Cell* spec) {
    Spec sp;
    switch (type_of(spec)) {
        case TYPE_INTEGER: sp.count = checked_count(cell::get_int(spec), spec); return sp;
        case TYPE_FLOAT:
            sp.count = checked_count(integer::from_float(cell::get_float(spec), ERR_script_out_of_range, spec), spec);
            return sp;
        case TYPE_BLOCK: break;
        default: fire(ERR_internal_not_done);
    }
    int n = block::length_q(spec);
    if (n <= 0) return sp;
    const Cell* items = block::abs_at(spec, int32_t(spec->data1));
    if (type_of(&items[0]) == TYPE_WORD) return typed_spec(spec, items, n);
    sp.type = type_of(&items[0]);
    if (!element_type_q(sp.type)) {
        Cell type = raise::datatype_arg(sp.type);
        fire(ERR_script_invalid_type, &type);
    }
    sp.unit = default_unit(sp.type);
    sp.values = *spec;
    return sp;
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, int) {
    Spec sp = spec_of(spec);
    bool has_values = type_of(&sp.values) == TYPE_BLOCK;
    int64_t given = has_values ? std::max(block::length_q(&sp.values), 0) : 0;
    int64_t count = std::max(sp.count, given);
    Cell result;
    make_at(&result, std::max<int64_t>(count, 1), sp.type, sp.unit);
    // The new vector is reached from the stack while its values are added.
    Cell* held = stack::push(&result);
    if (has_values) append_block(held, &sp.values);
    if (count > given) {
        Series* s = memory::series_of(held->data2);
        int64_t bytes = (count - given) * sp.unit;
        std::memset(s->tail_ptr(), 0, size_t(bytes));
        s->tail += uint32_t(bytes);
    }
    *proto = *held;
    stack::pop(1);
    return proto;
}

// ---- Registration ------------------------------------------------------------------------------

void init() {
    datatype::TypeRecord r(TYPE_VECTOR, TYPE_STRING, "vector!");
    r.set<ACT_MAKE>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    scalar_math::set_math_actions<do_math>(r, true);
    r.set<ACT_APPEND>(append).set<ACT_INSERT>(insert).set<ACT_CHANGE>(change);
    for (int action : {ACT_RANDOM, ACT_REFLECT, ACT_EVAL_PATH, ACT_AT, ACT_BACK, ACT_CLEAR, ACT_COPY,
                       ACT_FIND, ACT_HEAD, ACT_HEAD_Q, ACT_INDEX_Q, ACT_LENGTH_Q, ACT_MOVE, ACT_NEXT,
                       ACT_PICK, ACT_POKE, ACT_REMOVE, ACT_REVERSE, ACT_SELECT, ACT_SORT, ACT_SKIP,
                       ACT_TAIL, ACT_TAIL_Q, ACT_TAKE, ACT_MODIFY})
        r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::vector
