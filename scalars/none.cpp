// none!: the absent value. Series actions on none answer none, so code can
// probe a missing series without checking first.
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/cell_text.h"

namespace zel::none {

const Cell g_none = {TYPE_NONE, 0, 0, 0};

Cell* box() { return copy_cell(&g_none, stack::arguments()); }

Cell* make_in(Cell* block) {
    Cell* c = cell::alloc_tail(block);
    *c = g_none;
    return c;
}

Cell* push() { return stack::push(&g_none); }

static Cell* to_none(Cell* value) { return copy_cell(&g_none, value); }
static Cell* make(Cell* proto, Cell*, int) { return to_none(proto); }

static int form(Cell*, Cell* buffer, int part) { return cell_text::mold_literal(buffer, "none", false, part); }

static int mold(Cell*, Cell* buffer, bool, bool all, bool, int part, int) {
    return cell_text::mold_literal(buffer, "none", all, part);
}

static int compare(Cell*, Cell* value2, int op) {
    if (type_of(value2) != TYPE_NONE) return -2;
    switch (op) {
        case 0: case 1: case 2: case 7: case 8: case 9: case 12: return 0;
        default: return -2;
    }
}

static Cell* find(Cell* series, Cell*, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool,
                  bool, bool) {
    return to_none(series);
}
static Cell* select(Cell* series, Cell*, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool) {
    return to_none(series);
}
static Cell* remove(Cell* series, Cell*, Cell*) { return to_none(series); }
static Cell* take(Cell* series, Cell*, bool, bool) { return to_none(series); }
static int length(Cell*) { return -1; }

void init() {
    datatype::TypeRecord r(TYPE_NONE, 0, "none!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare);
    r.set<ACT_CLEAR>(to_none).set<ACT_FIND>(find).set<ACT_REMOVE>(remove);
    r.set<ACT_SELECT>(select).set<ACT_TAKE>(take).set<ACT_LENGTH_Q>(length);
    datatype::register_type(r);
}

}  // namespace zel::none
