// Any value's handlers: the refusal of a type without one, and the
// eval-path worker.
#include "series/any_value.h"

#include "foundation/raise.h"

namespace zel::any_value {

void no_handler(const Cell* value) { raise::expect_arg(value, 0); }

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify) {
    auto h = datatype::handler<ACT_EVAL_PATH>(type_of(parent));
    if (!h) {
        Cell datatype = raise::datatype_arg(type_of(parent));
        if (path) fire(ERR_script_bad_path_type, path, &datatype, element);
        fire(ERR_script_bad_path_type2, element, &datatype);
    }
    return h(parent, element, value, path, owner, prev, index, case_, tail, notify);
}

}  // namespace zel::any_value
