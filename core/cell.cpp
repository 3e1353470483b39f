// Cell helpers shared by the whole run-time: appending to blocks, number
// conversion, the cycle-detection stack, and raising errors.
#include <string>

#include "core/cell.h"

#include "core/datatype.h"
#include "core/error.h"
#include "core/eval.h"
#include "core/exits.h"
#include "core/memory.h"
#include "scalars/integer.h"

namespace zel {

namespace cell {

Cell* alloc_tail_in_buffer(uint32_t node) {
    Series* s = memory::series_of(node);
    if (int64_t(s->tail) + 16 > s->capacity) s = memory::expand_series(s, 0);
    auto* c = reinterpret_cast<Cell*>(s->tail_ptr());
    c->header = TYPE_UNSET;
    s->tail += 16;
    return c;
}

Cell* alloc_tail(const Cell* block) { return alloc_tail_in_buffer(block->data2); }

int32_t number_to_int(const Cell* c) {
    if (type_of(c) != TYPE_FLOAT) return cell::get_int(c);
    return integer::from_float(cell::get_float(c), ERR_script_out_of_range, c);
}

// ---- Cycle-detection stack ----------------------------------------------------------

namespace {
uint32_t g_cycle[CYCLE_DEPTH];
int g_cycle_top = 0;
}  // namespace

void cycle_push(uint32_t node) {
    g_cycle[g_cycle_top++] = node;
    if (g_cycle_top >= CYCLE_DEPTH) {
        // Emptied first, so the next walk starts clean after the error.
        g_cycle_top = 0;
        fire(ERR_internal_too_deep);
    }
}

void cycle_pop() {
    if (g_cycle_top > 0) g_cycle_top--;
}

void cycle_pop_n(int n) {
    g_cycle_top = n >= g_cycle_top ? 0 : g_cycle_top - n;
}

void cycle_reset() { g_cycle_top = 0; }

bool cycle_find(uint32_t node) {
    for (int i = 0; i < g_cycle_top; i++)
        if (g_cycle[i] == node) return true;
    return false;
}

int cycle_depth() { return g_cycle_top; }

uint32_t cycle_node(const Cell* value) {
    switch (type_of(value)) {
        case TYPE_OBJECT:
        case TYPE_ERROR:
        case TYPE_PORT: return value->data1;
        default: return value->data2;
    }
}

}  // namespace cell

// ---- Errors -------------------------------------------------------------------------------

const char* error_category_name(int category) {
    static const char* const names[] = {
#define ZEL_CAT_NAME(name, pos) #name,
        ZEL_ERROR_CATEGORIES(ZEL_CAT_NAME)
#undef ZEL_CAT_NAME
    };
    return category >= 0 && category < int(sizeof names / sizeof names[0]) ? names[category] : "?";
}

const char* error_id_name(ErrorId id) {
    switch (id) {
#define ZEL_ERR_NAME(cat, cname, word, pos) \
    case ERR_##cat##_##cname: return word;
        ZEL_ERROR_LIST(ZEL_ERR_NAME)
#undef ZEL_ERR_NAME
    }
    return "?";
}

void fire(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    ErrorThrow e;
    e.code = THROW_ERROR;
    e.id = id;
    e.argc = arg3 ? 3 : arg2 ? 2 : arg1 ? 1 : 0;
    const Cell* given[3] = {arg1, arg2, arg3};
    for (int i = 0; i < 3; i++) {
        if (given[i]) e.args[i] = *given[i];
        else cell::set(&e.args[i], TYPE_NONE);
    }
    cell::set(&e.where, TYPE_NONE);
    cell::set(&e.stack_position, TYPE_NONE);
    stack::throw_error(e);
}

namespace error {

Cell datatype_arg(int type) {
    Cell t;
    cell::set(&t, TYPE_DATATYPE, uint32_t(type));
    return t;
}

void raise_bad_make_arg(int type, const Cell* spec) {
    Cell t = datatype_arg(type);
    fire(ERR_script_bad_make_arg, &t, spec);
}

void raise_bad_to_arg(int type, const Cell* value) {
    Cell t = datatype_arg(type);
    fire(ERR_script_bad_to_arg, &t, value);
}

void raise_expect_arg(const Cell* value, int position) {
    Cell function, type, argument;
    interpreter::expect_arg_words(position, &function, &argument);
    cell::set(&type, TYPE_DATATYPE, uint32_t(type_of(value)));
    fire(ERR_script_expect_arg, &function, &type, &argument);
}

std::string describe(const ErrorThrow& e) {
    std::string s = std::string(e.category_name()) + "/" + e.id_name();
    for (int i = 0; i < e.argc; i++) {
        s += i == 0 ? " (" : ", ";
        s += datatype::type_name(type_of(&e.args[i]));
    }
    if (e.argc > 0) s += ")";
    return s;
}

}  // namespace error
}  // namespace zel
