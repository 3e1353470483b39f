// The comparison service.
#include "foundation/compare.h"

#include "foundation/datatype.h"
#include "foundation/raise.h"

namespace zel::compare {

namespace {

int by_handler(Cell* value1, Cell* value2, int op) {
    action::CompareFn handler = datatype::handler<ACT_COMPARE>(type_of(value1));
    return handler ? handler(value1, value2, op) : -2;
}

}  // namespace

// Sorts and maps need an order between any two flags, which the logic!
// handler refuses to give for the ordering ops.
int compare_value(Cell* value1, Cell* value2, int op) {
    if (type_of(value1) == TYPE_LOGIC && type_of(value2) == TYPE_LOGIC)
        return int(value1->data1) - int(value2->data1);
    return by_handler(value1, value2, op);
}

// The handler alone decides here, so `false < true` is an error like any
// other ordering of values that have none.
bool compare(Cell* value1, Cell* value2, int op) {
    int order = by_handler(value1, value2, op);
    if (order == -2) {
        switch (op) {
            case COMP_EQUAL: case COMP_STRICT_EQUAL: case COMP_SAME: case COMP_EQUAL_WORD:
            case COMP_EQUAL_WORD_CI: case COMP_FIND:
                return false;
            case COMP_NOT_EQUAL:
                return true;
            default:
                fire(ERR_script_invalid_compare, value1, value2);
        }
    }
    switch (op) {
        case COMP_NOT_EQUAL: return order != 0;
        case COMP_LESSER: return order < 0;
        case COMP_LESSER_EQUAL: return order <= 0;
        case COMP_GREATER: return order > 0;
        case COMP_GREATER_EQUAL: return order >= 0;
        default: return order == 0;
    }
}

}  // namespace zel::compare
