// logic!: true and false, and the truth tests every conditional uses.
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/random.h"
#include "scalars/simple_types.h"
#include "series/cell_text.h"

namespace zel::logic {

const Cell g_true = {TYPE_LOGIC, 1, 0, 0};
const Cell g_false = {TYPE_LOGIC, 0, 0, 0};

Cell* box(bool flag) {
    Cell* c = stack::arguments();
    set(c, flag);
    return c;
}

Cell* make_in(Cell* block, bool flag) {
    Cell* c = cell::alloc_tail(block);
    set(c, flag);
    return c;
}

Cell* push(bool flag) {
    Cell* c = stack::push_new();
    set(c, flag);
    return c;
}

bool false_q() { return is_false(stack::arguments()); }

bool true_checked() {
    Cell* c = stack::arguments();
    if (type_of(c) == TYPE_UNSET) fire(ERR_script_no_return);
    return !is_false(c);
}

bool top_true() { return !is_false(stack::get_top()); }
bool top_false() { return is_false(stack::get_top()); }

bool truth(const Cell* value, bool unset_check, const Cell* word) {
    if (unset_check && type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, word);
    return !is_false(value);
}

// ---- Actions -------------------------------------------------------------------------

static Cell* to(Cell* proto, Cell* spec, int) {
    bool flag = type_of(spec) == TYPE_LOGIC ? get(spec) : type_of(spec) != TYPE_NONE;
    set(proto, flag);
    return proto;
}

// Numbers are true unless zero (a NaN is not zero); the rest converts as `to`.
static Cell* make(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_INTEGER:
            set(proto, cell::get_int(spec) != 0);
            return proto;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
            set(proto, cell::get_float(spec) != 0.0);
            return proto;
        default:
            return to(proto, spec, type);
    }
}

static Cell* random_(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(get(value) ? 1 : 0);
        cell::set(value, TYPE_UNSET);
        return value;
    }
    int32_t r = secure ? random::secure_next() : random::next();
    set(value, r > 1073741823);
    return value;
}

static const char* text_of(const Cell* value) { return get(value) ? "true" : "false"; }

static int form(Cell* value, Cell* buffer, int part) {
    return cell_text::mold_literal(buffer, text_of(value), false, part);
}

static int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    return cell_text::mold_literal(buffer, text_of(value), all, part);
}

static int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_LOGIC) return -2;
    switch (op) {
        case 0: case 1: case 2: case 7: case 8: case 9: case 12:
            return int(value1->data1) - int(value2->data1);
        default:
            return -2;
    }
}

// and~ or~ xor~: both operands must be logic!.
template <int OP>
static Cell* bitwise() {
    Cell* args = stack::arguments();
    if (type_of(&args[1]) != TYPE_LOGIC) raise::expect_arg(&args[1], 1);
    uint32_t a = args[0].data1, b = args[1].data1;
    set(&args[0], OP == 0 ? (a & b) : OP == 1 ? (a | b) : (a ^ b));
    return &args[0];
}

static Cell* complement(Cell* value) {
    set(value, !get(value));
    return value;
}

void init() {
    datatype::TypeRecord r(TYPE_LOGIC, 0, "logic!");
    r.set<ACT_MAKE>(make).set<ACT_RANDOM>(random_).set<ACT_TO>(to).set<ACT_FORM>(form);
    r.set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    r.set<ACT_AND_T>(bitwise<0>).set<ACT_OR_T>(bitwise<1>).set<ACT_XOR_T>(bitwise<2>);
    r.set<ACT_COMPLEMENT>(complement);
    datatype::register_type(r);
}

}  // namespace zel::logic
