// unset!: the value of nothing, what an empty block evaluates to.
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/cell_text.h"

namespace zel::unset {

const Cell g_unset = {TYPE_UNSET, 0, 0, 0};

Cell* box() { return copy_cell(&g_unset, stack::arguments()); }

Cell* make_in(Cell* block) {
    Cell* c = cell::alloc_tail(block);
    *c = g_unset;
    return c;
}

Cell* push() { return stack::push(&g_unset); }

static Cell* make(Cell* proto, Cell*, int) {
    *proto = g_unset;
    return proto;
}

static int form(Cell*, Cell*, int part) { return part; }

static int mold(Cell*, Cell* buffer, bool, bool all, bool, int part, int) {
    return cell_text::mold_literal(buffer, "unset", all, part);
}

// Equal to another unset!; not ordered against anything.
static int compare(Cell*, Cell* value2, int op) {
    if (type_of(value2) != TYPE_UNSET) return -2;
    switch (op) {
        case 0: case 1: case 2: case 7: case 8: case 9: case 12: return 0;
        default: return -2;
    }
}

void init() {
    datatype::TypeRecord r(TYPE_UNSET, 0, "unset!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::unset
