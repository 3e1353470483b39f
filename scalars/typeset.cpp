// typeset!: making, adding, set operations, text and comparison handlers,
// and registration.
#include "scalars/typeset.h"

#include <algorithm>
#include <cstring>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/cell_text.h"
#include "series/string.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::typeset {

namespace {

constexpr int BYTES = BITS / 8;

// A word item stands for its value; an unset word raises script no-value.
const Cell* value_of_item(const Cell* item) {
    if (type_of(item) != TYPE_WORD) return item;
    const Cell* value = context::get(item);
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, item);
    return value;
}

void or_in(Cell* ts, const Cell* other) {
    for (int i = 0; i < BYTES; i++) bytes(ts)[i] |= bytes(other)[i];
}

Cell* append_to(Cell* block, const Cell* ts) { return copy_cell(ts, cell::alloc_tail(block)); }

// Names of the set types, each with a space after it; answers the number
// written and leaves the part budget in `part`.
int append_names(const Cell* ts, Cell* buffer, int& part) {
    int written = 0;
    for (int t = 1; t <= datatype::g_highest_type; t++) {
        if (!has(ts, t) || !datatype::registered(t)) continue;
        if (part < 0) break;
        string::append_c_string(buffer, datatype::type_name(t));
        string::append_char(string::buffer_of(buffer), ' ');
        part -= datatype::g_type_names[t].length + 2;
        written++;
    }
    return written;
}

int last_index(const Cell* buffer) { return string::abs_length_q(buffer) - 1; }

}  // namespace

Cell* make_at(Cell* target) {
    cell::set(target, TYPE_TYPESET);
    return target;
}

Cell* make_in(Cell* block, uint32_t word1, uint32_t word2, uint32_t word3) {
    Cell ts;
    cell::set(&ts, TYPE_TYPESET, word1, word2, word3);
    return append_to(block, &ts);
}

Cell* make_default_in(Cell* block) {
    Cell ts;
    make_at(&ts);
    for (int t = 1; t < BITS; t++)
        if (t != TYPE_UNSET) include(&ts, t);
    return append_to(block, &ts);
}

Cell* make_from_spec_in(Cell* block, const Cell* types) {
    Cell ts;
    make_at(&ts);
    Series* s = memory::series_of(types->data2);
    const Cell* end = s->cell_tail();
    for (const Cell* item = s->cells() + std::max(int32_t(types->data1), 0); item < end; item++) {
        const Cell* value = value_of_item(item);
        switch (type_of(value)) {
            case TYPE_DATATYPE: include(&ts, int(value->data1)); break;
            case TYPE_TYPESET: or_in(&ts, value); break;
            case TYPE_WORD: include(&ts, TYPE_OBJECT); break;
            case TYPE_BLOCK: break;
            default: fire(ERR_script_invalid_type_spec, item);
        }
    }
    return append_to(block, &ts);
}

void add(Cell* ts, const Cell* item) {
    const Cell* value = value_of_item(item);
    switch (type_of(value)) {
        case TYPE_TYPESET: or_in(ts, value); break;
        case TYPE_DATATYPE: include(ts, int(value->data1)); break;
        default: fire(ERR_script_invalid_arg, value);
    }
}

int count(const Cell* ts) {
    int n = 0;
    for (int t = 1; t <= datatype::g_highest_type; t++) n += has(ts, t);
    return n;
}

Cell* to_block(const Cell* ts, Cell* result) {
    Cell set = *ts;  // the result may be the typeset's own cell
    cell::set(result, TYPE_BLOCK, 0, memory::alloc_cells(4));
    for (int t = 1; t <= datatype::g_highest_type; t++) {
        if (!has(&set, t) || !datatype::registered(t)) continue;
        Cell name;
        name.header = TYPE_WORD;
        word::make_type_name_at(t, &name);
        copy_cell(&name, cell::alloc_tail(result));
    }
    return result;
}

Cell* do_bitwise(int op) {
    Cell* args = stack::arguments();
    if (op == OP_UNIQUE) return args;
    Cell second;
    switch (type_of(args + 1)) {
        case TYPE_TYPESET: second = args[1]; break;
        case TYPE_DATATYPE: include(make_at(&second), int(args[1].data1)); break;
        default: fire(ERR_script_invalid_arg, args + 1);
    }
    Cell result;
    make_at(&result);
    for (int i = 0; i < BYTES; i++) {
        uint8_t a = bytes(args)[i], b = bytes(&second)[i];
        switch (op) {
            case OP_OR: case OP_UNION: bytes(&result)[i] = a | b; break;
            case OP_AND: case OP_INTERSECT: bytes(&result)[i] = a & b; break;
            case OP_XOR: case OP_DIFFERENCE: bytes(&result)[i] = a ^ b; break;
            case OP_EXCLUDE: bytes(&result)[i] = a & uint8_t(~b); break;
            default: fire(ERR_internal_not_done);
        }
    }
    return copy_cell(&result, args);
}

// ---- Handlers ----------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int) {
    Cell result;
    switch (type_of(spec)) {
        case TYPE_TYPESET:
            result = *spec;
            break;
        case TYPE_BLOCK: {
            make_at(&result);
            Series* s = memory::series_of(spec->data2);
            const Cell* end = s->cell_tail();
            for (const Cell* item = s->cells() + std::max(int32_t(spec->data1), 0); item < end; item++)
                add(&result, item);
            break;
        }
        default: {
            Cell target;
            cell::set(&target, TYPE_DATATYPE, TYPE_TYPESET);
            fire(ERR_script_bad_to_arg, &target, spec);
        }
    }
    return copy_cell(&result, proto);
}

int form(Cell* value, Cell* buffer, int part) {
    if (append_names(value, buffer, part) > 0) {
        string::remove_char(buffer, last_index(buffer));
        part++;
    }
    return part;
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    part = cell_text::mold_literal(buffer, "make typeset! [", false, part);
    if (append_names(value, buffer, part) > 0) {
        string::poke_char(string::buffer_of(buffer), last_index(buffer), ']');
    } else {
        string::append_char(string::buffer_of(buffer), ']');
        part--;
    }
    return part;
}

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_TYPESET) return -2;
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_STRICT_EQUAL:
        case compare::COMP_SAME: case compare::COMP_FIND:
            return std::memcmp(bytes(value1), bytes(value2), BYTES) == 0 ? 0 : 1;
        case compare::COMP_SORT: case compare::COMP_CASE_SORT: {
            int a = count(value1), b = count(value2);
            return a < b ? -1 : a > b ? 1 : 0;
        }
        default:
            return -2;
    }
}

Cell* complement(Cell* value) {
    for (int i = 0; i < BYTES; i++) bytes(value)[i] = uint8_t(~bytes(value)[i]);
    return value;
}

static Cell* find(Cell* series, Cell* value, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool,
                  bool) {
    if (type_of(value) != TYPE_DATATYPE) fire(ERR_script_invalid_arg, value);
    logic::set(series, has(series, int(value->data1)));
    return series;
}

static Cell* and_t() { return do_bitwise(OP_AND); }
static Cell* or_t() { return do_bitwise(OP_OR); }
static Cell* xor_t() { return do_bitwise(OP_XOR); }

void init() {
    datatype::TypeRecord r(TYPE_TYPESET, 0, "typeset!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare).set<ACT_AND_T>(and_t).set<ACT_COMPLEMENT>(complement);
    r.set<ACT_OR_T>(or_t).set<ACT_XOR_T>(xor_t).set<ACT_FIND>(find);
    datatype::register_type(r);
}

}  // namespace zel::typeset
