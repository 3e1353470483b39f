// tuple!: constructors, make and to, form, mold, compare and the
// registration.
//
// Cell: the header holds the type (39) and the length (3..12) in bits
// 19-22; payload bytes 4..15 hold the bytes, those past the length 0.
//
// Relies on the symbol table for the hexadecimal names of issues, on the
// cell helpers for the checked conversion of floats, on the loader for
// text, and on the evaluator's store-back (path.h) for a byte set through a
// path.
#include "scalars/tuple.h"

#include <algorithm>
#include <cstring>

#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "scalars/integer.h"
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

Cell* from_binary(Cell* binary, Cell* result) {
    uint8_t bytes[MAX_LENGTH] = {};
    int n = std::min(string::length_q(binary), MAX_LENGTH);
    std::memcpy(bytes, string::head(binary), size_t(n));
    return make_at(result, bytes, std::max(n, MIN_LENGTH));
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

// ---- Construction --------------------------------------------------------------------------

// At most 12 integers, characters or floats (truncated), each 0..255.
Cell* from_block(Cell* result, Cell* block) {
    int n = block::length_q(block);
    if (n > MAX_LENGTH) raise::bad_to_arg(TYPE_TUPLE, block);
    uint8_t bytes[MAX_LENGTH] = {};
    Cell tuple_type = raise::datatype_arg(TYPE_TUPLE);
    for (int i = 0; i < n; i++) {
        Cell item = block::head(block)[i];
        int32_t v = 0;
        switch (type_of(&item)) {
            case TYPE_INTEGER:
            case TYPE_CHAR: v = integer::get(&item); break;
            case TYPE_FLOAT:
                v = integer::from_float(cell::get_float(&item), ERR_script_bad_to_arg, &tuple_type,
                                        block);
                break;
            default: raise::bad_to_arg(TYPE_TUPLE, block);
        }
        if (v < 0 || v > 255) raise::bad_to_arg(TYPE_TUPLE, block);
        bytes[i] = uint8_t(v);
    }
    return make_at(result, bytes, std::max(n, MIN_LENGTH));
}

// A colour: 3 hexadecimal digits (each giving the byte d x 17), 6 digits
// (3 bytes) or 8 (4 bytes, the last alpha).
Cell* from_issue(Cell* result, Cell* issue) {
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

// ---- Action handlers ----------------------------------------------------------------------

// to, and make with the same rules.
Cell* to(Cell* proto, Cell* spec, int) {
    switch (type_of(spec)) {
        case TYPE_TUPLE: return copy_cell(spec, proto);
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: return from_block(proto, spec);
        case TYPE_ISSUE: return from_issue(proto, spec);
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

// Stores one byte (clamped to 0..255) at a 1-based index, or with none
// cuts the tuple before the index (never below three bytes).
void poke(Cell* tuple, int32_t index, const Cell* value) {
    int length = length_of(tuple);
    if (index < 1 || index > length) {
        Cell at = *value;
        fire(ERR_script_out_of_range, &at);
    }
    uint8_t* bytes = bytes_of(tuple);
    if (type_of(value) == TYPE_NONE) {
        std::memset(bytes + index - 1, 0, size_t(length - index + 1));
        int kept = std::max(MIN_LENGTH, int(index) - 1);
        tuple->header = (tuple->header & ~LENGTH_MASK) | uint32_t(kept) << LENGTH_SHIFT;
        return;
    }
    bytes[index - 1] = uint8_t(std::clamp(cell::get_int(value), 0, 255));
}

// t/2: the byte as an integer!; t/2: 7 (or none) stores it, and the changed
// tuple goes back where the path found it.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index, bool,
                bool, bool) {
    if (type_of(element) != TYPE_INTEGER) {
        Cell type = raise::datatype_arg(type_of(element));
        fire(ERR_script_invalid_type, &type);
    }
    int32_t at = cell::get_int(element);
    if (!value) {
        if (at < 1 || at > length_of(parent)) fire(ERR_script_out_of_range, element);
        static Cell byte;
        return integer::make_at(&byte, bytes_of(parent)[at - 1]);
    }
    if (type_of(value) != TYPE_INTEGER && type_of(value) != TYPE_NONE) {
        Cell type = raise::datatype_arg(type_of(value));
        fire(ERR_script_invalid_type, &type);
    }
    poke(parent, at, value);
    path::g_store_back.store(parent, path, owner, prev, index);
    return value;
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_TUPLE, 0, "tuple!");
    r.set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_MAKE>(to).set<ACT_TO>(to);
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::tuple
