// native!, action! and op!: making, reflecting, forming, molding, comparing
// and registration.
#include "interpreter/native.h"

#include <algorithm>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "interpreter/function.h"
#include "series/cell_text.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::native {

namespace {

Cell block_of(Node node) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, node);
    return b;
}

int32_t block_length(const Cell* block) {
    int32_t used = int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
    return std::max(used - std::max(int32_t(block->data1), 0), 0);
}

const Cell* block_item(const Cell* block, int32_t i) {
    return memory::series_of(block->data2)->cells() + std::max(int32_t(block->data1), 0) + i;
}

// The type a value calls through: an op's wrapped type, else its own.
int call_type(const Cell* value) { return type_of(value) == TYPE_OP ? op::wrapped_type(value) : type_of(value); }

bool function_type(int type) { return type == TYPE_FUNCTION || type == TYPE_ROUTINE; }

}  // namespace

int callable_number(const Cell* value) {
    int n = int(value->data1);
    if (call_type(value) == TYPE_NATIVE && n > USED_SLOTS) fire(ERR_internal_not_done);
    return n;
}

// native! and action! from [spec-block number].
static Cell* make_callable(Cell* proto, Cell* arg, int type, int slots) {
    if (type_of(arg) != TYPE_BLOCK || block_length(arg) != 2) raise::bad_make_arg(type, arg);
    Cell spec = *block_item(arg, 0), number = *block_item(arg, 1);
    if (type_of(&spec) != TYPE_BLOCK || type_of(&number) != TYPE_INTEGER) raise::bad_make_arg(type, arg);
    int32_t n = cell::get_int(&number);
    if (n < 1 || n > slots) raise::bad_make_arg(type, arg);
    // The result cell holds the spec and the more block while the context is made.
    cell::set(proto, type, uint32_t(n), spec.data2, memory::alloc_cells(2));
    Series* more = memory::series_of(proto->data3);
    cell::set(more->cells(), TYPE_UNSET);
    cell::set(more->cells() + 1, TYPE_UNSET);
    more->tail = 2 * sizeof(Cell);
    Node ctx = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    function::more_of(proto)[function::MORE_NATIVE_CONTEXT] = *context::cell_of(ctx);
    return proto;
}

Cell* make(Cell* proto, Cell* spec, int type) { return make_callable(proto, spec, type, TABLE_SLOTS); }

Cell* reflect(Cell* value, int field) {
    uint32_t f = symbol::resolve(uint32_t(field));
    if (f == symbol::resolve(words::symbol(words::Sym::spec))) {
        *value = block_of(value->data2);
        return value;
    }
    if (f == symbol::resolve(words::symbol(words::Sym::body))) {
        if (function_type(call_type(value))) *value = *function::body_of(value);
        else cell::set(value, TYPE_INTEGER, 0, value->data1);
        return value;
    }
    fire(ERR_internal_not_done);
}

int form(Cell*, Cell* buffer, int part) { return cell_text::mold_literal(buffer, "?native?", false, part); }

static int mold_block(Node node, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    Cell block = block_of(node);
    auto handler = datatype::handler<ACT_MOLD>(TYPE_BLOCK);
    if (!handler) raise::expect_arg(&block, 0);
    return handler(&block, buffer, only, all, flat, part, indent);
}

// "make native! [" spec "]" and its kin.
static int mold_made(const char* opening, Cell* value, Cell* buffer, bool only, bool all, bool flat, int part,
                     int indent) {
    part = cell_text::mold_literal(buffer, opening, false, part);
    part = mold_block(value->data2, buffer, only, all, flat, part, indent);
    return cell_text::mold_literal(buffer, "]", false, part);
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return mold_made("make native! [", value, buffer, only, all, flat, part, indent);
}

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value1) != type_of(value2)) return -2;
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_STRICT_EQUAL:
        case compare::COMP_SORT: case compare::COMP_CASE_SORT: case compare::COMP_SAME: case compare::COMP_FIND: {
            // An op's wrapped type tells a native from an action of the same number.
            uint64_t a = (uint64_t(call_type(value1)) << 32) | value1->data1;
            uint64_t b = (uint64_t(call_type(value2)) << 32) | value2->data1;
            return a < b ? -1 : a > b ? 1 : 0;
        }
        default:
            return -2;
    }
}

void init() {
    datatype::TypeRecord r(TYPE_NATIVE, 0, "native!");
    r.set<ACT_MAKE>(make).set<ACT_REFLECT>(reflect).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

// The children of native!: their own make, form and mold, native!'s compare,
// reflect inherited.
static void register_child(int type, const char* name, action::MakeFn make_fn, action::FormFn form_fn,
                           action::MoldFn mold_fn) {
    datatype::TypeRecord r(type, TYPE_NATIVE, name);
    r.set<ACT_MAKE>(make_fn).inherit(ACT_REFLECT).set<ACT_FORM>(form_fn).set<ACT_MOLD>(mold_fn);
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

// ---- action! ----------------------------------------------------------------------------

static Cell* make_action(Cell* proto, Cell* spec, int type) { return make_callable(proto, spec, type, ACTION_COUNT); }

static int form_action(Cell*, Cell* buffer, int part) { return cell_text::mold_literal(buffer, "?action?", false, part); }

static int mold_action(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return mold_made("make action! [", value, buffer, only, all, flat, part, indent);
}

// ---- op! ----------------------------------------------------------------------------------

static int form_op(Cell*, Cell* buffer, int part) { return cell_text::mold_literal(buffer, "?op?", false, part); }

static int mold_op(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    part = cell_text::mold_literal(buffer, "make op! ", false, part);
    if (op::wrapped_type(value) != TYPE_FUNCTION) {
        part = cell_text::mold_literal(buffer, "[", false, part);
        part = mold_block(value->data2, buffer, only, all, flat, part, indent);
        return cell_text::mold_literal(buffer, "]", false, part);
    }
    part = cell_text::mold_literal(buffer, "func ", false, part);
    part = mold_block(value->data2, buffer, false, all, flat, part, indent);
    Cell body = *function::body_of(value);
    if (type_of(&body) == TYPE_BLOCK) part = mold_block(body.data2, buffer, false, all, flat, part, indent);
    return part;
}

static Cell* make_op(Cell* proto, Cell* wrapped, int type) { return op::make(proto, wrapped, type); }

}  // namespace zel::native

namespace zel::action {

Cell* make(Cell* proto, Cell* spec, int type) { return native::make_action(proto, spec, type); }

void init() {
    native::register_child(TYPE_ACTION, "action!", make, native::form_action, native::mold_action);
}

}  // namespace zel::action

namespace zel::op {

bool spec_ok_q(const Cell* spec) {
    uint32_t local = symbol::resolve(words::refinement(words::Ref::local).data2);
    uint32_t extern_ = symbol::resolve(words::refinement(words::Ref::extern_).data2);
    int arguments = 0;
    bool word_seen = false;
    for (int32_t i = 0; i < native::block_length(spec); i++) {
        const Cell* item = native::block_item(spec, i);
        switch (type_of(item)) {
            case TYPE_WORD:
                word_seen = true;
                arguments++;
                break;
            case TYPE_LIT_WORD: case TYPE_GET_WORD:
                if (!word_seen) return false;
                arguments++;
                break;
            case TYPE_SET_WORD:
                return arguments == 2;
            case TYPE_REFINEMENT: {
                uint32_t s = symbol::resolve(item->data2);
                return (s == local || s == extern_) && arguments == 2;
            }
            default:
                break;
        }
    }
    return arguments == 2;
}

Cell* make(Cell* proto, Cell* wrapped, int) {
    int t = type_of(wrapped);
    if (t != TYPE_NATIVE && t != TYPE_ACTION && !native::function_type(t)) {
        Cell type;
        cell::set(&type, TYPE_DATATYPE, uint32_t(t));
        fire(ERR_script_invalid_type, &type);
    }
    Cell spec = native::block_of(wrapped->data2);
    if (!spec_ok_q(&spec)) fire(ERR_script_bad_op_spec);
    Cell result = *wrapped;
    if (native::function_type(t)) function::more_of(wrapped)[function::MORE_OP] = result;
    result.header = uint32_t(TYPE_OP) | (uint32_t(t) << WRAPPED_SHIFT);
    return copy_cell(&result, proto);
}

void init() { native::register_child(TYPE_OP, "op!", native::make_op, native::form_op, native::mold_op); }

}  // namespace zel::op
