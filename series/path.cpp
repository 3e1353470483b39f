// Paths: making, converting, forming, molding, copying and registration.
#include "series/path.h"

#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "series/any_value.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/services.h"

namespace zel::path {

StoreBack g_store_back = {[](const Cell*, const Cell*, Cell*, Cell*, int) {
    platform::missing_hook("the path store-back");
}};

namespace {

// Items formed or molded from the head, "/" between them; the walk stops
// when the part budget is used up.
template <bool MOLD>
int items(Cell* value, Cell* buffer, bool all, bool flat, int part, int indent) {
    if (cell_text::cycle_detect_q(value, buffer, part, MOLD)) return part;
    cell::cycle_push(value->data2);
    int32_t head = int32_t(value->data1) < 0 ? 0 : int32_t(value->data1);
    int32_t tail = head + block::length_q(value);
    for (int32_t i = head; i < tail; i++) {
        Cell item = memory::series_of(value->data2)->cells()[i];
        part = MOLD ? any_value::mold(&item, buffer, false, all, flat, part, indent)
                    : any_value::form(&item, buffer, part);
        if (part < 1) break;
        if (i + 1 < tail) part = cell_text::mold_literal(buffer, "/", false, part);
    }
    cell::cycle_pop();
    return part;
}

int mold_decorated(Cell* value, Cell* buffer, const char* before, const char* after, bool all, bool flat, int part,
                   int indent) {
    if (*before) part = cell_text::mold_literal(buffer, before, false, part);
    part = items<true>(value, buffer, all, flat, part, indent);
    if (*after) part = cell_text::mold_literal(buffer, after, false, part);
    return part;
}

int mold_lit(Cell* v, Cell* b, bool, bool all, bool flat, int part, int indent) {
    return mold_decorated(v, b, "'", "", all, flat, part, indent);
}
int mold_set(Cell* v, Cell* b, bool, bool all, bool flat, int part, int indent) {
    return mold_decorated(v, b, "", ":", all, flat, part, indent);
}
int mold_get(Cell* v, Cell* b, bool, bool all, bool flat, int part, int indent) {
    return mold_decorated(v, b, ":", "", all, flat, part, indent);
}

void register_child(int type, const char* name, action::MoldFn mold_fn) {
    datatype::TypeRecord r(type, TYPE_PATH, name, true);
    r.set<ACT_MOLD>(mold_fn);
    datatype::register_type(r);
}

}  // namespace

Cell* make_at(Cell* cell, int capacity) {
    block::make_at(cell, capacity < 1 ? 1 : capacity);
    cell::set_type(cell, TYPE_PATH);
    return cell;
}

Cell* push_as(Cell* cell, int type) {
    cell::set_type(cell, type);
    return stack::push(cell);
}

Cell* make(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_HASH:
            block::to(proto, spec, type);
            break;
        case TYPE_INTEGER: case TYPE_FLOAT: case TYPE_PERCENT: {
            double n = type_of(spec) == TYPE_INTEGER ? cell::get_int(spec) : cell::get_float(spec);
            int capacity = n >= 1 ? (n > 1e9 ? 1000000000 : int(n)) : 1;
            make_at(proto, capacity);
            break;
        }
        default:
            raise::bad_make_arg(type, spec);
    }
    cell::set_type(proto, type);
    return proto;
}

Cell* to(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_OBJECT: case TYPE_TYPESET: case TYPE_MAP: {
            Cell value = *spec;
            make_at(proto, 1);
            block::append_cell(proto, &value);
            break;
        }
        default:
            block::to(proto, spec, type);
    }
    cell::set_type(proto, type);
    return proto;
}

int form(Cell* value, Cell* buffer, int part) { return items<false>(value, buffer, false, false, part, 0); }

int mold(Cell* value, Cell* buffer, bool, bool all, bool flat, int part, int indent) {
    return items<true>(value, buffer, all, flat, part, indent);
}

Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types) {
    block::copy(value, result, part, deep, types);
    cell::set_type(result, type_of(value));
    return result;
}

void init() {
    datatype::TypeRecord r(TYPE_PATH, TYPE_BLOCK, "path!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COPY>(copy);
    for (int action : {ACT_REFLECT, ACT_EVAL_PATH, ACT_COMPARE, ACT_MODIFY}) r.inherit(action);
    for (int action = ACT_APPEND; action <= ACT_TAKE; action++)
        if (action != ACT_COPY && action != ACT_SORT) r.inherit(action);
    datatype::register_type(r);
}

void init_lit_path() { register_child(TYPE_LIT_PATH, "lit-path!", mold_lit); }
void init_set_path() { register_child(TYPE_SET_PATH, "set-path!", mold_set); }
void init_get_path() { register_child(TYPE_GET_PATH, "get-path!", mold_get); }

}  // namespace zel::path
