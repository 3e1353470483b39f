// datatype!: form, mold, compare and the registration.
//
// Relies on the registry for the type names, on the string module for the
// text of form, and on the form-and-mold helpers (cell.h) for mold.
#include "scalars/datatype_value.h"

#include <cstring>

#include "foundation/datatype.h"
#include "series/cell_text.h"
#include "series/string.h"

namespace zel::datatype_value {

namespace {

// The name without its "!".
int form(Cell* value, Cell* buffer, int part) {
    int type = int(value->data1);
    const char* name = datatype::type_name(type);
    int length = int(std::strlen(name));
    if (name[length - 1] == '!') length--;
    string::append_c_string_part(buffer, name, length);
    return part - length;
}

int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    return cell_text::mold_literal(buffer, datatype::type_name(int(value->data1)), all, part);
}

int compare(Cell* value1, Cell* value2, int op) {
    switch (op) {
        case 0: case 1: case 2: case 9: case 12:
            return type_of(value2) == TYPE_DATATYPE && value2->data1 == value1->data1 ? 0 : 1;
        default:
            return -2;
    }
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_DATATYPE, 0, "datatype!");
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::datatype_value
